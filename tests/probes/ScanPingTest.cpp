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

class ScanPingTest : public ::testing::Test {
protected:
    CFakeProbeClock clock;
    CFakeIcmpNetwork net{clock};

    void AnswerAfter(std::int64_t delay) {
        net.responder = [delay](const FakeSent& s) {
            return std::vector<FakeDatagram>{{delay, EchoOf(s.bytes), s.to}};
        };
    }
    std::int32_t Scan(const std::string& host, unsigned attempts = 1, unsigned payload = 0, unsigned pause = 100) {
        return ScanPing(host, pause, attempts, payload, net, clock);
    }
};

} // namespace

TEST_F(ScanPingTest, AnsweredHostGivesMillisecondsWith44ByteRequest_WhateverTheHostWritesAsStamp) {
    for (bool bStamps : {true, false}) {
        for (std::uint32_t forged : {0u, 2999u, 0xFFFFFFFFu}) {
            net.bStamps = bStamps;
            net.responder = [forged](const FakeSent& s) {
                std::vector<std::uint8_t> request = s.bytes;
                for (int i = 0; i < 4 && forged != 0; ++i)
                    request[8 + i] = static_cast<std::uint8_t>(forged >> (8 * i));
                return std::vector<FakeDatagram>{{3000, EchoOf(request), s.to}};
            };
            EXPECT_EQ(Scan("198.18.0.10"), 3) << (bStamps ? "stamped" : "unstamped") << ", stamp " << forged;
        }
    }
    net.sent.clear();
    AnswerAfter(3000);
    EXPECT_EQ(Scan("198.18.0.10"), 3);
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].bytes.size(), 44u);
    EXPECT_EQ(ReadLe16(&net.sent[0].bytes[6]), 0);
    EXPECT_TRUE(clock.sleeps.empty()) << "one attempt: no pause";
}

TEST_F(ScanPingTest, PayloadSizeSetsTheRequestLength) {
    AnswerAfter(1000);
    EXPECT_EQ(Scan("198.18.0.10", 1, 100), 1);
    EXPECT_EQ(net.sent[0].bytes.size(), 112u);
    EXPECT_EQ(Scan("198.18.0.10", 1, 1012), 1);
    EXPECT_EQ(Scan("198.18.0.10", 1, 1013), kScanNoBuffer) << "would not fit the 1024-byte buffer";
}

TEST_F(ScanPingTest, EachCallNumbersFromZeroAndPausesAfterEveryAttempt) {
    AnswerAfter(2000);
    EXPECT_EQ(Scan("198.18.0.10", 3, 0, 100), 2);
    EXPECT_EQ(Scan("198.18.0.10", 2, 0, 100), 2);
    ASSERT_EQ(net.sent.size(), 5u);
    const std::vector<int> expected{0, 1, 2, 0, 1};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(ReadLe16(&net.sent[i].bytes[6]), expected[i]) << i;
    EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{100, 100, 100, 100, 100}));
}

TEST_F(ScanPingTest, SilentAddressGivesMinusOneAfterOneSecondWithoutFurtherAttempts) {
    const std::int64_t start = clock.Now();
    EXPECT_EQ(Scan("198.18.0.250", 3), kScanNoAnswer);
    EXPECT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(clock.Now() - start, 1000000);
}

TEST_F(ScanPingTest, AReplyThatCameWhileTheThreadWasAwayStillCounts) {
    // 1.5 s off the processor right after the send: the reply waits in the socket, as a wait would have seen.
    for (bool bStamps : {true, false}) {
        net.bStamps = bStamps;
        AnswerAfter(3000);
        net.nStallAfterSend = 1500000;
        EXPECT_EQ(Scan("198.18.0.10"), bStamps ? 3 : 1500) << (bStamps ? "stamped" : "unstamped");
    }
}

TEST_F(ScanPingTest, AttemptCountZeroIsTakenAsOne) {
    AnswerAfter(4000);
    EXPECT_EQ(Scan("198.18.0.10", 0), 4);
    EXPECT_EQ(net.sent.size(), 1u);
}

TEST_F(ScanPingTest, RefusesWhatIsNotASingleHostsDottedAddress) {
    for (const char* host :
         {"host10.lanwick.test", "198.18.0.300", "255.255.255.255", "224.0.0.1", "0.0.0.0", "240.0.0.1"})
        EXPECT_EQ(Scan(host), kScanBadAddress) << host;
    EXPECT_TRUE(net.sent.empty());
}

TEST_F(ScanPingTest, NoSocketGivesMinusEleven) {
    net.bCanOpen = false;
    EXPECT_EQ(Scan("198.18.0.10"), kScanNoSocket);
}

TEST_F(ScanPingTest, AnotherThreadsReplyIsSkippedNotTakenForSilence) {
    net.responder = [](const FakeSent& s) {
        std::vector<std::uint8_t> theirs = EchoOf(s.bytes);
        WriteLe16(&theirs[4], static_cast<std::uint16_t>(ReadLe16(&theirs[4]) ^ 0x5555));
        std::vector<std::uint8_t> otherHost = EchoOf(s.bytes);
        return std::vector<FakeDatagram>{
            {500, theirs, s.to}, {800, otherHost, {198, 18, 0, 11}}, {5000, EchoOf(s.bytes), s.to}};
    };
    EXPECT_EQ(Scan("198.18.0.10"), 5);
}

TEST_F(ScanPingTest, DatagramSocketMatchesTheKernelsIdentifier) {
    net.bRaw = false;
    AnswerAfter(7000);
    EXPECT_EQ(Scan("198.18.0.10"), 7);
}

TEST_F(ScanPingTest, FailingWaitCountsAsATimeOut) {
    AnswerAfter(1000);
    net.bWaitFails = true;
    EXPECT_EQ(Scan("198.18.0.10"), kScanNoAnswer);
}

TEST_F(ScanPingTest, FailingReceiveGivesMinusSeventeen) {
    AnswerAfter(1000);
    net.nReceiveFailures = 1;
    EXPECT_EQ(Scan("198.18.0.10"), kScanReceiveFailed);
}
