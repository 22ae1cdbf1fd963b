// Prometheus exposition text of a pass and its atomic replacement on disk.
#include "cli/PromFile.h"

#include <cstdio>
#include <functional>
#include <string_view>

#include "cli/Formats.h"
#include "platform/FileStore.h"

namespace lanwick::cli {

namespace {

void AppendLabels(std::string& strText, const CMachine& machine) {
    strText += "{name=\"";
    strText += PromLabelValue(machine.m_strName);
    strText += "\",address=\"";
    strText += FormatAddress(machine.m_ip);
    strText += "\",group=\"";
    strText += PromLabelValue(machine.m_strGroup);
    strText += "\"}";
}

std::string Seconds(double dMicroseconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", dMicroseconds / 1e6);
    return text;
}

constexpr std::string_view kUpName = "lanwick_machine_up";
constexpr std::string_view kRttName = "lanwick_machine_rtt_seconds";

} // namespace

std::size_t CPromText::SpanHash::operator()(const Span& span) const {
    return std::hash<std::string_view>()(std::string_view(*pText).substr(span.nAt, span.nSize));
}

bool CPromText::SpanEqual::operator()(const Span& a, const Span& b) const {
    const std::string_view text(*pText);
    return text.substr(a.nAt, a.nSize) == text.substr(b.nAt, b.nSize);
}

CPromText::CPromText()
    : m_strUp("# HELP lanwick_machine_up Whether the machine answered the last monitoring pass (1) or not (0).\n"
              "# TYPE lanwick_machine_up gauge\n"),
      m_strRtt("# HELP lanwick_machine_rtt_seconds Round-trip time of the machine's answer in the last monitoring "
               "pass.\n# TYPE lanwick_machine_rtt_seconds gauge\n"),
      m_written(0, SpanHash{&m_strUp}, SpanEqual{&m_strUp}) {}

void CPromText::Add(const ListRow& row) {
    if (row.state == MachineState::Excluded || row.pMachine == nullptr)
        return;
    // The labels are written in place and taken back when the series was written before.
    const std::size_t nLine = m_strUp.size();
    m_strUp += kUpName;
    const std::size_t nAt = m_strUp.size();
    AppendLabels(m_strUp, *row.pMachine);
    if (!m_written.insert(Span{nAt, m_strUp.size() - nAt}).second) {
        m_strUp.resize(nLine);
        return;
    }
    const bool bUp = row.state == MachineState::Online;
    m_strUp += bUp ? " 1\n" : " 0\n";
    if (bUp) {
        m_strRtt += kRttName;
        m_strRtt.append(m_strUp, nAt, m_strUp.size() - 3 - nAt);
        m_strRtt += " " + Seconds(row.pMachine->m_dPingTime) + "\n";
    }
}

std::string CPromText::Take(double dUnixSeconds) {
    m_written.clear();
    std::string strText = std::move(m_strUp);
    strText += m_strRtt;
    char strTime[64];
    std::snprintf(strTime, sizeof strTime, "%.3f", dUnixSeconds);
    strText += "# HELP lanwick_last_pass_timestamp_seconds Unix time at which the last monitoring pass ended.\n"
               "# TYPE lanwick_last_pass_timestamp_seconds gauge\n"
               "lanwick_last_pass_timestamp_seconds ";
    strText += strTime;
    strText += '\n';
    m_strUp.clear();
    m_strRtt.clear();
    return strText;
}

std::string WritePromFile(const std::string& strPath, const std::string& strText) {
    std::string strReason;
    if (platform::ReplaceFile(strPath, strText, &strReason))
        return {};
    return strReason.empty() ? std::string("the file could not be replaced") : strReason;
}

std::string DevicePromText(const std::vector<history::Device>& unknown) {
    std::string strText =
        "# HELP lanwick_devices_unknown Devices a watch has seen that are neither accepted nor in the "
        "machine file.\n# TYPE lanwick_devices_unknown gauge\nlanwick_devices_unknown " +
        std::to_string(unknown.size()) +
        "\n# HELP lanwick_device_first_seen_timestamp_seconds Unix time at which a watch first saw "
        "the unknown device.\n# TYPE lanwick_device_first_seen_timestamp_seconds gauge\n";
    for (const history::Device& d : unknown)
        strText += "lanwick_device_first_seen_timestamp_seconds{mac=\"" + PromLabelValue(d.strMac) + "\",address=\"" +
                   PromLabelValue(d.strAddress) + "\",vendor=\"" + PromLabelValue(d.strVendor) + "\"} " +
                   std::to_string(d.nFirstSeen) + "\n";
    return strText;
}

} // namespace lanwick::cli
