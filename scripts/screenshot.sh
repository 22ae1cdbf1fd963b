#!/usr/bin/env bash
# Pictures of Lanwick for the README, taken on a virtual display while the program watches a namespace LAN of
# its own (real pings): the main window, then the popup and tray icon after a watched host goes offline.
# Usage: screenshot.sh [OUTDIR]   (as root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${LANWICK_BUILD_DIR:-build}")
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target lanwick
exec bash tests/lan/with_lan.sh --hosts 6 -- bash scripts/screenshot-inside-lan.sh "$build/src/ui/lanwick" "$out"
