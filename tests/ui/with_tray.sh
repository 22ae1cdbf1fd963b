#!/usr/bin/env bash
# Runs one command on a virtual display laid out like a desktop: a window manager (openbox), so that windows get
# frames and are placed, iconified and restored as a user sees it, and a notification area (trayer) at the bottom
# left. Every process it starts is ended by PID when the command ends.
#
#   with_tray.sh COMMAND [ARGS...]
#
# The command sees DISPLAY and QT_QPA_PLATFORM=xcb. Exit status: the command's; 77 (skipped) when a tool is
# missing, unless LANWICK_REQUIRE_LAN=1 (CI) makes that a failure.
set -u
missing=()
for tool in Xvfb openbox trayer xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ]; then
        echo "with_tray.sh: ${missing[*]} required (bash scripts/deps.sh installs them)" >&2
        exit 1
    fi
    echo "with_tray.sh: no ${missing[*]}: skipped" >&2
    exit 77
fi

pids=()
log=$(mktemp)
# Last started, first ended: the command, then the tray, the window manager and the display.
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null; done
    rm -f "$log"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "with_tray.sh: $*" >&2
    exit 1
}

# A display number nobody holds; parallel runs pick different ones.
display=""
for _ in $(seq 20); do
    n=$((200 + RANDOM % 500))
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || fail "no free display number"
# -noreset: the checks below connect and leave, and a server that resets when its last client leaves turns the
# next one away while it does.
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
export DISPLAY=$display QT_QPA_PLATFORM=xcb
display_up() { xprop -root >/dev/null 2>&1; }
for _ in $(seq 50); do
    display_up && break
    sleep 0.1
done
display_up || fail "Xvfb did not start on $display"

openbox --sm-disable >"$log" 2>&1 &
pids+=($!)
# The window manager is up once it names its check window on the root window.
wm=0
for _ in $(seq 50); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
        wm=1
        break
    fi
    sleep 0.1
done
[ "$wm" = 1 ] || { cat "$log" >&2; fail "openbox did not start"; }

trayer --edge bottom --align left --widthtype pixel --width 80 --height 24 >/dev/null 2>&1 &
pids+=($!)
tray=0
for _ in $(seq 50); do
    if xdotool search --class trayer >/dev/null 2>&1; then
        tray=1
        break
    fi
    sleep 0.1
done
[ "$tray" = 1 ] || fail "trayer did not start"
# trayer takes the notification area's selection just after its window appears.
sleep 0.5

# In the background so that a stop signal reaches the traps at once rather than after the command.
"$@" &
pids+=($!)
wait "${pids[-1]}"
rc=$?
exit $rc
