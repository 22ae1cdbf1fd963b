// The monitoring probe against a scripted network: round-trip arithmetic, sequence numbers, pauses, and the
// replies it must not take for an answer.
#include "probes/Pinger.h"

#include "fakes/FakeIcmp.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace lanwick;
using lanwick::test::CFakeIcmpNetwork;
using lanwick::test::CFakeProbeClock;
using lanwick::test::EchoOf;
using lanwick::test::FakeDatagram;
using lanwick::test::FakeSent;

namespace {

const platform::Ipv4 kHost{198, 18, 0, 10};
const platform::Ipv4 kOther{198, 18, 0, 11};

class PingerTest : public ::testing::Test {
protected:
    CFakeProbeClock clock;
    CFakeIcmpNetwork net{clock};
    CPinger pinger{net, clock};

    // The host answers the requests whose index (from 0) is in `answered`, after `delay` microseconds.
    void Answer(std::vector<int> answered, std::int64_t delay) {
        const std::size_t base = net.sent.size();
        net.responder = [answered, delay, base, this](const FakeSent& s) {
            const int index = static_cast<int>(net.sent.size() - 1 - base);
            std::vector<FakeDatagram> out;
            if (std::find(answered.begin(), answered.end(), index) != answered.end())
                out.push_back({delay, EchoOf(s.bytes), s.to});
            return out;
        };
    }
};

} // namespace

TEST_F(PingerTest, OneAttemptAnsweredIn500usGives500) {
    Answer({0}, 500);
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 500), 500);
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].bytes.size(), 56u);
    EXPECT_EQ(net.sent[0].to, kHost);
    EXPECT_EQ(ReadLe16(&net.sent[0].bytes[4]), platform::GetCurrentThreadId() & 0xFFFF);
}

TEST_F(PingerTest, TwoAttemptsOneAnsweredIn500usOneSilentGive249) {
    Answer({0}, 500);
    const std::int64_t start = clock.Now();
    EXPECT_EQ(pinger.Ping(2, "198.18.0.10", 300), 249); // (500 - 1) / 2
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{300}) << "the pause follows answered attempts only";
    EXPECT_EQ(clock.Now() - start, 500 + 300000 + 1000000);
}

TEST_F(PingerTest, SilentFirstThenAnsweredAlsoGives249AndPausesAfterTheLast) {
    Answer({1}, 500);
    EXPECT_EQ(pinger.Ping(2, "198.18.0.10", 300), 249);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{300});
}

TEST_F(PingerTest, ThreeSilentAttemptsGiveMinusOneAfterThreeSeconds) {
    const std::int64_t start = clock.Now();
    EXPECT_EQ(pinger.Ping(3, "198.18.0.10", 500), -1);
    EXPECT_EQ(net.sent.size(), 3u);
    EXPECT_EQ(clock.Now() - start, 3000000);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PingerTest, MixedAttemptsTruncateTowardZero) {
    Answer({0}, 1);
    EXPECT_EQ(pinger.Ping(3, "198.18.0.10", 1), 0); // (1 - 1 - 1) / 3 = -1 / 3 = 0
    Answer({0, 1}, 1000);
    EXPECT_EQ(pinger.Ping(3, "198.18.0.10", 1), 666); // (1000 + 1000 - 1) / 3
}

TEST_F(PingerTest, AttemptCountZeroIsTakenAsOne) {
    Answer({0}, 700);
    EXPECT_EQ(pinger.Ping(0, "198.18.0.10", 500), 700);
    EXPECT_EQ(net.sent.size(), 1u);
}

TEST_F(PingerTest, RequestsAreNumberedOneAfterAnother) {
    pinger.Ping(2, "198.18.0.10", 0);
    CPinger other(net, clock);
    other.Ping(1, "198.18.0.10", 0);
    ASSERT_EQ(net.sent.size(), 3u);
    const std::uint16_t first = ReadLe16(&net.sent[0].bytes[6]);
    EXPECT_EQ(ReadLe16(&net.sent[1].bytes[6]), static_cast<std::uint16_t>(first + 1));
    EXPECT_EQ(ReadLe16(&net.sent[2].bytes[6]), static_cast<std::uint16_t>(first + 2));
}

