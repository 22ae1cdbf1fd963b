// Range rules of the scan dialog and the division of a range into blocks that a worker's walk covers exactly.
//
// A block the byte walk covers without gaps is a run of one "level": addresses under one /24 (level 0), whole /24s
// under one /16 (level 1, last bytes 1 to 254), whole /16s under one /8 (level 2) or whole /8s (level 3). A range
// splits into at most seven such runs; each run is then cut into blocks of at most q addresses, with the
// smallest q that needs no more blocks than there are workers.
#include "discovery/RangeDivision.h"

#include <algorithm>
#include <array>
#include <optional>

namespace lanwick {

namespace {

// Addresses in one unit of each level: 1, a /24 without 0 and 255, a /16 and an /8 of those.
constexpr std::array<std::uint64_t, 4> kUnitSize = {1, 254, 254 * 256, 254 * 65536};

struct Run {
    int level;
    std::uint64_t firstUnit; // an address at level 0, else the /24, /16 or /8 prefix
    std::uint64_t count;
};

std::uint32_t ToNumber(const IpAddress& ip) {
    return (std::uint32_t{ip[0]} << 24) | (std::uint32_t{ip[1]} << 16) | (std::uint32_t{ip[2]} << 8) | ip[3];
}

IpAddress FromNumber(std::uint64_t n) {
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n)};
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// Units lo..hi of a level (1 to 3) as aligned runs: a partial group at each end, whole groups one level up.
void DecomposeUnits(int level, std::uint64_t lo, std::uint64_t hi, std::vector<Run>& runs) {
    if (level == 3 || (lo >> 8) == (hi >> 8)) {
        runs.push_back({level, lo, hi - lo + 1});
        return;
    }
    std::optional<Run> tail;
    if ((lo & 255) != 0) {
        runs.push_back({level, lo, (lo | 255) - lo + 1});
        lo = (lo | 255) + 1;
    }
    if ((hi & 255) != 255) {
        tail = Run{level, hi & ~std::uint64_t{255}, (hi & 255) + 1};
        hi = (hi & ~std::uint64_t{255}) - 1;
    }
    if (lo <= hi)
        DecomposeUnits(level + 1, lo >> 8, hi >> 8, runs);
    if (tail)
        runs.push_back(*tail);
}

std::vector<Run> Decompose(std::uint32_t start, std::uint32_t end) {
    std::vector<Run> runs;
    if (start > end)
        return runs;
    const std::uint64_t firstPrefix = start >> 8;
    const std::uint64_t lastPrefix = end >> 8;
    const std::uint64_t lo = std::max<std::uint64_t>(start & 255, 1);
    const std::uint64_t hi = std::min<std::uint64_t>(end & 255, 254);
    if (firstPrefix == lastPrefix) {
        if (lo <= hi)
            runs.push_back({0, (firstPrefix << 8) | lo, hi - lo + 1});
        return runs;
    }
    std::uint64_t fullFirst = firstPrefix;
    std::uint64_t fullLast = lastPrefix;
    if (lo > 1) {
        ++fullFirst;
        if (lo <= 254)
            runs.push_back({0, (firstPrefix << 8) | lo, 254 - lo + 1});
    }
    std::optional<Run> tail;
    if (hi < 254) {
        --fullLast;
        if (hi >= 1)
            tail = Run{0, (lastPrefix << 8) | 1, hi};
    }
    if (fullFirst <= fullLast)
        DecomposeUnits(1, fullFirst, fullLast, runs);
    if (tail)
        runs.push_back(*tail);
    return runs;
}

// Blocks needed for count units of a level when no block may hold more than q addresses.
std::uint64_t RunBlocks(int level, std::uint64_t count, std::uint64_t q) {
    const std::uint64_t unit = kUnitSize[static_cast<std::size_t>(level)];
    if (q >= unit)
        return CeilDiv(count, q / unit);
    return count * RunBlocks(level - 1, level == 1 ? 254 : 256, q);
}

ScanRange BlockOfUnits(int level, std::uint64_t firstUnit, std::uint64_t lastUnit) {
    if (level == 0)
        return {FromNumber(firstUnit), FromNumber(lastUnit)};
    const int shift = 8 * level;
    return {FromNumber((firstUnit << shift) | 1), FromNumber(((lastUnit + 1) << shift) - 2)};
}

// Cuts a run into blocks of at most q addresses, as even in size as their number allows.
void EmitRun(int level, std::uint64_t firstUnit, std::uint64_t count, std::uint64_t q, std::vector<ScanRange>& out) {
    const std::uint64_t unit = kUnitSize[static_cast<std::size_t>(level)];
    if (q < unit) {
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t u = firstUnit + i;
            if (level == 1)
                EmitRun(0, (u << 8) | 1, 254, q, out);
            else
                EmitRun(level - 1, u << 8, 256, q, out);
        }
        return;
    }
    const std::uint64_t parts = CeilDiv(count, q / unit);
    std::uint64_t u = firstUnit;
    for (std::uint64_t i = 0; i < parts; ++i) {
        const std::uint64_t n = count / parts + (i < count % parts ? 1 : 0);
        out.push_back(BlockOfUnits(level, u, u + n - 1));
        u += n;
    }
}

} // namespace

