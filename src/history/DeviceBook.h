// The devices a watch has seen on the network, in the history's database: who answered, at which address, since
// when, and whether the operator accepted it. It decides which sightings to announce: a device never seen before,
// and a known address answering with a MAC it never had.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/Database.h"

namespace lanwick::history {

// One address that answered a sweep. strMac is twelve hex digits (any case), or empty or all zeros when no MAC is
// known (a routed host, or no ARP answer): such a device is known by its address alone.
struct Sighting {
    std::string strAddress;
    std::string strMac;
    std::string strVendor;
    std::string strName;
};

// A machine of the machine file: its address, and its MAC when the file has one (twelve digits or empty).
struct KnownMachine {
    std::string strAddress;
    std::string strMac;
};

struct Device {
    std::string strMac; // "aa:bb:cc:dd:ee:ff", empty for a device known by its address alone
    std::string strAddress;
    std::string strVendor;
    std::string strName;
    std::int64_t nFirstSeen = 0; // Unix seconds
    std::int64_t nLastSeen = 0;
    bool bAccepted = false; // the operator said it belongs here
    bool bInFile = false;   // a machine of the machine file when the watch last saw it
    bool IsUnknown() const { return !bAccepted && !bInFile; }
};

enum class DeviceEvent {
    New,        // never seen, not in the machine file
    MacChanged, // a known address answered with another MAC: a replaced machine, or one using its address
};
const char* EventName(DeviceEvent event); // "new", "mac-changed"

struct Announcement {
    DeviceEvent event = DeviceEvent::New;
    Device device;
    std::string strPreviousMac; // MacChanged: the MAC the address had, "aa:bb:cc:dd:ee:ff"
};

enum class AcceptResult { Accepted, NoSuchDevice, Failed };

class CDeviceBook {
public:
    // Opens (creating) the database and the device table; false with the reason.
    bool Open(const std::string& strPath, std::string* pstrError = nullptr);
    // Opens an existing database to read or accept; never creates the file. False with the reason.
    bool OpenExisting(const std::string& strPath, std::string* pstrError = nullptr);

    // Folds one sweep in, in one transaction, and returns what to announce (each device at most once in its
    // lifetime). Nothing when the database could not be written, with the reason in pstrError.
    std::optional<std::vector<Announcement>> Record(const std::vector<Sighting>& sightings,
                                                    const std::vector<KnownMachine>& machines, std::int64_t nNow,
                                                    std::string* pstrError = nullptr);

    // Every device, by address; bUnknownOnly leaves out the accepted ones and the machines of the machine file.
    std::vector<Device> Devices(bool bUnknownOnly = false);
    // Marks the device with this MAC (any usual form) accepted.
    AcceptResult Accept(const std::string& strMac, std::string* pstrError = nullptr);

private:
    bool CreateTable(std::string* pstrError);

    CDatabase m_db;
};

} // namespace lanwick::history
