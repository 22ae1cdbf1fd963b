// The state of the monitored machines in the Prometheus text exposition format, for node_exporter's textfile
// collector: written after every pass and replaced whole, so that a scrape never reads half a file.
#pragma once

#include <string>

#include "monitor/MonitorPass.h"

namespace lanwick::cli {

// lanwick_machine_up (1 answered, 0 not) for every pinged machine of the pass, and lanwick_machine_rtt_seconds for
// those that answered, labelled by name, address and group. Excluded machines are not pinged and left out. Two
// records with the same three labels are one series: only the first is written, since a repeated series makes
// the collector drop the whole file. Last, lanwick_last_pass_timestamp_seconds: dUnixSeconds, the wall-clock time
// the pass ended, so that an alert can tell a stopped monitor from a quiet one.
std::string PromText(const PassOutcome& outcome, double dUnixSeconds);

// Replaces the file at strPath with strText through a temporary file beside it (a hidden name that the collector's
// "*.prom" pattern never matches). Empty on success, else the reason.
std::string WritePromFile(const std::string& strPath, const std::string& strText);

} // namespace lanwick::cli
