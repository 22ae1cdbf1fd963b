// Prometheus exposition text of a pass and its atomic replacement on disk.
#include "cli/PromFile.h"

#include <cstdio>
#include <set>

#include "cli/Formats.h"
#include "platform/FileStore.h"

namespace lanwick::cli {

namespace {

std::string Labels(const CMachine& machine) {
    return "{name=\"" + PromLabelValue(machine.m_strName) + "\",address=\"" + FormatAddress(machine.m_ip) +
           "\",group=\"" + PromLabelValue(machine.m_strGroup) + "\"}";
}

std::string Seconds(double dMicroseconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", dMicroseconds / 1e6);
    return text;
}

} // namespace

std::string PromText(const PassOutcome& outcome, double dUnixSeconds) {
    std::string strUp = "# HELP lanwick_machine_up Whether the machine answered the last monitoring pass (1) or not "
                        "(0).\n# TYPE lanwick_machine_up gauge\n";
    std::string strRtt = "# HELP lanwick_machine_rtt_seconds Round-trip time of the machine's answer in the last "
                         "monitoring pass.\n# TYPE lanwick_machine_rtt_seconds gauge\n";
    std::set<std::string> written;
    for (const ListRow& row : outcome.rows) {
        if (row.state == MachineState::Excluded || row.pMachine == nullptr)
            continue;
        const std::string strLabels = Labels(*row.pMachine);
        if (!written.insert(strLabels).second)
            continue;
        const bool bUp = row.state == MachineState::Online;
        strUp += "lanwick_machine_up" + strLabels + (bUp ? " 1\n" : " 0\n");
        if (bUp)
            strRtt += "lanwick_machine_rtt_seconds" + strLabels + " " + Seconds(row.pMachine->m_dPingTime) + "\n";
    }
    char strTime[64];
    std::snprintf(strTime, sizeof strTime, "%.3f", dUnixSeconds);
    return strUp + strRtt +
           "# HELP lanwick_last_pass_timestamp_seconds Unix time at which the last monitoring pass ended.\n"
           "# TYPE lanwick_last_pass_timestamp_seconds gauge\n"
           "lanwick_last_pass_timestamp_seconds " +
           strTime + "\n";
}

std::string WritePromFile(const std::string& strPath, const std::string& strText) {
    std::string strReason;
    if (platform::ReplaceFile(strPath, strText, &strReason))
        return {};
    return strReason.empty() ? std::string("the file could not be replaced") : strReason;
}

} // namespace lanwick::cli
