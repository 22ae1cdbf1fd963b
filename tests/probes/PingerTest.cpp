// The monitoring probe against a scripted network: round-trip arithmetic, sequence numbers, pauses, and the
// replies it must not take for an answer.
#include "probes/Pinger.h"

#include "fakes/FakeIcmp.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace lanwick;
using lanwick::test::CFakeIcmpNetwork;
using lanwick::test::CFakeProbeClock;
using lanwick::test::EchoOf;
using lanwick::test::FakeDatagram;
using lanwick::test::FakeSent;

namespace {

const platform::Ipv4 kOther{198, 18, 0, 11};
using Responder = std::function<std::vector<FakeDatagram>(const FakeSent&, int index)>;

// The host answers the requests whose index (from 0) is in `answered`, after `delay` microseconds.
Responder Answer(std::vector<int> answered, std::int64_t delay) {
    return [answered, delay](const FakeSent& s, int index) {
        std::vector<FakeDatagram> out;
        if (std::find(answered.begin(), answered.end(), index) != answered.end())
            out.push_back({delay, EchoOf(s.bytes), s.to});
        return out;
    };
}

// The host answers after 500 microseconds with `stamp` written over the request's send stamp.
Responder Forged(double stamp) {
    return [stamp](const FakeSent& s, int) {
        std::vector<std::uint8_t> request = s.bytes;
        std::memcpy(&request[16], &stamp, sizeof stamp);
        return std::vector<FakeDatagram>{{500, EchoOf(request), s.to}};
    };
}

// Every reply but the last is not ours: another program's identifier, another sequence, another source, an
// error, our own request looped back.
std::vector<FakeDatagram> OursLast(const FakeSent& s, int) {
    std::vector<std::uint8_t> foreignId = EchoOf(s.bytes), otherSeq = EchoOf(s.bytes), unreachable = EchoOf(s.bytes);
    WriteLe16(&foreignId[4], static_cast<std::uint16_t>(ReadLe16(&foreignId[4]) + 1));
    WriteLe16(&otherSeq[6], static_cast<std::uint16_t>(ReadLe16(&otherSeq[6]) - 1));
    unreachable[0] = 3;
    return {{100, foreignId, s.to},   {200, otherSeq, s.to}, {300, EchoOf(s.bytes), kOther},
            {400, unreachable, s.to}, {450, s.bytes, s.to},  {900, EchoOf(s.bytes), s.to}};
}

// Only another host answers, for us.
std::vector<FakeDatagram> Foreign(const FakeSent& s, int) {
    return {{100, EchoOf(s.bytes), kOther}};
}

// The first reply comes 1.2 s late, inside the second attempt, whose own reply takes 300 ms.
std::vector<FakeDatagram> Late(const FakeSent& s, int index) {
    return {{index == 0 ? 1200000 : 300000, EchoOf(s.bytes), s.to}};
}

using Knobs = std::function<void(CFakeIcmpNetwork&)>;
const Knobs kUnstamped = [](CFakeIcmpNetwork& n) { n.bStamps = false; };

} // namespace

