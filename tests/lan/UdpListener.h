// A UDP listener in a host namespace of the LAN, standing in for a sleeping machine's card: it records every
// datagram that reaches its port, and tests read those lines back.
#pragma once

#include "lan/Lan.h"
#include "support/WaitUntil.h"

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace lanwick::test {

class CUdpListener {
public:
    // program: the listener helper (PORT FILE SECONDS); it writes one ready line, then one line per datagram.
    CUdpListener(const LanHost& host, const std::string& program, const std::string& tag, int nPort, int nSeconds)
        : m_strFile(CLan::Get().ScratchDir() + "/udp-" + tag + ".txt") {
        m_pid =
            SpawnIn(host.ns, program + " " + std::to_string(nPort) + " " + m_strFile + " " + std::to_string(nSeconds));
    }
    ~CUdpListener() { EndProcess(m_pid); }
    CUdpListener(const CUdpListener&) = delete;
    CUdpListener& operator=(const CUdpListener&) = delete;

    bool WaitReady() { return WaitForLines(1, 5000); }
    // Datagram lines, after waiting up to ms for at least count of them.
    std::vector<std::string> Datagrams(std::size_t count, int ms) {
        WaitForLines(count + 1, ms);
        auto lines = Lines();
        if (!lines.empty())
            lines.erase(lines.begin());
        return lines;
    }

private:
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(m_strFile);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    bool WaitForLines(std::size_t count, int ms) {
        return WaitUntil([&] { return Lines().size() >= count; }, std::chrono::milliseconds(ms));
    }

    std::string m_strFile;
    pid_t m_pid = -1;
};

// The listener's line for a magic packet to the LAN's broadcast address: size, sender's target, bytes in hex.
inline std::string MagicPacketLine(const std::string& macDigits) {
    std::string hex = "FFFFFFFFFFFF";
    for (int i = 0; i < 20; ++i)
        hex += macDigits;
    return "126 198.18.0.255 " + hex;
}

} // namespace lanwick::test
