// The machine list: ownership of the records, the shared cursor, and the file entry points.
#include "registry/MachineList.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "platform/FileStore.h"

namespace lanwick {

CMachineList::CMachineList() : m_posCursor(m_machines.end()) {}

CMachineList::~CMachineList() = default;

void CMachineList::Append(std::unique_ptr<CMachine> pMachine) {
    // Walkers rely on this: after an append to a non-empty list the cursor rests on the record that was the tail.
    if (!m_machines.empty())
        m_posCursor = std::prev(m_machines.end());
    m_machines.push_back(std::move(pMachine));
}

int CMachineList::AddMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                             const std::string& strName, int bExcluded, int bNotify, int bNotifyOffline) {
    Append(std::make_unique<CMachine>(ip, strMac, strGroup, strName, bExcluded, bNotify, bNotifyOffline));
    return 0;
}

int CMachineList::AddMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                             const std::string& strName, int bExcluded) {
    Append(std::make_unique<CMachine>(ip, strMac, strGroup, strName, bExcluded));
    return 0;
}

void CMachineList::ResetCursor() {
    m_posCursor = m_machines.begin();
}

CMachine* CMachineList::GetNextMachine() {
    if (m_posCursor == m_machines.end())
        return nullptr;
    CMachine* pMachine = m_posCursor->get();
    ++m_posCursor;
    return pMachine;
}

bool CMachineList::IsAtEnd() const {
    return m_posCursor == m_machines.end();
}

int CMachineList::RemoveMachine(const CMachine* pMachine) {
    for (m_posCursor = m_machines.begin(); m_posCursor != m_machines.end(); ++m_posCursor) {
        if (m_posCursor->get() == pMachine) {
            // The cursor moves on to the next record, never left on the erased one.
            m_posCursor = m_machines.erase(m_posCursor);
            return 1;
        }
    }
    return 0;
}

void CMachineList::RemoveAllMachines() {
    m_machines.clear();
    m_posCursor = m_machines.end();
}

std::size_t CMachineList::GetCount() const {
    return m_machines.size();
}

bool CMachineList::SaveFile(const std::string& strPath) {
    try {
        if (platform::FileExists(strPath) && !platform::IsReadWritable(strPath)) {
            m_eLastSaveError = SaveError::NotAccessible;
            return false;
        }
        std::string strText;
        Exchange(strText, true);
        m_eLastSaveError = platform::ReplaceFile(strPath, strText) ? SaveError::None : SaveError::WriteFailed;
    } catch (const std::bad_alloc&) {
        // Whatever step ran short, the old file has not been replaced.
        m_eLastSaveError = SaveError::OutOfMemory;
    }
    return m_eLastSaveError == SaveError::None;
}

int CMachineList::LoadFile(const std::string& strPath) {
    m_lastLoad = {};
    if (!platform::IsReadWritable(strPath))
        return 2;
    const std::size_t countBefore = m_machines.size();
    try {
        std::string strText;
        if (!platform::ReadWholeFile(strPath, strText, kMaxMachineFileBytes))
            return 1;
        Exchange(strText, false);
    } catch (const std::bad_alloc&) {
        // A partial load would be saved over the whole file at the next change: take it back entirely.
        while (m_machines.size() > countBefore)
            m_machines.pop_back();
        m_posCursor = m_machines.end();
        m_lastLoad = {};
        return 1;
    }
    return 0;
}

void CMachineList::Exchange(std::string& strText, bool bStoring) {
    if (bStoring)
        StoreText(strText);
    else
        LoadText(strText);
}

std::string CMachineList::SaveToText() {
    std::string strText;
    StoreText(strText);
    return strText;
}

void CMachineList::LoadFromText(const std::string& strText) {
    LoadText(strText);
}

bool KeepBackup(const std::string& strPath, std::string* pstrError) {
    if (!platform::FileExists(strPath))
        return true;
    std::string strText;
    if (!platform::ReadWholeFile(strPath, strText, kMaxMachineFileBytes)) {
        if (pstrError != nullptr)
            *pstrError = std::string("cannot read ") + strPath + ": " + std::strerror(errno);
        return false;
    }
    return platform::ReplaceFile(strPath + ".bak", strText, pstrError);
}

} // namespace lanwick
