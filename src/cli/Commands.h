// The commands of lanwick-cli. Each takes the arguments after its name and returns the exit status; a refusal
// throws CCliError before anything is sent or written.
#pragma once

#include <string>
#include <vector>

namespace lanwick::cli {

using Arguments = std::vector<std::string>;

int RunList(const Arguments& args);
int RunPing(const Arguments& args);
int RunScan(const Arguments& args);
int RunMonitor(const Arguments& args);
int RunWake(const Arguments& args);
int RunVendor(const Arguments& args);
int RunHistory(const Arguments& args);
int RunWatch(const Arguments& args);
int RunDevices(const Arguments& args);

// Writes text to standard output at once and flushes it; a refusal when the output cannot be written.
void Print(const std::string& strText);
// The same for worker threads, which must not throw: false when the output cannot be written.
bool TryPrint(const std::string& strText);

} // namespace lanwick::cli
