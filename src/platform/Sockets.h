// Start-up and clean-up of the system's socket library (reference counted on Windows, nothing to do on POSIX).
#pragma once

namespace lanwick::platform {

// False when the socket library cannot be started; the program then cannot probe or look anything up.
bool SocketsStartup();
void SocketsCleanup();

} // namespace lanwick::platform
