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

// Walks every block the way a worker does and checks that the probed addresses are, in order, every address from
// start to end whose last byte is 1 to 254. Returns the largest block's length.
std::uint64_t ExpectExactCover(const std::vector<ScanRange>& blocks, std::uint32_t start, std::uint32_t end) {
    std::uint64_t next = start;
    const auto skipUnprobed = [&] {
        while (next <= end && ((next & 255) == 0 || (next & 255) == 255))
            ++next;
    };
    std::uint64_t largest = 0;
    for (const ScanRange& block : blocks) {
        largest = std::max(largest, WalkLength(block));
        bool ok = true;
        WalkScanRange(block, [&](const IpAddress& ip) {
            skipUnprobed();
            ok = next <= end && Num(ip) == next++;
            return ok;
        });
        if (!ok) {
            ADD_FAILURE() << "a block visits an address out of turn or not probed, after " << next - 1;
            return largest;
        }
    }
    skipUnprobed();
    EXPECT_GT(next, end) << "addresses left unprobed from " << (next >> 8) << "/" << (next & 255);
    return largest;
}

TEST(ScanRangeRules, AcceptsOnlyRisingLastTwoBytesWithinOneFirstByteAndTotalFollowsTheDisplayedFormula) {
    // The second byte takes no part in the comparison but must not go down; the first must not change.
    const struct {
        IpAddress start, end;
        bool bValid;
    } ranges[] = {
        {{192, 168, 1, 10}, {192, 168, 1, 10}, false}, {{192, 168, 2, 1}, {192, 168, 1, 254}, false},
        {{192, 168, 1, 20}, {192, 168, 1, 10}, false}, {{192, 168, 1, 1}, {192, 168, 1, 254}, true},
        {{192, 168, 1, 200}, {192, 168, 2, 5}, true},  {{10, 0, 0, 1}, {10, 3, 0, 2}, true},
        {{10, 0, 5, 1}, {10, 1, 0, 1}, false},         {{10, 3, 0, 1}, {10, 2, 0, 5}, false},
        {{0, 0, 0, 0}, {10, 0, 0, 5}, false},
    };
    for (const auto& r : ranges)
        EXPECT_EQ(IsValidScanRange(r.start, r.end), r.bValid) << Num(r.start) << " to " << Num(r.end);
    EXPECT_EQ(ScanTotal({192, 168, 1, 1}, {192, 168, 1, 254}), 253u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 1}, {10, 0, 1, 254}), 506u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 200}, {10, 0, 1, 5}), 58u);
    EXPECT_EQ(ScanTotal({10, 0, 0, 0}, {10, 1, 0, 0}), 255u * 253u);
}

TEST(ScanWalk, VisitsBytesFirstOutermostAndNothingWhenAByteRunsBackwards) {
    std::vector<IpAddress> seen;
    const auto record = [&](const IpAddress& ip) {
        seen.push_back(ip);
        return true;
    };
    WalkScanRange({{10, 0, 1, 254}, {10, 0, 2, 255}}, record);
    EXPECT_EQ(seen, (std::vector<IpAddress>{{10, 0, 1, 254}, {10, 0, 1, 255}, {10, 0, 2, 254}, {10, 0, 2, 255}}));
    EXPECT_EQ(WalkLength({{10, 0, 1, 254}, {10, 0, 2, 255}}), 4u);
    seen.clear();
    WalkScanRange({{192, 168, 1, 235}, {192, 168, 2, 4}}, record);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(WalkLength({{192, 168, 1, 235}, {192, 168, 2, 4}}), 0u);
}

TEST(DivideRange, CoversExactlyInAtMostTheWorkerCountOfBlocksCutAtByteBoundaries) {
    // Plain runs of Total / 10 + 1 last bytes from .1 would leave 235 to 254 of the first row unprobed.
    const struct {
        IpAddress start, end;
        int workers;
        std::uint64_t largest; // at most (with at most so many blocks, the smallest it can be); 0: not checked
    } cases[] = {
        {{192, 168, 1, 1}, {192, 168, 1, 254}, 10, 26},   {{10, 1, 0, 200}, {10, 1, 3, 17}, 1, 0},
        {{10, 1, 0, 200}, {10, 1, 3, 17}, 7, 0},          {{10, 1, 0, 200}, {10, 1, 3, 17}, 13, 0},
        {{10, 1, 0, 200}, {10, 1, 3, 17}, 80, 0},         {{198, 18, 0, 0}, {198, 18, 0, 255}, 40, 7},
        {{198, 18, 0, 0}, {198, 18, 0, 255}, 80, 4},      {{198, 18, 0, 0}, {198, 18, 1, 255}, 80, 7},
        {{10, 0, 0, 0}, {10, 2, 255, 255}, 80, 10 * 254}, // 768 whole /24s: grouped, within one second byte
        {{10, 0, 0, 0}, {10, 255, 255, 255}, 80, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(Num(c.start)) + " to " + std::to_string(Num(c.end)) + ", " +
                     std::to_string(c.workers) + " workers");
        const auto blocks = DivideRange(c.start, c.end, c.workers);
        EXPECT_LE(blocks.size(), static_cast<std::size_t>(std::max(c.workers, kMinScanParts)));
        const std::uint64_t largest = ExpectExactCover(blocks, Num(c.start), Num(c.end));
        EXPECT_TRUE(c.largest == 0 || largest <= c.largest) << largest;
    }
    // The whole address space: counted, not walked.
    const auto all = DivideRange({0, 0, 0, 0}, {255, 255, 255, 255}, 80);
    EXPECT_LE(all.size(), 80u);
    std::uint64_t total = 0;
    for (const ScanRange& b : all)
        total += WalkLength(b);
    EXPECT_EQ(total, 16777216u * 254u);
    // Nothing without a probed address.
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
