// The state of the monitored machines in the Prometheus text exposition format, for node_exporter's textfile
// collector: written after every pass and replaced whole, so that a scrape never reads half a file.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "history/DeviceBook.h"
#include "monitor/MonitorPass.h"

namespace lanwick::cli {

// lanwick_machine_up (1 answered, 0 not) for every pinged machine of the pass, and lanwick_machine_rtt_seconds for
// those that answered, labelled by name, address and group. Excluded machines are not pinged and left out. Two
// records with the same three labels are one series: only the first is written, since a repeated series makes
// the collector drop the whole file. Built row by row as a pass applies them, so no row has to be kept. Last,
// lanwick_last_pass_timestamp_seconds: the wall-clock time the pass ended, so that an alert can tell a stopped
// monitor from a quiet one.
class CPromText {
public:
    CPromText();
    CPromText(const CPromText&) = delete; // the set of written series reads this object's text
    CPromText& operator=(const CPromText&) = delete;

    void Add(const ListRow& row);
    // The whole text with the pass's end at dUnixSeconds; the builder is empty afterwards.
    std::string Take(double dUnixSeconds);

private:
    // Where a written series' labels stand in m_strUp: the set keeps two numbers, not a copy of the labels.
    struct Span {
        std::size_t nAt = 0;
        std::size_t nSize = 0;
    };
    struct SpanHash {
        const std::string* pText;
        std::size_t operator()(const Span& span) const;
    };
    struct SpanEqual {
        const std::string* pText;
        bool operator()(const Span& a, const Span& b) const;
    };

    std::string m_strUp;
    std::string m_strRtt;
    std::unordered_set<Span, SpanHash, SpanEqual> m_written;
};

// What a watch writes after each sweep: lanwick_devices_unknown, the count of the devices given (those neither
// accepted nor machines of the machine file), and lanwick_device_first_seen_timestamp_seconds for each of them,
// labelled mac, address and vendor (mac empty for a device known by its address alone).
std::string DevicePromText(const std::vector<history::Device>& unknown);

// Replaces the file at strPath with strText through a temporary file beside it (a hidden name that the collector's
// "*.prom" pattern never matches). Empty on success, else the reason.
std::string WritePromFile(const std::string& strPath, const std::string& strText);

} // namespace lanwick::cli
