#!/usr/bin/env bash
# Saves pictures of the notifier popup for the README: the popup alone (popup.png) and the bottom-right corner
# of a virtual screen with the popup standing in it (popup-corner.png). Usage: screenshot-popup.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
build=${LANWICK_BUILD_DIR:-build}
mkdir -p "$out"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target qtest_TaskbarNotifier

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done

DISPLAY=$display QT_QPA_PLATFORM=xcb LANWICK_SOURCE_DIR=$PWD LANWICK_SCREENSHOT_DIR=$out \
    "$build/tests/controls/qtest_TaskbarNotifier" Screenshot_SavedWhenAsked
ls -l "$out"/popup.png "$out"/popup-corner.png