TEST(PingerSequence, FirstRequestOfTheProcessCarriesSequenceOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process, whose counter has not moved
    EXPECT_EXIT(
        {
            CFakeProbeClock clock;
            CFakeIcmpNetwork net(clock);
            CPinger(net, clock).Ping(2, "198.18.0.10", 0);
            std::exit(ReadLe16(&net.sent[0].bytes[6]) * 10 + ReadLe16(&net.sent[1].bytes[6]));
        },
        ::testing::ExitedWithCode(12), "");
}

TEST_F(PingerTest, SkipsEverythingButOurOwnReplyAndKeepsWaiting) {
    net.responder = [](const FakeSent& s) {
        std::vector<std::uint8_t> foreignId = EchoOf(s.bytes);
        WriteLe16(&foreignId[4], static_cast<std::uint16_t>(ReadLe16(&foreignId[4]) + 1));
        std::vector<std::uint8_t> otherSeq = EchoOf(s.bytes);
        WriteLe16(&otherSeq[6], static_cast<std::uint16_t>(ReadLe16(&otherSeq[6]) - 1));
        std::vector<std::uint8_t> unreachable = EchoOf(s.bytes);
        unreachable[0] = 3;
        return std::vector<FakeDatagram>{{100, foreignId, s.to},         {200, otherSeq, s.to},
                                         {300, EchoOf(s.bytes), kOther}, {400, unreachable, s.to},
                                         {450, s.bytes, s.to},           {900, EchoOf(s.bytes), s.to}};
    };
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 0), 900);
}

TEST_F(PingerTest, OnlyForeignRepliesGiveMinusOneAfterTheSecond) {
    net.responder = [](const FakeSent& s) { return std::vector<FakeDatagram>{{100, EchoOf(s.bytes), kOther}}; };
    const std::int64_t start = clock.Now();
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 0), -1);
    EXPECT_EQ(clock.Now() - start, 1000000);
}

TEST_F(PingerTest, ALateReplyToTheLastAttemptDoesNotAnswerTheNextOne) {
    int n = 0;
    net.responder = [&n](const FakeSent& s) {
        // The first reply comes 1.2 s late, inside the second attempt, whose own reply takes 300 ms.
        return std::vector<FakeDatagram>{{n++ == 0 ? 1200000 : 300000, EchoOf(s.bytes), s.to}};
    };
    EXPECT_EQ(pinger.Ping(2, "198.18.0.10", 0), 149999); // (-1 + 300000) / 2
}

TEST_F(PingerTest, DatagramSocketRepliesCarryTheKernelsIdentifier) {
    net.bRaw = false;
    Answer({0}, 250);
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 0), 250);
    EXPECT_EQ(ReadLe16(&net.sent[0].bytes[4]), net.nKernelId);
}

TEST_F(PingerTest, NoSocketGivesMinusOne) {
    net.bCanOpen = false;
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 0), -1);
}

TEST_F(PingerTest, FailingWaitGivesMinusOne) {
    Answer({0, 1}, 100);
    net.bWaitFails = true;
    EXPECT_EQ(pinger.Ping(2, "198.18.0.10", 0), -1);
    EXPECT_EQ(net.sent.size(), 1u);
}

TEST_F(PingerTest, FailingReceiveCountsAsATimedOutAttemptWithoutPause) {
    Answer({0, 1}, 500);
    net.nReceiveFailures = 1;
    EXPECT_EQ(pinger.Ping(2, "198.18.0.10", 40), 249);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{40});
}

TEST_F(PingerTest, FullSendBufferIsRetriedNotCountedAsSilence) {
    Answer({0}, 500);
    net.nBusySends = 3;
    EXPECT_EQ(pinger.Ping(1, "198.18.0.10", 0), 500);
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{1, 1, 1}));
}
