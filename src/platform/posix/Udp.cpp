// UDP datagrams on POSIX sockets.
#include "platform/Udp.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lanwick::platform {

CUdpSocket::~CUdpSocket() {
    Close();
}

bool CUdpSocket::Open() {
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_nLastError = errno;
        return false;
    }
    m_hSocket = fd;
    return true;
}

bool CUdpSocket::SetBroadcast(bool bOn) {
    const int value = bOn ? 1 : 0;
    if (setsockopt(static_cast<int>(m_hSocket), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
        m_nLastError = IsOpen() ? errno : EBADF;
        return false;
    }
    return true;
}

bool CUdpSocket::SendTo(const void* data, std::size_t size, const Ipv4& to, std::uint16_t port) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    std::memcpy(&sin.sin_addr.s_addr, to.data(), 4);
    const ssize_t sent = sendto(static_cast<int>(m_hSocket), data, size, MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
    if (sent < 0) {
        m_nLastError = IsOpen() ? errno : EBADF;
        return false;
    }
    if (static_cast<std::size_t>(sent) != size) {
        m_nLastError = EMSGSIZE;
        return false;
    }
    return true;
}

void CUdpSocket::Close() {
    if (IsOpen()) {
        close(static_cast<int>(m_hSocket));
        m_hSocket = kNoSocket;
    }
}

} // namespace lanwick::platform
