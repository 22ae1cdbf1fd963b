#!/usr/bin/env bash
# Runs one command on a virtual display that has a notification area (Xvfb + trayer), then ends both by PID.
# Exit status: the command's; 77 (skipped) when Xvfb or trayer is missing, unless LANWICK_REQUIRE_LAN=1 (CI).
set -u
if ! command -v Xvfb >/dev/null || ! command -v trayer >/dev/null; then
    [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ] && { echo "with_tray.sh: Xvfb and trayer are required" >&2; exit 1; }
    echo "with_tray.sh: no Xvfb or trayer: skipped" >&2
    exit 77
fi
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; }
trap cleanup EXIT
display=:$((200 + RANDOM % 500))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
DISPLAY=$display trayer --edge bottom --align left --widthtype pixel --width 80 --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb "$@"
