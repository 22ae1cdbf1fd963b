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
. "$(dirname "$0")/e2e_common.sh"
e2e_enter_desktop "$@"

fill=$(realpath "$2")
out=$(realpath -m "$3")
mkdir -p "$out"
e2e_app "$(realpath "$1")" '[General]\r\nShowPingTime=1\r\n[Monitor]\r\nEnabled=1\r\nRefresh=10\r\n[History]\r\nFile=history.db\r\n'
"$fill" "$app/history.db" "$LANWICK_LAN_FILE" 30 10 || exit 1
e2e_main_window
sleep 1
# The middle of the second row of the list: the list starts 22 dialog units (36 px) into the client area, below
# the menu bar (the window's height less the 341 px of the client area), its rows of 15 px below a header of 16.
x=$(value "Absolute upper-left X")
y=$(value "Absolute upper-left Y")
h=$(value "Height")
row_y=$((y + h - 341 + 36 + 16 + 15 + 7))
shot history-main
xdotool mousemove $((x + 60)) "$row_y" click --repeat 2 --delay 80 1
sheet=$(wait_window '^Machine properties\.\.\.$')
[ -n "$sheet" ] || { echo "FAIL: no properties sheet"; shot history-nosheet; exit 1; }
sleep 0.5
xdotool key --window "$sheet" ctrl+Tab ctrl+Tab
sleep 2
shot history-24h
# The span selector, 132 x 82 px into the sheet's client area: a click opens it, Down and Return pick "7 days".
sx=$(value "Absolute upper-left X" "$sheet")
sy=$(value "Absolute upper-left Y" "$sheet")
xdotool mousemove $((sx + 132)) $((sy + 82)) click 1
sleep 0.5
xdotool key Down Return
sleep 2
shot history-7d
# The sheet with its frame alone, as the README shows it.
read -r left right top bottom < <(xprop -id "$sheet" _NET_FRAME_EXTENTS |
    sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1 \2 \3 \4/p')
sw=$(value Width "$sheet")
sh=$(value Height "$sheet")
convert "$out/history-7d.png" -crop "$((sw + left + right))x$((sh + top + bottom))+$((sx - left))+$((sy - top))" +repage \
    "$out/history-page.png"
# The plot's average line is painted in both spans, and the span change painted the page anew.
line_pixels() {
    convert "$1" -fuzz 8% -fill white +opaque "rgb(20,90,200)" -fill black -opaque "rgb(20,90,200)" \
        -format "%[fx:round(w*h*(1-mean))]" info:
}
for shot in history-24h history-7d; do
    n=$(line_pixels "$out/$shot.png")
    if [ "$n" -gt 100 ]; then pass "$shot: $n pixels of the average line"; else fail "$shot: $n pixels of the average line"; fi
done
changed=$(compare -metric AE "$out/history-24h.png" "$out/history-7d.png" null: 2>&1 || true)
if [ "${changed%% *}" -gt 1000 ] 2>/dev/null; then pass "the 7-day span repainted $changed pixels"; else
    fail "the span change repainted ${changed} pixels"
fi
echo "screenshots in $out"
[ "$failures" = 0 ]
