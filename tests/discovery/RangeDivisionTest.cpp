// Range rules and the division of a range into blocks: every address with last byte 1 to 254 exactly once.
#include "discovery/RangeDivision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace lanwick {
namespace {

std::uint32_t Num(const IpAddress& ip) {
    return (std::uint32_t{ip[0]} << 24) | (std::uint32_t{ip[1]} << 16) | (std::uint32_t{ip[2]} << 8) | ip[3];
}

IpAddress Ip(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n)};
}

bool Probed(std::uint32_t n) {
    return (n & 255) != 0 && (n & 255) != 255;
}

// Walks every block the way a worker does and compares the probed addresses, in order, with every address
// from start to end whose last byte is 1 to 254. Returns the number of addresses that are covered.
std::uint64_t ExpectExactCover(const std::vector<ScanRange>& blocks, std::uint32_t start, std::uint32_t end) {
    std::uint64_t next = start;
    const auto skipUnprobed = [&] {
        while (next <= end && !Probed(static_cast<std::uint32_t>(next)))
            ++next;
    };
    std::uint64_t covered = 0;
    bool ok = true;
    for (const ScanRange& block : blocks) {
        WalkScanRange(block, [&](const IpAddress& ip) {
            EXPECT_TRUE(Probed(Num(ip))) << "a block visits an address it cannot probe";
            skipUnprobed();
            if (next > end || Num(ip) != next) {
                ADD_FAILURE() << "unexpected address " << +ip[0] << '.' << +ip[1] << '.' << +ip[2] << '.' << +ip[3];
                ok = false;
                return false;
            }
            ++next;
            ++covered;
            return true;
        });
        if (!ok)
            return covered;
    }
    skipUnprobed();
    EXPECT_GT(next, end) << "addresses left unprobed from " << (next >> 8) << "/" << (next & 255);
    return covered;
}

std::uint64_t LargestBlock(const std::vector<ScanRange>& blocks) {
    std::uint64_t n = 0;
    for (const ScanRange& b : blocks)
        n = std::max(n, WalkLength(b));
    return n;
}

TEST(ScanRangeRules, AcceptsOnlyRisingLastTwoBytesWithinOneFirstByte) {
    EXPECT_FALSE(IsValidScanRange({192, 168, 1, 10}, {192, 168, 1, 10}));
    EXPECT_FALSE(IsValidScanRange({192, 168, 2, 1}, {192, 168, 1, 254}));
    EXPECT_FALSE(IsValidScanRange({192, 168, 1, 20}, {192, 168, 1, 10}));
    EXPECT_TRUE(IsValidScanRange({192, 168, 1, 1}, {192, 168, 1, 254}));
    EXPECT_TRUE(IsValidScanRange({192, 168, 1, 200}, {192, 168, 2, 5}));
    // The second byte takes no part in the comparison but must not go down; the first must not change.
    EXPECT_TRUE(IsValidScanRange({10, 0, 0, 1}, {10, 3, 0, 2}));
    EXPECT_FALSE(IsValidScanRange({10, 0, 5, 1}, {10, 1, 0, 1}));
    EXPECT_FALSE(IsValidScanRange({10, 3, 0, 1}, {10, 2, 0, 5}));
    EXPECT_FALSE(IsValidScanRange({0, 0, 0, 0}, {10, 0, 0, 5}));
}

TEST(ScanRangeRules, TotalFollowsTheDisplayedFormula) {
    EXPECT_EQ(ScanTotal({192, 168, 1, 1}, {192, 168, 1, 254}), 253u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 1}, {10, 0, 1, 254}), 506u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 200}, {10, 0, 1, 5}), 58u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 0}, {10, 1, 0, 0}), 255u * 253u);
}

