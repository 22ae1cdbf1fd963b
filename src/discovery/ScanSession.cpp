// The scan's rows and its completion rule, one place for the dialog and the command line.
#include "discovery/ScanSession.h"

#include <algorithm>

#include "discovery/ScanColumns.h"
#include "probes/Lookups.h"
#include "registry/MachineList.h"

namespace lanwick {

CScanSession::CScanSession(const char* pVendorTable, std::size_t nVendorTableSize, bool bNames)
    : m_pVendorTable(pVendorTable), m_nVendorTableSize(nVendorTableSize), m_bNames(bNames) {}

std::size_t CScanSession::Found(const std::string& strAddress, const std::string& strMac) {
    m_rows.push_back({strAddress, strMac, VendorColumnText(m_pVendorTable, m_nVendorTableSize, strMac), {}});
    m_waiting.push_back(m_bNames);
    if (m_bNames)
        ++m_nPendingNames;
    return m_rows.size() - 1;
}

void CScanSession::NameIn(std::size_t nRow, const std::string& strNameText) {
    // A late answer of a dropped lookup, or a second answer, must not end the scan early.
    if (nRow >= m_rows.size() || !m_waiting[nRow] || m_nPendingNames == 0)
        return;
    m_waiting[nRow] = false;
    m_rows[nRow].strName = strNameText;
    --m_nPendingNames;
}

void CScanSession::NamesDropped(std::size_t nDropped) {
    m_nPendingNames -= std::min(nDropped, m_nPendingNames);
}

std::string CScanSession::StatusText() const {
    const std::size_t n = m_rows.size();
    return std::to_string(n) + (n == 1 ? " address found" : " addresses found");
}

void AddFoundMachines(CMachineList& list, const std::vector<FoundMachine>& rows, const std::string& strGroup) {
    for (const FoundMachine& row : rows)
        list.AddMachine(ParseDottedAddress(row.strAddress), row.strMac, strGroup, row.strName, 0);
}

} // namespace lanwick
