// The device table and the rules of what a sweep announces. A device is one MAC; a host that answers without a
// MAC (behind a router, or without an ARP answer) is one address, until the address is seen with a MAC.
#include "history/DeviceBook.h"
#include "history/History.h"

#include "history/Schema.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <arpa/inet.h>
#include <map>
#include <set>

namespace lanwick::history {

namespace {

constexpr const char* kColumns = "mac, address, vendor, name, first_seen, last_seen, accepted, in_file";

Device ReadDevice(const CStatement& row) {
    Device d;
    d.strMac = row.IsNull(0) ? std::string() : row.Text(0);
    d.strAddress = row.Text(1);
    d.strVendor = row.Text(2);
    d.strName = row.Text(3);
    d.nFirstSeen = row.Int(4);
    d.nLastSeen = row.Int(5);
    d.bAccepted = row.Int(6) != 0;
    d.bInFile = row.Int(7) != 0;
    return d;
}

// Numeric address order, so that .9 comes before .10.
std::uint32_t AddressKey(const std::string& strAddress) {
    in_addr a{};
    return inet_pton(AF_INET, strAddress.c_str(), &a) == 1 ? ntohl(a.s_addr) : 0;
}

// The machine file as the rules need it: the MAC of each address (empty when the file has none), and every MAC.
struct FileIndex {
    std::map<std::string, std::string> macOfAddress;
    std::set<std::string> macs;

    explicit FileIndex(const std::vector<KnownMachine>& machines) {
        for (const KnownMachine& m : machines) {
            const std::string strMac = NormaliseMac(m.strMac);
            auto [it, bNew] = macOfAddress.emplace(m.strAddress, strMac);
            if (!bNew && it->second.empty())
                it->second = strMac;
            if (!strMac.empty())
                macs.insert(strMac);
        }
    }

    // Whether this sighting is a machine of the file: its MAC is there, or its address without another MAC.
    bool Holds(const std::string& strAddress, const std::string& strMac) const {
        if (!strMac.empty() && macs.count(strMac))
            return true;
        const auto it = macOfAddress.find(strAddress);
        return it != macOfAddress.end() && (it->second.empty() || strMac.empty() || it->second == strMac);
    }

