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

// What the last load could not take in. A save writes only what was read, so a damaged element that was skipped
// or an element left unread past the file's count would be lost by the next save over that file.
struct LoadReport {
    std::size_t nSkipped = 0;     // damaged machine elements passed over
    std::size_t nBeyondCount = 0; // machine elements left unread where reading stopped
    bool Lossless() const { return nSkipped == 0 && nBeyondCount == 0; }
};

class CMachineList {
public:
    // Why the last SaveFile did not write the file.
    enum class SaveError { None, NotAccessible, OutOfMemory, WriteFailed };

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
    SaveError LastSaveError() const { return m_eLastSaveError; }

    // 2: no file that is both readable and writable; 1: it cannot be read or is larger than kMaxMachineFileBytes
    // (nothing is added); 0: loaded, the records appended.
    int LoadFile(const std::string& strPath);

    // Storing: strText becomes the whole file text. Loading: the records of strText are appended.
    void Exchange(std::string& strText, bool bStoring);
    std::string SaveToText();
    void LoadFromText(const std::string& strText);
    // What the last LoadFile or LoadFromText left out; a load that failed reports nothing left out.
    const LoadReport& LastLoad() const { return m_lastLoad; }

private:
    using Records = std::list<std::unique_ptr<CMachine>>;

    void Append(std::unique_ptr<CMachine> pMachine);
    void StoreText(std::string& strText);
    void LoadText(const std::string& strText);

    Records m_machines;
    Records::iterator m_posCursor;
    SaveError m_eLastSaveError = SaveError::None;
    LoadReport m_lastLoad;
};

// True when strText has the frame the writer gives a machine file (an empty text is a file with no machines); a
// text that merely holds one of its tags is some other file.
bool IsMachineFileText(const std::string& strText);

// Keeps the file at strPath, as it is now, beside it as strPath + ".bak" through the same safe replace as a save.
// True, with nothing written, when there is no file; false with the reason when it could not be read or the copy
// could not be written (in *pstrError when given).
bool KeepBackup(const std::string& strPath, std::string* pstrError = nullptr);

} // namespace lanwick