bool IsValidScanRange(const IpAddress& start, const IpAddress& end) {
    if (start[0] != end[0] || start[1] > end[1])
        return false;
    return start[2] < end[2] || (start[2] == end[2] && start[3] < end[3]);
}

std::uint32_t ScanTotal(const IpAddress& start, const IpAddress& end) {
    const auto diff = [&](std::size_t i) { return std::uint32_t{end[i]} - std::uint32_t{start[i]}; };
    return (diff(1) * 255u + diff(2)) * 253u + diff(3);
}

std::uint64_t WalkLength(const ScanRange& range) {
    std::uint64_t n = 1;
    for (std::size_t i = 0; i < 4; ++i) {
        if (range.first[i] > range.last[i])
            return 0;
        n *= std::uint64_t{range.last[i]} - range.first[i] + 1;
    }
    return n;
}

void WalkScanRange(const ScanRange& range, const std::function<bool(const IpAddress&)>& visit) {
    const IpAddress& a = range.first;
    const IpAddress& b = range.last;
    for (int b0 = a[0]; b0 <= b[0]; ++b0)
        for (int b1 = a[1]; b1 <= b[1]; ++b1)
            for (int b2 = a[2]; b2 <= b[2]; ++b2)
                for (int b3 = a[3]; b3 <= b[3]; ++b3) {
                    const IpAddress ip = {static_cast<std::uint8_t>(b0), static_cast<std::uint8_t>(b1),
                                          static_cast<std::uint8_t>(b2), static_cast<std::uint8_t>(b3)};
                    if (!visit(ip))
                        return;
                }
}

std::vector<ScanRange> DivideRange(const IpAddress& start, const IpAddress& end, int maxParts) {
    const std::vector<Run> runs = Decompose(ToNumber(start), ToNumber(end));
    std::uint64_t addresses = 0;
    for (const Run& r : runs)
        addresses += r.count * kUnitSize[static_cast<std::size_t>(r.level)];
    std::vector<ScanRange> blocks;
    if (addresses == 0)
        return blocks;
    const auto parts = static_cast<std::uint64_t>(std::max(maxParts, kMinScanParts));
    const auto blocksFor = [&](std::uint64_t q) {
        std::uint64_t n = 0;
        for (const Run& r : runs)
            n += RunBlocks(r.level, r.count, q);
        return n;
    };
    // The block count only falls as q grows, and with q = all addresses every run is one block.
    std::uint64_t lo = std::max<std::uint64_t>(CeilDiv(addresses, parts), 1);
    std::uint64_t hi = addresses;
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (blocksFor(mid) <= parts)
            hi = mid;
        else
            lo = mid + 1;
    }
    for (const Run& r : runs)
        EmitRun(r.level, r.firstUnit, r.count, lo, blocks);
    return blocks;
}

} // namespace lanwick
