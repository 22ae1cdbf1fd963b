#!/usr/bin/env bash
# The window program started where no display can be opened: no DISPLAY at all, a DISPLAY nobody serves, a
# Wayland socket that is not there. Each time it must end with status 1 and one line on stderr that names the
# missing display and lanwick-cli, with nothing of Qt's own start-up text and nothing on stdout.
#
#   without_display.sh LANWICK_BINARY
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A display number that no X server holds, so that "cannot be reached" is certain.
unused=""
for n in 9999 9998 9997 9996 9995; do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        unused=":$n"
        break
    fi
done
[ -n "$unused" ] || { echo "without_display.sh: no unused display number" >&2; exit 1; }

failures=0
# check NAME ENV-ARGS...: runs the program under env with those arguments.
check() {
    local name=$1
    shift
    # The working folder holds nothing the program could mistake for its own; the time limit stops a program
    # that opened a window after all.
    (cd "$work" && timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" \
        >"$work/out" 2>"$work/err")
    local rc=$? problems=()
    [ "$rc" = 1 ] || problems+=("exit status $rc, not 1")
    [ ! -s "$work/out" ] || problems+=("wrote to stdout")
    local lines
    lines=$(wc -l <"$work/err")
    [ "$lines" = 1 ] || problems+=("$lines lines on stderr, not 1")
    grep -q "lanwick-cli" "$work/err" || problems+=("no word of lanwick-cli")
    grep -qi "display" "$work/err" || problems+=("no word of the display")
    ! grep -qiE "qt\.qpa|platform plugin|failed to start|Aborted" "$work/err" || problems+=("Qt's own text")
    if [ ${#problems[@]} -gt 0 ]; then
        echo "FAIL $name: $(IFS=';'; echo "${problems[*]}")"
        sed 's/^/    stderr: /' "$work/err"
        failures=$((failures + 1))
    else
        echo "PASS $name: $(cat "$work/err")"
    fi
}

check "no display set"
check "unreachable X display" DISPLAY="$unused"
check "missing Wayland socket" WAYLAND_DISPLAY=lanwick-test-absent-wayland
check "X platform asked for, no display" QT_QPA_PLATFORM=xcb

[ "$failures" = 0 ]
