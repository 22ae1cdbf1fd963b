// The address range of a scan: which ranges the dialog accepts, its Total, and how it is split into blocks that a
// worker's byte-by-byte walk covers exactly.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "registry/Machine.h"

namespace lanwick {

// One worker's part: every combination of the four bytes, each from its value in first up to its value in last.
struct ScanRange {
    IpAddress first{};
    IpAddress last{};
};

inline bool operator==(const ScanRange& a, const ScanRange& b) {
    return a.first == b.first && a.last == b.last;
}

// Accepted when (start[2], start[3]) is below (end[2], end[3]). The first byte must also be the same and the
// second must not go down: Total ignores the first byte and would wrap below zero on the second.
bool IsValidScanRange(const IpAddress& start, const IpAddress& end);

// ((E1 - S1) * 255 + (E2 - S2)) * 253 + (E3 - S3) in unsigned 32-bit arithmetic: the figure shown as "Total:".
// It is not the number of probed addresses (1 to 254 is 254 addresses and shows 253); the progress bar uses
// WalkLength instead.
std::uint32_t ScanTotal(const IpAddress& start, const IpAddress& end);

// Number of byte combinations the walk of range visits, skipped last bytes included.
std::uint64_t WalkLength(const ScanRange& range);

// The walk: first byte outermost, last byte innermost; a byte whose first value is above its last gives nothing.
// visit returns false to end the walk early.
void WalkScanRange(const ScanRange& range, const std::function<bool(const IpAddress&)>& visit);

// Some ranges need this many blocks whatever the worker count (partial /24, /16 and /8 runs on both sides).
inline constexpr int kMinScanParts = 7;

// Splits every address from start to end (as 32-bit numbers) whose last byte is 1 to 254 into disjoint blocks that
// WalkScanRange covers exactly, at most max(maxParts, kMinScanParts) of them, in ascending order, the largest
// block as small as that count allows. Empty when start is above end or no such address lies between.
std::vector<ScanRange> DivideRange(const IpAddress& start, const IpAddress& end, int maxParts);

} // namespace lanwick