TEST(Pinger, AveragesTheAttemptsWithMinusOneForEachSilentOneAndPausesOnlyAfterAnsweredOnes) {
    const struct {
        const char* what;
        Responder respond;
        unsigned attempts, pause;
        Knobs knobs;
        std::int32_t expected;
        std::vector<std::uint32_t> sleeps;
        std::size_t sent;
        std::int64_t elapsed; // 0: not checked
    } cases[] = {
        {"one answered", Answer({0}, 500), 1, 500, {}, 500, {}, 1, 500},
        {"answered, silent", Answer({0}, 500), 2, 300, {}, 249, {300}, 2, 500 + 300000 + 1000000},
        {"silent, answered", Answer({1}, 500), 2, 300, {}, 249, {300}, 2, 1000000 + 500 + 300000},
        {"three silent", Answer({}, 0), 3, 500, {}, -1, {}, 3, 3000000},
        {"truncated toward zero", Answer({0}, 1), 3, 1, {}, 0, {1}, 3, 0}, // (1 - 1 - 1) / 3
        {"two of three", Answer({0, 1}, 1000), 3, 1, {}, 666, {1, 1}, 3, 0},
        {"zero attempts are one", Answer({0}, 700), 0, 500, {}, 700, {}, 1, 700},
        {"only ours counts", OursLast, 1, 0, {}, 900, {}, 1, 900},
        {"only foreign replies", Foreign, 1, 0, {}, -1, {}, 1, 1000000},
        {"late reply", Late, 2, 0, {}, 149999, {0}, 2, 0},
        // Earlier than any send, far in the future, too large for any integer, not a number: the time is ours.
        {"stamp 1e3", Forged(1e3), 1, 0, {}, 500, {}, 1, 500},
        {"stamp -1e12", Forged(-1e12), 1, 0, kUnstamped, 500, {}, 1, 500},
        {"stamp 1e300", Forged(1e300), 1, 0, {}, 500, {}, 1, 500},
        {"stamp nan", Forged(std::nan("")), 1, 0, kUnstamped, 500, {}, 1, 500},
        {"datagram socket", Answer({0}, 250), 1, 0, [](auto& n) { n.bRaw = false; }, 250, {}, 1, 0},
        {"no socket", Answer({0}, 250), 1, 0, [](auto& n) { n.bCanOpen = false; }, -1, {}, 0, 0},
        {"failing wait", Answer({0, 1}, 100), 2, 0, [](auto& n) { n.bWaitFails = true; }, -1, {}, 1, 0},
        {"failing receive", Answer({0, 1}, 500), 2, 40, [](auto& n) { n.nReceiveFailures = 1; }, 249, {40}, 2, 0},
        {"full send buffer", Answer({0}, 500), 1, 0, [](auto& n) { n.nBusySends = 3; }, 500, {1, 1, 1}, 1, 0},
    };
    for (const auto& c : cases) {
        CFakeProbeClock clock;
        CFakeIcmpNetwork net(clock);
        net.responder = [&](const FakeSent& s) { return c.respond(s, static_cast<int>(net.sent.size()) - 1); };
        if (c.knobs)
            c.knobs(net);
        const std::int64_t start = clock.Now();
        EXPECT_EQ(CPinger(net, clock).Ping(c.attempts, "198.18.0.10", c.pause), c.expected) << c.what;
        EXPECT_EQ(clock.sleeps, c.sleeps) << c.what;
        ASSERT_EQ(net.sent.size(), c.sent) << c.what;
        if (c.elapsed != 0) {
            EXPECT_EQ(clock.Now() - start, c.elapsed) << c.what;
        }
        for (const FakeSent& s : net.sent) {
            EXPECT_EQ(s.bytes.size(), 56u);
            EXPECT_EQ(s.to, (platform::Ipv4{198, 18, 0, 10}));
            EXPECT_EQ(ReadLe16(&s.bytes[4]), net.bRaw ? platform::GetCurrentThreadId() & 0xFFFF : net.nKernelId);
        }
    }
}

TEST(Pinger, RequestsAreNumberedOneAfterAnotherAcrossProbesFromOneAtTheProcessStart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process, whose counter has not moved
    EXPECT_EXIT(
        {
            CFakeProbeClock clock;
            CFakeIcmpNetwork net(clock);
            CPinger(net, clock).Ping(2, "198.18.0.10", 0);
            CPinger(net, clock).Ping(1, "198.18.0.10", 0);
            std::exit(ReadLe16(&net.sent[0].bytes[6]) * 100 + ReadLe16(&net.sent[1].bytes[6]) * 10 +
                      ReadLe16(&net.sent[2].bytes[6]));
        },
        ::testing::ExitedWithCode(123), "");
}
