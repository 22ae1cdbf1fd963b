#!/usr/bin/env bash
# The History page as a user meets it: the real lanwick program inside the namespace LAN on a virtual desktop,
# its history database filled beforehand with weeks of passes over the LAN's hosts (history_fill) and monitoring
# on, so that live passes add to it. Opens the properties of the second machine by a double click on its row,
# goes to the History page with Ctrl+Tab, and leaves screenshots of the 24-hour and the 7-day span in OUTDIR.
#
#   with_lan.sh --hosts 4 -- bash e2e_history.sh LANWICK_BINARY HISTORY_FILL_BINARY OUTDIR
#
# Exit status: 0 when the sheet appeared and its History page painted the average line in both spans, 1 otherwise,
# 77 without the desktop's tools.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${LANWICK_E2E_DESKTOP:-}" ]; then
    [ -n "${LANWICK_LAN_FILE:-}" ] || { echo "e2e_history.sh: run it inside tests/lan/with_lan.sh" >&2; exit 2; }
    if ! command -v import >/dev/null || ! command -v convert >/dev/null; then
        [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ] && { echo "e2e_history.sh: ImageMagick is required" >&2; exit 1; }
        echo "e2e_history.sh: no ImageMagick: skipped" >&2
        exit 77
    fi
    LANWICK_E2E_DESKTOP=1 exec bash "$here/with_tray.sh" bash "$0" "$@"
fi

program=$(realpath "$1")
fill=$(realpath "$2")
out=$(realpath -m "$3")
mkdir -p "$out"
app=$(mktemp -d)
lanwick_pid=""
cleanup() {
    [ -n "$lanwick_pid" ] && kill "$lanwick_pid" 2>/dev/null
    rm -rf "$app"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

cp "$program" "$app/lanwick"
printf '[General]\r\nShowPingTime=1\r\n[Monitor]\r\nEnabled=1\r\nRefresh=10\r\n[History]\r\nFile=history.db\r\n' \
    >"$app/Lanwick.ini"
{
    printf '<?xml version="1.0"?>\r\n <Machines>\r\n  <Count mach="%d">\r\n  </Count>\r\n' "$(wc -l <"$LANWICK_LAN_FILE")"
    printf '  <Group name="Servers">\r\n'
    i=0
    while IFS=$'\t' read -r _ addr mac name; do
        i=$((i + 1))
        [ -n "$name" ] || name="station-$i"
        printf '   <MAC Address="%s">\r\n    <IPAddress>%s</IPAddress>\r\n    <Name>%s</Name>\r\n' "${mac//:/}" "$addr" \
            "${name%%.*}"
        printf '    <Notify>No</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n    <Excluded>No</Excluded>\r\n'
        printf '   </MAC>\r\n'
    done <"$LANWICK_LAN_FILE"
    printf '  </Group>\r\n </Machines>\r\n'
} >"$app/machines.xml"
"$fill" "$app/history.db" "$LANWICK_LAN_FILE" 30 10 || exit 1

"$app/lanwick" >"$app/stdout" 2>"$app/stderr" &
lanwick_pid=$!

find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
wait_window() {
    local w=""
    for _ in $(seq 100); do
        w=$(find_window "$1")
        [ -n "$w" ] && break
        sleep 0.1
    done
    echo "$w"
}
value() { xwininfo -id "$1" | sed -n "s/^ *$2: *\(-\{0,1\}[0-9]*\).*/\1/p"; }

win=$(wait_window '^Lanwick v0\.5$')
[ -n "$win" ] || { echo "FAIL: no main window"; sed 's/^/    lanwick: /' "$app/stderr"; exit 1; }
sleep 2
# The middle of the second row of the list: the list starts 22 dialog units (36 px) into the client area, below
# the menu bar (the window's height less the 341 px of the client area), its rows of 15 px below a header of 16.
x=$(value "$win" "Absolute upper-left X")
y=$(value "$win" "Absolute upper-left Y")
h=$(value "$win" "Height")
row_y=$((y + h - 341 + 36 + 16 + 15 + 7))
import -window root "$out/history-main.png"
xdotool mousemove $((x + 60)) "$row_y" click --repeat 2 --delay 80 1
sheet=$(wait_window '^Machine properties\.\.\.$')
[ -n "$sheet" ] || { echo "FAIL: no properties sheet"; import -window root "$out/history-nosheet.png"; exit 1; }
sleep 0.5
xdotool key --window "$sheet" ctrl+Tab ctrl+Tab
sleep 2
import -window root "$out/history-24h.png"
# The span selector, 132 x 82 px into the sheet's client area: a click opens it, Down and Return pick "7 days".
sx=$(value "$sheet" "Absolute upper-left X")
sy=$(value "$sheet" "Absolute upper-left Y")
xdotool mousemove $((sx + 132)) $((sy + 82)) click 1
sleep 0.5
xdotool key Down Return
sleep 2
import -window root "$out/history-7d.png"
# The sheet with its frame alone, as the README shows it.
read -r left right top bottom < <(xprop -id "$sheet" _NET_FRAME_EXTENTS |
    sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1 \2 \3 \4/p')
sw=$(value "$sheet" "Width")
sh=$(value "$sheet" "Height")
convert "$out/history-7d.png" -crop "$((sw + left + right))x$((sh + top + bottom))+$((sx - left))+$((sy - top))" +repage \
    "$out/history-page.png"
# The plot's average line is painted in both spans, and the span change painted the page anew.
failures=0
line_pixels() {
    convert "$1" -fuzz 8% -fill white +opaque "rgb(20,90,200)" -fill black -opaque "rgb(20,90,200)" \
        -format "%[fx:round(w*h*(1-mean))]" info:
}
for shot in history-24h history-7d; do
    n=$(line_pixels "$out/$shot.png")
    if [ "$n" -gt 100 ]; then echo "ok: $shot: $n pixels of the average line"; else
        echo "FAIL: $shot: $n pixels of the average line"
        failures=$((failures + 1))
    fi
done
changed=$(compare -metric AE "$out/history-24h.png" "$out/history-7d.png" null: 2>&1 || true)
if [ "${changed%% *}" -gt 1000 ] 2>/dev/null; then echo "ok: the 7-day span repainted $changed pixels"; else
    echo "FAIL: the span change repainted ${changed} pixels"
    failures=$((failures + 1))
fi
echo "screenshots in $out"
[ "$failures" = 0 ]
