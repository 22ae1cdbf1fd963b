#!/usr/bin/env bash
# The one list of Debian packages that building, running and testing Lanwick need; installs the missing ones.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config             # build
    qt6-base-dev qt6-multimedia-dev              # the window program and its sound
    libgtest-dev                                 # unit tests
    libsqlite3-dev                               # the history database
    clang libclang-rt-14-dev clang-format        # fuzzing, format check
    iproute2 iputils-ping                        # the namespace LAN of the network tests
    samba-common-bin samba                       # remote shutdown: net as the client, smbd as the test server
    fonts-liberation2 fontconfig                 # an Arial-metric face for the dialogs, and its index
    xvfb xauth x11-apps imagemagick trayer       # screenshots under a virtual display, with a tray
    openbox xdotool x11-utils                    # window tests: a window manager, clicks, window geometry
    fping nmap                                   # benchmark peers: scripts/bench.sh runs them beside lanwick-cli
    libcap2-bin                                  # setcap: pings without root
    dpkg-dev file lintian                        # the Debian package: cpack's shlibdeps, its check
    desktop-file-utils appstream systemd acl     # checks of the desktop entry, metainfo and service unit
    prometheus prometheus-node-exporter curl     # promtool for the alert rules; the textfile collector, scraped
    debootstrap                                  # scripts/fresh-debian-test.sh: a fresh Debian root
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "Missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
