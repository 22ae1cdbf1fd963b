#!/usr/bin/env bash
# Runs inside the monitor namespace of tests/lan/with_lan.sh: Lanwick with a machine file of the LAN's hosts on a
# virtual display with a tray, and screenshots of it. Every process it starts is ended by PID.
set -euo pipefail
program=$1
out=$2
app=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$app"
}
trap cleanup EXIT

cp "$program" "$app/lanwick"
printf '[General]\r\nShowPingTime=1\r\n[Monitor]\r\nEnabled=1\r\nRefresh=10\r\n' >"$app/Lanwick.ini"
{
    n=$(wc -l <"$LANWICK_LAN_FILE")
    printf '<?xml version="1.0"?>\r\n <Machines>\r\n  <Count mach="%d">\r\n  </Count>\r\n  <Group name="Servers">\r\n' $((n + 1))
    i=0
    while IFS=$'\t' read -r ns addr mac name; do
        i=$((i + 1))
        [ -n "$name" ] || name="station-$i"
        printf '   <MAC Address="%s">\r\n    <IPAddress>%s</IPAddress>\r\n    <Name>%s</Name>\r\n' "${mac//:/}" "$addr" "${name%%.*}"
        printf '    <Notify>Yes</Notify>\r\n    <NotifyOffline>Yes</NotifyOffline>\r\n    <Excluded>%s</Excluded>\r\n   </MAC>\r\n' \
            "$([ $i = 5 ] && echo Yes || echo No)"
    done <"$LANWICK_LAN_FILE"
    printf '   <MAC Address="000000000000">\r\n    <IPAddress>198.18.0.250</IPAddress>\r\n    <Name>old-printer</Name>\r\n'
    printf '    <Notify>No</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n    <Excluded>No</Excluded>\r\n   </MAC>\r\n'
    printf '  </Group>\r\n </Machines>\r\n'
} >"$app/machines.xml"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
export DISPLAY=$display QT_QPA_PLATFORM=xcb
# A window manager, so that the pictures show the window as a desktop does, frame and title included.
openbox >/dev/null 2>&1 &
pids+=($!)
# The tray sits at the bottom left, so that the popup in the bottom right corner does not hide its icon.
trayer --edge bottom --align left --widthtype pixel --width 80 --height 24 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$app/lanwick" >/dev/null 2>&1 &
pids+=($!)
sleep 4
# Read back from the screen (not from the window's own buffer), so that popups and frames come out as drawn.
window=$(xdotool search --onlyvisible --name "Lanwick v0.5" | head -n1)
import -window "$window" -frame "$out/main-window.png"

# A watched host goes offline: the next pass (every 10 s) shows the popup above the tray.
first_ns=$(head -n1 "$LANWICK_LAN_FILE" | cut -f1)
ip -n "$first_ns" link set eth0 down
sleep 11
import -window root "$out/desktop.png"
ls -l "$out"
