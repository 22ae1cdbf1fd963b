// Where a request may go: only to a single host.
#include "probes/Unicast.h"

#include "platform/Interfaces.h"

#include <algorithm>

#include <gtest/gtest.h>

using namespace lanwick;

TEST(Unicast, RefusesEveryAddressThatReachesMoreOrOtherThanOneHost) {
    const std::vector<platform::Ipv4> broadcasts{{198, 18, 0, 255}, {10, 1, 2, 127}};
    struct Case {
        platform::Ipv4 address;
        const char* why; // empty: a host
    };
    for (const Case& c : {
             Case{{0, 0, 0, 0}, "a \"this network\" address (0.0.0.0/8)"},
             Case{{0, 255, 1, 2}, "a \"this network\" address (0.0.0.0/8)"},
             Case{{224, 0, 0, 1}, "a multicast address"},
             Case{{239, 255, 255, 255}, "a multicast address"},
             Case{{240, 0, 0, 1}, "a reserved address (240.0.0.0/4)"},
             Case{{255, 255, 255, 254}, "a reserved address (240.0.0.0/4)"},
             Case{{255, 255, 255, 255}, "the broadcast address"},
             Case{{198, 18, 0, 255}, "the broadcast address of a subnet on this machine"},
             Case{{10, 1, 2, 127}, "the broadcast address of a subnet on this machine"},
             Case{{1, 0, 0, 0}, ""},
             Case{{127, 0, 0, 1}, ""},
             Case{{198, 18, 1, 255}, ""}, // a host of a /23 is no broadcast unless an interface says so
             Case{{223, 255, 255, 255}, ""},
         })
        EXPECT_EQ(WhyNotUnicast(c.address, broadcasts), c.why)
            << int(c.address[0]) << '.' << int(c.address[1]) << '.' << int(c.address[2]) << '.' << int(c.address[3]);
}

// The loopback interface is up in any namespace a test runs in: its address is ours and on a link, and a /8 of
// its own has a broadcast address, which is no address of ours.
TEST(Unicast, ThisMachinesInterfacesAreReadFromTheSystem) {
    const platform::Ipv4 loopback{127, 0, 0, 1};
    const auto addresses = platform::InterfaceAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), loopback), addresses.end());
    EXPECT_TRUE(platform::IsOnLink(loopback));
    const auto broadcasts = platform::InterfaceBroadcasts();
    EXPECT_NE(std::find(broadcasts.begin(), broadcasts.end(), platform::Ipv4{127, 255, 255, 255}), broadcasts.end());
}
