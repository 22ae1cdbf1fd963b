// One range scan as the operator sees it, shared by the scan dialog and "lanwick-cli scan": the rows found, with
// vendor and name, the rule for when the scan is over, its status text and the adding of its rows to a group.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lanwick {

class CMachineList;

struct FoundMachine {
    std::string strAddress;
    std::string strMac;    // twelve digits, zeros without an ARP answer
    std::string strVendor; // vendor column text
    std::string strName;   // name column text; empty until its lookup answers, or without lookups
};

// Not thread-safe: the dialog drives it on the window thread, the command line under its own lock.
class CScanSession {
public:
    // pVendorTable may be null (size 0): the vendor column then stays empty. With bNames every row waits for its
    // name before the scan counts as complete.
    CScanSession(const char* pVendorTable, std::size_t nVendorTableSize, bool bNames);

    bool WantsNames() const { return m_bNames; }
    // An address answered; returns its row. With names the caller asks for the row's name, keyed by the row.
    std::size_t Found(const std::string& strAddress, const std::string& strMac);
    // A lookup answered with the name column's text. A row that is not waiting for its name is left alone.
    void NameIn(std::size_t nRow, const std::string& strNameText);
    // Lookups that will never answer (dropped when the scan was stopped).
    void NamesDropped(std::size_t nDropped);
    // The last worker has ended.
    void WorkersDone() { m_bWorkersDone = true; }

    // The workers have ended and every name asked for is in its row, so that what is added is complete.
    bool Complete() const { return m_bWorkersDone && m_nPendingNames == 0; }
    const std::vector<FoundMachine>& Rows() const { return m_rows; }
    // "1 address found", "N addresses found".
    std::string StatusText() const;

private:
    const char* m_pVendorTable;
    std::size_t m_nVendorTableSize;
    bool m_bNames;
    bool m_bWorkersDone = false;
    std::size_t m_nPendingNames = 0;
    std::vector<bool> m_waiting; // by row: its name is still asked for
    std::vector<FoundMachine> m_rows;
};

// Appends every row to strGroup of the list, not excluded and without notifications, as a new machine would be.
void AddFoundMachines(CMachineList& list, const std::vector<FoundMachine>& rows, const std::string& strGroup);

} // namespace lanwick
