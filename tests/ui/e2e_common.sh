# shellcheck shell=bash
# What the desktop tests of the real program share; sourced by e2e_*.sh, which run inside tests/lan/with_lan.sh.
# The first call re-runs the calling script on a virtual desktop (with_tray.sh); the rest sets up the program
# beside its settings and a machine file of the LAN's hosts, and the window-system helpers the checks use.

# e2e_enter_desktop ARGS...: re-runs "$0" with ARGS on the desktop unless already there. Exits 77 without
# ImageMagick (1 when the LAN is required, as in CI).
e2e_enter_desktop() {
    local name
    name=$(basename "$0")
    [ -n "${LANWICK_E2E_DESKTOP:-}" ] && return 0
    [ -n "${LANWICK_LAN_FILE:-}" ] || { echo "$name: run it inside tests/lan/with_lan.sh" >&2; exit 2; }
    if ! command -v import >/dev/null || ! command -v convert >/dev/null; then
        [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ] && { echo "$name: ImageMagick is required" >&2; exit 1; }
        echo "$name: no ImageMagick: skipped" >&2
        exit 77
    fi
    LANWICK_E2E_DESKTOP=1 exec bash "$(dirname "$0")/with_tray.sh" bash "$0" "$@"
}

# e2e_app PROGRAM INI_TEXT: a private folder $app with the program, its settings and a machine file of the
# LAN's hosts in one group; removed, and the program ended, when the script exits.
e2e_app() {
    app=$(mktemp -d)
    lanwick_pid=""
    trap '[ -n "$lanwick_pid" ] && kill "$lanwick_pid" 2>/dev/null; rm -rf "$app"' EXIT
    trap 'exit 143' INT TERM
    cp "$1" "$app/lanwick"
    printf '%b' "$2" >"$app/Lanwick.ini"
    local i=0 _ addr mac name
    {
        printf '<?xml version="1.0"?>\r\n <Machines>\r\n  <Count mach="%d">\r\n  </Count>\r\n' "$(wc -l <"$LANWICK_LAN_FILE")"
        printf '  <Group name="Servers">\r\n'
        while IFS=$'\t' read -r _ addr mac name; do
            i=$((i + 1))
            [ -n "$name" ] || name="station-$i"
            printf '   <MAC Address="%s">\r\n    <IPAddress>%s</IPAddress>\r\n    <Name>%s</Name>\r\n' "${mac//:/}" \
                "$addr" "${name%%.*}"
            printf '    <Notify>No</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n    <Excluded>No</Excluded>\r\n'
            printf '   </MAC>\r\n'
        done <"$LANWICK_LAN_FILE"
        printf '  </Group>\r\n </Machines>\r\n'
    } >"$app/machines.xml"
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# wait_window TITLE_REGEX: the first visible window of that title, waited for up to 10 s ("" if none, or if the
# program ended meanwhile).
wait_window() {
    local w=""
    for _ in $(seq 100); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        [ -n "$w" ] && break
        [ -n "$lanwick_pid" ] && ! kill -0 "$lanwick_pid" 2>/dev/null && break
        sleep 0.1
    done
    echo "$w"
}

# e2e_main_window: starts the program and sets $win to its main window, framed by the window manager; exits with
# the program's stderr when no window appears.
e2e_main_window() {
    "$app/lanwick" >"$app/stdout" 2>"$app/stderr" &
    lanwick_pid=$!
    win=$(wait_window '^Lanwick v0\.5$')
    if [ -z "$win" ]; then
        echo "FAIL: no window \"Lanwick v0.5\" appeared"
        sed 's/^/    lanwick: /' "$app/stderr"
        exit 1
    fi
    for _ in $(seq 50); do
        xprop -id "$win" _NET_FRAME_EXTENTS 2>/dev/null | grep -q "= " && break
        sleep 0.1
    done
    sleep 1
}

# value LABEL [WINDOW]: a number that xwininfo prints after LABEL for WINDOW (default $win).
value() { xwininfo -id "${2:-$win}" | sed -n "s/^ *$1: *\(-\{0,1\}[0-9]*\).*/\1/p"; }

shot() { import -window root "$out/$1.png"; }
