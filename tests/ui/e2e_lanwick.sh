#!/usr/bin/env bash
# The real lanwick program as a user meets it: inside the namespace LAN (tests/lan/with_lan.sh) with a machine
# file of the LAN's hosts, on a virtual desktop with a window manager and a tray (tests/ui/with_tray.sh). Checks
# through the window system that the main window is mapped at the template's size plus its menu bar, opens File,
# Edit and Help by clicking their titles (found in a screenshot of the bar), checks that each menu pops up below
# its title with something drawn in it, opens About from the Help menu, and leaves screenshots in OUTDIR.
#
#   with_lan.sh --hosts 4 -- bash e2e_lanwick.sh LANWICK_BINARY OUTDIR
#
# Exit status: 0 when every check passed, 1 otherwise, 77 when the desktop's tools are missing (see with_tray.sh).
set -u
. "$(dirname "$0")/e2e_common.sh"
e2e_enter_desktop "$@"

out=$(realpath -m "$2")
mkdir -p "$out"
# Monitoring off, so that the window shows the first list fill and nothing moves behind the checks.
e2e_app "$(realpath "$1")" '[General]\r\nShowPingTime=1\r\n[Monitor]\r\nEnabled=0\r\nRefresh=60\r\n'
e2e_main_window

# The client area: dialog template 102, 266 x 210 dialog units at the fixed base units 6 x 13 (the dialog units'
# own conversion, controls/DialogUnits.h), with the menu bar above it.
template_w=$(((266 * 6 + 2) / 4))
template_h=$(((210 * 13 + 4) / 8))
x=$(value "Absolute upper-left X")
y=$(value "Absolute upper-left Y")
w=$(value "Width")
h=$(value "Height")
menu_h=$((h - template_h))
echo "window $win: ${w}x${h} at $x,$y; template ${template_w}x${template_h}, so the menu bar is $menu_h px"
if xwininfo -id "$win" | grep -q "Map State: IsViewable"; then pass "the main window is mapped"; else fail "the main window is not viewable"; fi
if [ "$w" = "$template_w" ]; then pass "width $w is the template's"; else fail "width $w, the template's is $template_w"; fi
# One row of menu titles in the dialog font: at least 15 px, and not two rows.
if [ "$menu_h" -ge 15 ] && [ "$menu_h" -le 40 ]; then
    pass "a menu bar of $menu_h px above the client area"
else
    fail "height $h leaves $menu_h px for the menu bar above the ${template_h} px client area"
fi
shot e2e-main-window

# The menu titles where the screenshot shows ink along the bar: runs of darker columns, apart by more than 4 px.
titles=""
[ "$menu_h" -ge 8 ] && titles=$(convert "$out/e2e-main-window.png" -crop "${w}x$((menu_h - 4))+$x+$((y + 2))" +repage -colorspace gray \
    -negate -scale "${w}x1!" txt:- | sed -n 's/^\([0-9]*\),0: (\([0-9]*\).*/\1 \2/p' |
    awk '$2 > 30 { if (start < 0 || $1 > last + 4) { if (start >= 0) print start, last; start = $1 } last = $1 }
         BEGIN { start = -1 } END { if (start >= 0) print start, last }')
count=$(printf '%s\n' "$titles" | grep -c .)
if [ "$count" = 3 ]; then pass "three titles drawn in the menu bar"; else fail "$count titles drawn in the menu bar, not 3"; fi

visible_windows() { xdotool search --onlyvisible --class lanwick 2>/dev/null | sort; }

n=0
for menu in File Edit Help; do
    n=$((n + 1))
    read -r left right <<<"$(printf '%s\n' "$titles" | sed -n "${n}p")"
    [ -n "${left:-}" ] || break
    before=$(visible_windows)
    cx=$((x + (left + right) / 2))
    cy=$((y + menu_h / 2))
    xdotool mousemove "$cx" "$cy" click 1
    popup=""
    for _ in $(seq 30); do
        popup=$(comm -13 <(printf '%s\n' "$before") <(visible_windows) | head -n1)
        [ -n "$popup" ] && break
        sleep 0.1
    done
    sleep 0.3
    shot "e2e-menu-$menu"
    if [ -z "$popup" ]; then
        fail "$menu: a click on its title at $cx,$cy opened no popup"
        continue
    fi
    px=$(value "Absolute upper-left X" "$popup")
    py=$(value "Absolute upper-left Y" "$popup")
    pw=$(value Width "$popup")
    ph=$(value Height "$popup")
    # Below the bar, under its title; and something drawn in it (a blank popup has one colour throughout).
    if [ $((py - (y + menu_h))) -ge -2 ] && [ $((py - (y + menu_h))) -le 2 ] && [ "$px" -le $((x + left)) ] &&
        [ "$px" -ge $((x + left - 20)) ]; then
        pass "$menu: popup ${pw}x${ph} at $px,$py, below its title"
    else
        fail "$menu: popup ${pw}x${ph} at $px,$py, not below its title at $((x + left)),$((y + menu_h))"
    fi
    spread=$(convert "$out/e2e-menu-$menu.png" -crop "${pw}x${ph}+$px+$py" +repage -colorspace gray \
        -format '%[fx:int(1000*standard_deviation)]' info:)
    if [ "$spread" -gt 20 ]; then pass "$menu: its items are drawn"; else fail "$menu: the popup looks blank"; fi

    if [ "$menu" = Help ]; then
        # Its first item, About: a box whose title the window manager can show whole.
        xdotool mousemove $((px + pw / 3)) $((py + 10)) click 1
        about=$(wait_window '^About Lanwick$')
        sleep 0.5
        shot e2e-about
        if [ -n "$about" ]; then
            pass "Help > About opened \"About Lanwick\", $(value Width "$about") px wide"
            xdotool key Escape
        else
            fail "Help > About opened no box"
        fi
    else
        xdotool key Escape
    fi
    for _ in $(seq 30); do
        visible_windows | grep -qx "$popup" || break
        sleep 0.1
    done
    sleep 0.2
done

if kill -0 "$lanwick_pid" 2>/dev/null; then pass "lanwick still runs"; else fail "lanwick ended"; fi
echo "screenshots in $out"
[ "$failures" = 0 ]
