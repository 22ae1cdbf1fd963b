// A UDP socket for sending single datagrams (Wake-on-LAN and the like): open, switch broadcasting on, send, close.
// The socket closes itself when the object goes away, so an early return never leaks it.
#pragma once

#include "platform/Resolver.h"

#include <cstddef>
#include <cstdint>

namespace lanwick::platform {

class CUdpSocket {
public:
    CUdpSocket() = default;
    ~CUdpSocket();
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    // An IPv4 datagram socket; false when the system refuses one.
    bool Open();
    bool IsOpen() const { return m_hSocket != kNoSocket; }
    // Lets datagrams go to broadcast addresses (off by default on every system).
    bool SetBroadcast(bool bOn);
    // Sends one datagram of `size` bytes to `to`:`port` (port in host order); true when all of it went out.
    bool SendTo(const void* data, std::size_t size, const Ipv4& to, std::uint16_t port);
    void Close();
    // The system's error code of the last call that failed.
    int LastError() const { return m_nLastError; }

private:
    static constexpr std::intptr_t kNoSocket = -1;
    std::intptr_t m_hSocket = kNoSocket;
    int m_nLastError = 0;
};

} // namespace lanwick::platform
