// The list of all machines with its one shared walking cursor, and the machine file it is stored in.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <string>

#include "registry/Machine.h"

namespace lanwick {

// A million machines take about 206 MB; a larger file is refused before it is read rather than parsed into
// gigabytes of memory.
constexpr std::size_t kMaxMachineFileBytes = 256u << 20;

class CMachineList {
public:
    // Why the last SaveFile did not write the file.
    enum class ESaveError { None, NotAccessible, OutOfMemory, WriteFailed };

    CMachineList();
    ~CMachineList();
    CMachineList(const CMachineList&) = delete;
    CMachineList& operator=(const CMachineList&) = delete;

    // Both append; they return 0. After an append to a non-empty list the cursor is on the old tail.
    int AddMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                   const std::string& strName, int bExcluded, int bNotify, int bNotifyOffline);
    int AddMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                   const std::string& strName, int bExcluded);

    void ResetCursor();
    // The record at the cursor, moving the cursor on; nullptr once the walk has passed the last record.
    CMachine* GetNextMachine();
    bool IsAtEnd() const;

    // Removes and deletes this very record (identity, not contents): 1, or 0 when it is not in the list.
    // Walks with the shared cursor.
    int RemoveMachine(const CMachine* pMachine);
    void RemoveAllMachines();
    std::size_t GetCount() const;

    // Writes the list to path through a temporary file renamed over the old one. A file that exists but is not
    // both readable and writable is left alone. True when the file was written; on false the old file is intact.
    bool SaveFile(const std::string& strPath);
    ESaveError LastSaveError() const { return m_eLastSaveError; }

    // 2: no file that is both readable and writable; 1: it cannot be read or is larger than kMaxMachineFileBytes
    // (nothing is added); 0: loaded, the records appended.
    int LoadFile(const std::string& strPath);

    // Storing: strText becomes the whole file text. Loading: the records of strText are appended.
    void Exchange(std::string& strText, bool bStoring);
    std::string SaveToText();
    void LoadFromText(const std::string& strText);

private:
    using Records = std::list<std::unique_ptr<CMachine>>;

    void Append(std::unique_ptr<CMachine> pMachine);
    void StoreText(std::string& strText);
    void LoadText(const std::string& strText);

    Records m_machines;
    Records::iterator m_posCursor;
    ESaveError m_eLastSaveError = ESaveError::None;
};

} // namespace lanwick
