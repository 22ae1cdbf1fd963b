// The socket library needs no start-up on POSIX.
#include "platform/Sockets.h"

namespace lanwick::platform {

bool SocketsStartup() {
    return true;
}

void SocketsCleanup() {}

} // namespace lanwick::platform