TEST(ScanWalk, VisitsBytesFirstOutermostAndNothingWhenAByteRunsBackwards) {
    std::vector<IpAddress> seen;
    WalkScanRange({{10, 0, 1, 254}, {10, 0, 2, 255}}, [&](const IpAddress& ip) {
        seen.push_back(ip);
        return true;
    });
    const std::vector<IpAddress> expected = {{10, 0, 1, 254}, {10, 0, 1, 255}, {10, 0, 2, 254}, {10, 0, 2, 255}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(WalkLength({{10, 0, 1, 254}, {10, 0, 2, 255}}), 4u);

    seen.clear();
    WalkScanRange({{192, 168, 1, 235}, {192, 168, 2, 4}}, [&](const IpAddress& ip) {
        seen.push_back(ip);
        return true;
    });
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(WalkLength({{192, 168, 1, 235}, {192, 168, 2, 4}}), 0u);
}

TEST(DivideRange, PlainRunsOfTotalOverNLeaveTheEndOfTheCounterExampleUnprobed) {
    // Ten runs of Total / 10 + 1 = 26 last bytes from .1: the tenth, 235 to 260, ends on 192.168.2.4.
    std::vector<ScanRange> naive;
    for (std::uint32_t first = Num({192, 168, 1, 1}), i = 0; i < 10; ++i, first += 26)
        naive.push_back({Ip(first), Ip(first + 25)});
    std::uint64_t probed = 0;
    for (const ScanRange& b : naive)
        WalkScanRange(b, [&](const IpAddress&) {
            ++probed;
            return true;
        });
    EXPECT_EQ(probed, 234u) << "235 to 254 stay unprobed";

    const auto blocks = DivideRange({192, 168, 1, 1}, {192, 168, 1, 254}, 10);
    EXPECT_LE(blocks.size(), 10u);
    EXPECT_EQ(ExpectExactCover(blocks, Num({192, 168, 1, 1}), Num({192, 168, 1, 254})), 254u);
    EXPECT_EQ(LargestBlock(blocks), 26u);
}

TEST(DivideRange, CutsAtThirdByteBoundaries) {
    const std::uint32_t start = Num({10, 1, 0, 200});
    const std::uint32_t end = Num({10, 1, 3, 17});
    for (int n : {1, 7, 10, 13, 40, 80}) {
        const auto blocks = DivideRange(Ip(start), Ip(end), n);
        EXPECT_LE(blocks.size(), static_cast<std::size_t>(std::max(n, kMinScanParts))) << n;
        EXPECT_EQ(ExpectExactCover(blocks, start, end), 55u + 254u * 2 + 17u) << n;
    }
}

TEST(DivideRange, LargestBlockMeetsTheRoundsOfTheBenchmark) {
    const auto lan24 = [](int n) { return DivideRange({198, 18, 0, 0}, {198, 18, 0, 255}, n); };
    EXPECT_EQ(LargestBlock(lan24(10)), 26u);
    EXPECT_EQ(LargestBlock(lan24(40)), 7u);
    EXPECT_EQ(LargestBlock(lan24(80)), 4u);
    const auto lan23 = DivideRange({198, 18, 0, 0}, {198, 18, 1, 255}, 80);
    EXPECT_LE(lan23.size(), 80u);
    EXPECT_EQ(LargestBlock(lan23), 7u);
    EXPECT_EQ(ExpectExactCover(lan23, Num({198, 18, 0, 0}), Num({198, 18, 1, 255})), 508u);
}

TEST(DivideRange, GroupsWholeSubnetsWhenTheyOutnumberTheWorkers) {
    // 10.0.0.0 to 10.2.255.255: 768 whole /24s for 80 workers; blocks of whole /24s within one second byte.
    const auto blocks = DivideRange({10, 0, 0, 0}, {10, 2, 255, 255}, 80);
    EXPECT_LE(blocks.size(), 80u);
    EXPECT_EQ(ExpectExactCover(blocks, Num({10, 0, 0, 0}), Num({10, 2, 255, 255})), 768u * 254u);
    EXPECT_LE(LargestBlock(blocks), 10u * 254u);

    const auto whole8 = DivideRange({10, 0, 0, 0}, {10, 255, 255, 255}, 80);
    EXPECT_LE(whole8.size(), 80u);
    EXPECT_EQ(ExpectExactCover(whole8, Num({10, 0, 0, 0}), Num({10, 255, 255, 255})), 65536u * 254u);
}

TEST(DivideRange, WholeAddressSpaceStaysWithinTheWorkerCount) {
    const auto blocks = DivideRange({0, 0, 0, 0}, {255, 255, 255, 255}, 80);
    EXPECT_LE(blocks.size(), 80u);
    std::uint64_t total = 0;
    for (const ScanRange& b : blocks)
        total += WalkLength(b);
    EXPECT_EQ(total, 16777216u * 254u);
}

TEST(DivideRange, GivesNothingWithoutAProbedAddress) {
    EXPECT_TRUE(DivideRange({10, 0, 1, 255}, {10, 0, 2, 0}, 10).empty());
    EXPECT_TRUE(DivideRange({10, 0, 1, 0}, {10, 0, 1, 0}, 10).empty());
    EXPECT_TRUE(DivideRange({10, 0, 2, 5}, {10, 0, 1, 5}, 10).empty());
    EXPECT_EQ(DivideRange({10, 0, 1, 255}, {10, 0, 2, 1}, 10).size(), 1u);
}

TEST(DivideRange, CoversRandomRangesExactly) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        const std::uint32_t start = Num({172, 16, 0, 0}) + random() % 300000;
        const std::uint32_t span = round % 3 == 0 ? random() % 600 : random() % 400000;
        const int n = 1 + static_cast<int>(random() % 80);
        const auto blocks = DivideRange(Ip(start), Ip(start + span), n);
        ASSERT_LE(blocks.size(), static_cast<std::size_t>(std::max(n, kMinScanParts)));
        ExpectExactCover(blocks, start, start + span);
        ASSERT_FALSE(HasFailure()) << "start " << start << " span " << span << " workers " << n;
    }
}

} // namespace
} // namespace lanwick
