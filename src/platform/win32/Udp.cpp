// UDP datagrams on Windows Sockets; the caller holds the socket library's start-up (platform/Sockets.h).
#include "platform/Udp.h"

#include <winsock2.h>

#include <cstring>

namespace lanwick::platform {

namespace {
SOCKET Handle(std::intptr_t h) {
    return static_cast<SOCKET>(h);
}
} // namespace

CUdpSocket::~CUdpSocket() {
    Close();
}

bool CUdpSocket::Open() {
    Close();
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        m_nLastError = WSAGetLastError();
        return false;
    }
    m_hSocket = static_cast<std::intptr_t>(s);
    return true;
}

bool CUdpSocket::SetBroadcast(bool bOn) {
    const BOOL value = bOn ? TRUE : FALSE;
    if (setsockopt(Handle(m_hSocket), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&value), sizeof value) ==
        SOCKET_ERROR) {
        m_nLastError = WSAGetLastError();
        return false;
    }
    return true;
}

bool CUdpSocket::SendTo(const void* data, std::size_t size, const Ipv4& to, std::uint16_t port) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    std::memcpy(&sin.sin_addr.s_addr, to.data(), 4);
    const int sent = sendto(Handle(m_hSocket), static_cast<const char*>(data), static_cast<int>(size), 0,
                            reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
    if (sent == SOCKET_ERROR) {
        m_nLastError = WSAGetLastError();
        return false;
    }
    if (static_cast<std::size_t>(sent) != size) {
        m_nLastError = WSAEMSGSIZE;
        return false;
    }
    return true;
}

void CUdpSocket::Close() {
    if (IsOpen()) {
        closesocket(Handle(m_hSocket));
        m_hSocket = kNoSocket;
    }
}

} // namespace lanwick::platform