    std::string MacAt(const std::string& strAddress) const {
        const auto it = macOfAddress.find(strAddress);
        return it == macOfAddress.end() ? std::string() : it->second;
    }
};

} // namespace

const char* EventName(DeviceEvent event) {
    return event == DeviceEvent::MacChanged ? "mac-changed" : "new";
}

bool CDeviceBook::Open(const std::string& strPath, std::string* pstrError) {
    return m_db.Open(strPath, pstrError) && CreateTable(pstrError);
}

bool CDeviceBook::OpenExisting(const std::string& strPath, std::string* pstrError) {
    struct stat st {};
    if (::lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (pstrError)
            *pstrError = "no such database (a watch creates it)";
        return false;
    }
    return Open(strPath, pstrError);
}

bool CDeviceBook::CreateTable(std::string* pstrError) {
    // The book shares the history's file, never another program's: such a file is left as it is.
    if (const std::string strForeign = ForeignReason(m_db); !strForeign.empty()) {
        if (pstrError)
            *pstrError = "the file " + strForeign;
        return false;
    }
    // mac is NULL for a device known by its address alone; UNIQUE lets several such rows be.
    const bool bOk = m_db.Exec("CREATE TABLE IF NOT EXISTS device ("
                               " id INTEGER PRIMARY KEY, mac TEXT UNIQUE, address TEXT NOT NULL,"
                               " vendor TEXT NOT NULL DEFAULT '', name TEXT NOT NULL DEFAULT '',"
                               " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
                               " accepted INTEGER NOT NULL DEFAULT 0, in_file INTEGER NOT NULL DEFAULT 0);"
                               "CREATE INDEX IF NOT EXISTS device_address ON device(address);");
    if (!bOk && pstrError)
        *pstrError = m_db.LastError();
    return bOk;
}

std::optional<std::vector<Announcement>> CDeviceBook::Record(const std::vector<Sighting>& sightings,
                                                             const std::vector<KnownMachine>& machines,
                                                             std::int64_t nNow, std::string* pstrError) {
    const FileIndex file(machines);
    CTransaction transaction(m_db);
    CStatement byMac = m_db.Prepare("SELECT id, address FROM device WHERE mac = ?1");
    // The latest device seen at an address, with a MAC or (mac NULL) by the address alone.
    CStatement withMacAt = m_db.Prepare(
        "SELECT id, mac FROM device WHERE address = ?1 AND mac IS NOT NULL ORDER BY last_seen DESC LIMIT 1");
    CStatement bareAt = m_db.Prepare("SELECT id FROM device WHERE address = ?1 AND mac IS NULL");
    CStatement seen = m_db.Prepare("UPDATE device SET address = ?2, vendor = CASE WHEN ?3 = '' THEN vendor ELSE ?3 "
                                   "END, name = CASE WHEN ?4 = '' THEN name ELSE ?4 END, last_seen = ?5, in_file = "
                                   "CASE WHEN ?6 < 0 THEN in_file ELSE ?6 END, mac = coalesce(mac, ?7) WHERE id = ?1");
    CStatement insert = m_db.Prepare(
        "INSERT INTO device (mac, address, vendor, name, first_seen, last_seen, in_file) VALUES (?1, ?2, ?3, ?4, "
        "?5, ?5, ?6)");
    CStatement remove = m_db.Prepare("DELETE FROM device WHERE id = ?1");
    if (!transaction.Began() || !byMac || !withMacAt || !bareAt || !seen || !insert || !remove) {
        if (pstrError)
            *pstrError = m_db.LastError();
        return std::nullopt;
    }
    auto findId = [](CStatement& query, const std::string& strKey) -> std::optional<std::int64_t> {
        query.Reset();
        query.Bind(1, strKey);
        std::optional<std::int64_t> id;
        if (query.Step())
            id = query.Int(0);
        query.Reset();
        return id;
    };
    bool bOk = true;
    // nInFile -1 keeps what the device was: a sighting without MAC cannot tell a machine of the file from another
    // device at its address.
    auto touch = [&](std::int64_t nId, const Sighting& s, int nInFile, const std::string& strMac) {
        seen.Reset();
        seen.Bind(1, nId).Bind(2, s.strAddress).Bind(3, s.strVendor).Bind(4, s.strName).Bind(5, nNow);
        seen.Bind(6, static_cast<std::int64_t>(nInFile));
        strMac.empty() ? seen.BindNull(7) : seen.Bind(7, strMac);
        bOk = seen.Run() && bOk;
    };

    std::vector<Announcement> announce;
    for (const Sighting& s : sightings) {
        const std::string strMac = NormaliseMac(s.strMac);
        const bool bInFile = file.Holds(s.strAddress, strMac);
        const std::optional<std::int64_t> bare = findId(bareAt, s.strAddress);
        if (strMac.empty()) {
            // No MAC this time: the address stands for the device last seen there.
            if (auto known = findId(withMacAt, s.strAddress)) {
                touch(*known, s, -1, {});
                continue;
            }
            if (bare) {
                touch(*bare, s, bInFile, {});
                continue;
            }
        } else {
            if (auto known = findId(byMac, strMac)) {
                // Its identity is the MAC: a new address is only updated, never announced.
                touch(*known, s, bInFile, {});
                continue;
            }
            if (bare && file.MacAt(s.strAddress).empty()) {
                // The address seen before without a MAC now shows it: the same device, not a new one.
                touch(*bare, s, bInFile, strMac);
                continue;
            }
            if (bare) {
                remove.Reset();
                remove.Bind(1, *bare);
                bOk = remove.Run() && bOk;
            }
        }
        // Whose address this was before, looked up before our own row joins the table.
        std::string strPrevious = file.MacAt(s.strAddress);
        if (strPrevious.empty() && !strMac.empty()) {
            withMacAt.Reset();
            withMacAt.Bind(1, s.strAddress);
            if (withMacAt.Step())
                strPrevious = withMacAt.Text(1);
            withMacAt.Reset();
        }
        insert.Reset();
        strMac.empty() ? insert.BindNull(1) : insert.Bind(1, strMac);
        insert.Bind(2, s.strAddress).Bind(3, s.strVendor).Bind(4, s.strName).Bind(5, nNow);
        insert.Bind(6, static_cast<std::int64_t>(bInFile));
        bOk = insert.Run() && bOk;
        if (bInFile)
            continue;
        Announcement a;
        a.device = {strMac, s.strAddress, s.strVendor, s.strName, nNow, nNow, false, false};
        a.event = strPrevious.empty() ? DeviceEvent::New : DeviceEvent::MacChanged;
        a.strPreviousMac = std::move(strPrevious);
        announce.push_back(std::move(a));
    }
    if (!bOk || !transaction.Commit()) {
        if (pstrError)
            *pstrError = m_db.LastError();
        return std::nullopt;
    }
    return announce;
}

std::vector<Device> CDeviceBook::Devices(bool bUnknownOnly) {
    std::vector<Device> devices;
    CStatement query = m_db.Prepare(std::string("SELECT ") + kColumns + " FROM device" +
                                    (bUnknownOnly ? " WHERE accepted = 0 AND in_file = 0" : ""));
    while (query && query.Step())
        devices.push_back(ReadDevice(query));
    std::stable_sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
        return AddressKey(a.strAddress) < AddressKey(b.strAddress);
    });
    return devices;
}

AcceptResult CDeviceBook::Accept(const std::string& strMac, std::string* pstrError) {
    const std::string strNormal = NormaliseMac(strMac);
    CStatement update = m_db.Prepare("UPDATE device SET accepted = 1 WHERE mac = ?1");
    if (!update || !update.Bind(1, strNormal).Run()) {
        if (pstrError)
            *pstrError = m_db.LastError();
        return AcceptResult::Failed;
    }
    return sqlite3_changes(m_db.Handle()) > 0 ? AcceptResult::Accepted : AcceptResult::NoSuchDevice;
}

} // namespace lanwick::history
