// The scan probe against a scripted network: request sizes and numbering, codes, and replies meant for others.
#include "probes/ScanPing.h"

#include "fakes/FakeIcmp.h"

#include <gtest/gtest.h>

using namespace lanwick;
using lanwick::test::CFakeIcmpNetwork;
using lanwick::test::CFakeProbeClock;
using lanwick::test::EchoOf;
using lanwick::test::FakeDatagram;
using lanwick::test::FakeSent;

namespace {

using Responder = std::function<std::vector<FakeDatagram>(const FakeSent&)>;

Responder AnswerAfter(std::int64_t delay, std::uint32_t forgedStamp = 0) {
    return [delay, forgedStamp](const FakeSent& s) {
        std::vector<std::uint8_t> request = s.bytes;
        for (int i = 0; i < 4 && forgedStamp != 0; ++i)
            request[8 + i] = static_cast<std::uint8_t>(forgedStamp >> (8 * i));
        return std::vector<FakeDatagram>{{delay, EchoOf(request), s.to}};
    };
}

// Another thread's reply and a reply from another host come first.
std::vector<FakeDatagram> OursLast(const FakeSent& s) {
    std::vector<std::uint8_t> theirs = EchoOf(s.bytes);
    WriteLe16(&theirs[4], static_cast<std::uint16_t>(ReadLe16(&theirs[4]) ^ 0x5555));
    return {{500, theirs, s.to}, {800, EchoOf(s.bytes), {198, 18, 0, 11}}, {5000, EchoOf(s.bytes), s.to}};
}

} // namespace

TEST(ScanPing, GivesMillisecondsOfTheFirstAnsweredAttemptNumberingFromZeroAndPausingAfterEach) {
    const struct {
        const char* host;
        Responder respond;
        unsigned attempts, payload;
        std::function<void(CFakeIcmpNetwork&)> knobs;
        std::int32_t expected;
        std::size_t sent;
        std::vector<std::uint32_t> sleeps;
    } cases[] = {
        {"198.18.0.10", AnswerAfter(3000), 1, 0, {}, 3, 1, {}}, // one attempt: no pause
        {"198.18.0.10", AnswerAfter(2000), 3, 0, {}, 2, 3, {100, 100, 100}},
        {"198.18.0.10", AnswerAfter(2000), 2, 0, {}, 2, 2, {100, 100}},
        {"198.18.0.10", AnswerAfter(4000), 0, 0, {}, 4, 1, {}}, // zero attempts are one
        {"198.18.0.10", AnswerAfter(1000), 1, 100, {}, 1, 1, {}},
        {"198.18.0.10", AnswerAfter(1000), 1, 1012, {}, 1, 1, {}},
        {"198.18.0.10", AnswerAfter(1000), 1, 1013, {}, kScanNoBuffer, 0, {}}, // past the 1024-byte buffer
        {"198.18.0.250", nullptr, 3, 0, {}, kScanNoAnswer, 1, {}},             // silent: no further attempts
        {"198.18.0.10", OursLast, 1, 0, {}, 5, 1, {}},
        {"198.18.0.10", AnswerAfter(7000), 1, 0, [](auto& n) { n.bRaw = false; }, 7, 1, {}},
        {"198.18.0.10", AnswerAfter(1000), 1, 0, [](auto& n) { n.bWaitFails = true; }, kScanNoAnswer, 1, {}},
        {"198.18.0.10", AnswerAfter(1000), 1, 0, [](auto& n) { n.nReceiveFailures = 1; }, kScanReceiveFailed, 1, {}},
        {"198.18.0.10", AnswerAfter(1000), 1, 0, [](auto& n) { n.bCanOpen = false; }, kScanNoSocket, 0, {}},
        {"host10.lanwick.test", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
        {"198.18.0.300", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
        {"255.255.255.255", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
        {"224.0.0.1", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
        {"0.0.0.0", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
        {"240.0.0.1", AnswerAfter(1000), 1, 0, {}, kScanBadAddress, 0, {}},
    };
    for (const auto& c : cases) {
        const std::string what =
            std::string(c.host) + ", " + std::to_string(c.attempts) + " attempts, payload " + std::to_string(c.payload);
        CFakeProbeClock clock;
        CFakeIcmpNetwork net(clock);
        net.responder = c.respond;
        if (c.knobs)
            c.knobs(net);
        const std::int64_t start = clock.Now();
        EXPECT_EQ(ScanPing(c.host, 100, c.attempts, c.payload, net, clock), c.expected) << what;
        EXPECT_EQ(clock.sleeps, c.sleeps) << what;
        ASSERT_EQ(net.sent.size(), c.sent) << what;
        for (std::size_t i = 0; i < net.sent.size(); ++i) {
            EXPECT_EQ(net.sent[i].bytes.size(), 12 + (c.payload ? c.payload : 32)) << what;
            EXPECT_EQ(ReadLe16(&net.sent[i].bytes[6]), i) << what;
        }
        if (!c.respond) { // a silent host: one second
            EXPECT_EQ(clock.Now() - start, 1000000) << what;
        }
    }
}

TEST(ScanPing, TimeIsOursWhateverTheHostWritesAsStampAndAReplyThatCameWhileTheThreadWasAwayStillCounts) {
    for (bool bStamps : {true, false}) {
        for (std::uint32_t forged : {0u, 2999u, 12345u, 0x80000000u, 0xFFFFFFFFu}) {
            CFakeProbeClock clock;
            CFakeIcmpNetwork net(clock);
            net.bStamps = bStamps;
            net.responder = AnswerAfter(3000, forged);
            EXPECT_EQ(ScanPing("198.18.0.10", 100, 1, 0, net, clock), 3) << bStamps << ", stamp " << forged;
            // 1.5 s off the processor right after the send: the reply waits in the socket, as a wait would see.
            net.nStallAfterSend = 1500000;
            EXPECT_EQ(ScanPing("198.18.0.10", 100, 1, 0, net, clock), bStamps ? 3 : 1500) << bStamps;
        }
    }
}
