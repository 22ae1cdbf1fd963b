#!/usr/bin/env bash
# Runs lanwick-cli beside fping and nmap on the three test LANs (a /24 with 40 live addresses, a /23 with 100, and
# 10,000 addresses behind a router of which 4,000 answer) and prints one table of every scenario at the end.
#
#   scripts/bench.sh [BUILD_DIR] [RUNS]        (as root; BUILD_DIR defaults to build, RUNS to 5)
#
# The scenarios behind the router run RUNS/2 times (at least once): a run there takes up to minutes, and a tool
# whose run took over 90 s runs once. Lanwick's default scan behind the router is left out unless BENCH_FULL=1
# while that default is 10 scan workers (about a second per address there, some 17 minutes a run).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
bench="$build/bench/bench_cli"
[ -x "$bench" ] || { echo "bench.sh: $bench is missing: build first (ninja -C $build bench_cli lanwick-cli)" >&2; exit 2; }
for peer in fping nmap; do
    command -v "$peer" >/dev/null || { echo "bench.sh: $peer is missing: bash scripts/deps.sh installs it" >&2; exit 2; }
done
cli=$(realpath "$build/src/cli/lanwick-cli")
# The rows of every LAN gather in a file that has no name from the start: opened on descriptor 3, then unlinked.
rows=$(mktemp)
exec 3<>"$rows"
rm -f "$rows"
rows=/dev/fd/3

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
bash tests/lan/with_lan.sh --hosts 39 -- "$bench" --cli "$cli" --runs "$runs" --rows "$rows"
bash tests/lan/with_lan.sh --prefix 23 --hosts 99 -- "$bench" --cli "$cli" --runs "$runs" --rows "$rows"
slow=--skip-slow
[ "${BENCH_FULL:-0}" = 1 ] && slow=
bash tests/lan/with_lan.sh --hosts 1 --routed 4000 -- "$bench" --cli "$cli" --runs $(((runs + 1) / 2)) --rows "$rows" $slow
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "All scenarios (x Lanwick: median over the first Lanwick row's median; found: live addresses reported, of"
echo "those that answer; extra: reported but not live; RTT: largest difference from a single-host probe)"
"$bench" --header
cat "$rows"
