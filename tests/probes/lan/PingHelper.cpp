// Pings one host with both probes and the engine and prints what they gave, as the user that runs it: the LAN tests run
// it without root to see the probes fall back to the datagram ICMP socket.
#include "platform/Icmp.h"
#include "probes/PingEngine.h"
#include "probes/Pinger.h"
#include "probes/ScanPing.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ADDRESS\n", argv[0]);
        return 2;
    }
    const bool bCan = lanwick::platform::CanOpenIcmp();
    const std::int32_t ping = lanwick::CPinger().Ping(1, argv[1], 0);
    const std::int32_t scan = lanwick::ScanPing(argv[1], 0, 1, 0);
    const std::int32_t engine = lanwick::CPingEngine().PingAll({argv[1]}, 1, 0).front();
    std::printf("can=%d ping=%d scan=%d engine=%d\n", bCan ? 1 : 0, static_cast<int>(ping), static_cast<int>(scan),
                static_cast<int>(engine));
    return 0;
}
