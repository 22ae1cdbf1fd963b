#!/usr/bin/env bash
# Builds Lanwick and starts it: installs what is missing (as root, or through sudo), builds, gives the built
# programs the right to ping (cap_net_raw), and starts the window as the user who ran sudo, never as root.
#
#   sudo bash scripts/run.sh [ARGS...]     ARGS go to the window program
#
# Started by root itself (no SUDO_USER) it builds but does not start the window, and says how to start it as a
# user; LANWICK_RUN_AS_ROOT=1 starts it as root anyway. Without a graphical display it builds only lanwick-cli and
# shows the terminal equivalents. Exit status: the window's; 1 when the window was not started.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "run.sh: '$*' needs root: run this script as root or through sudo" >&2
        exit 1
    fi
}

# cap_net_raw on a built program; a file system that cannot hold it leaves the program without (it says so).
give_ping_right() {
    local program
    for program in "$@"; do
        if ! as_root setcap cap_net_raw+ep "$program"; then
            echo "run.sh: setcap failed on $program: it can ping only as root, or where" \
                "net.ipv4.ping_group_range includes its user's group" >&2
        fi
    done
}

cli=build/src/cli/lanwick-cli
window=build/src/ui/lanwick

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
    echo "run.sh: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set): the window cannot start" \
        "here, so only lanwick-cli is built"
fi

if [ "$(id -u)" = 0 ]; then
    bash scripts/deps.sh
elif ! bash scripts/deps.sh 2>/dev/null; then
    as_root bash scripts/deps.sh
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "$headless" = 1 ]; then
    cmake --build build --target lanwick-cli
    give_ping_right "$cli"
    echo "run.sh: the window was not started (no display). The same engine in this terminal:"
    printf '    %-52s %s\n' "$cli ping HOST..." "who answers, and how fast" \
        "$cli monitor [FILE] --refresh 60" "the window's monitoring, notifications as lines" \
        "$cli scan START END --names" "the machines of an address range" \
        "$cli --help" "every command"
    exit 1
fi

cmake --build build --target lanwick lanwick-cli
give_ping_right "$window" "$cli"

if [ "$(id -u)" != 0 ]; then
    exec "$window" "$@"
fi
if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    # The window runs as the user who asked for it: their settings folder, their display, no root in a GUI.
    if ! runuser -u "$SUDO_USER" -- test -x "$window"; then
        echo "run.sh: $SUDO_USER cannot run $PWD/$window (a folder on the way is closed to them):" \
            "put the repository where $SUDO_USER can read it" >&2
        exit 1
    fi
    exec runuser -u "$SUDO_USER" -- "$window" "$@"
fi
if [ "${LANWICK_RUN_AS_ROOT:-0}" = 1 ]; then
    exec "$window" "$@"
fi
cat >&2 <<EOF
run.sh: built, but the window is not started as root: a desktop program should not run with root's rights, and
it needs none to ping now that it has the capability. Start it as a user instead:
    $PWD/$window
or start this script with sudo from that user's session (sudo bash scripts/run.sh), or force it as root with
    LANWICK_RUN_AS_ROOT=1 bash scripts/run.sh
EOF
exit 1
