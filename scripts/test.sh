#!/usr/bin/env bash
# Builds and runs every test: format check, the normal build, the sanitizer builds and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

bash scripts/check-format.sh
bash scripts/check-layers.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j2

# Address and undefined-behaviour sanitizers over everything.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLANWICK_SANITIZE=address,undefined -DLANWICK_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j2

# Thread sanitizer over the core, where the scan workers and the ping engine run threads, and over the windows
# that hand work to threads of their own. Qt's libraries are not built for it: tests/tsan-qt.supp says so.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLANWICK_SANITIZE=thread -DLANWICK_GUI_TESTS=threaded \
    -DLANWICK_BENCH=OFF
cmake --build build-tsan
TSAN_OPTIONS="suppressions=$PWD/tests/tsan-qt.supp" ctest --test-dir build-tsan --output-on-failure -j2

# Every fuzz target for a bounded time: no crash, no sanitizer report, no hang.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANWICK_FUZZ=ON \
    -DLANWICK_GUI=OFF -DLANWICK_TESTS=OFF -DLANWICK_BENCH=OFF
cmake --build build-fuzz
for f in build-fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    corpus="build-fuzz/corpus-$(basename "$f")"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/$(basename "$f")"
    [ -d "$seeds" ] || seeds=""
    echo "fuzzing $(basename "$f") for ${LANWICK_FUZZ_SECONDS:-60} s"
    "$f" -max_total_time="${LANWICK_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 "$corpus" $seeds
done
echo "all tests passed"
