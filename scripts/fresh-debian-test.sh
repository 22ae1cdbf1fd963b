#!/usr/bin/env bash
# Runs a command of this repository on a fresh Debian 12 machine: a minbase root made by debootstrap, entered with
# chroot. By default the README's test command; the root is kept for the next run (remove it to start afresh).
#
#   fresh-debian-test.sh [--root DIR] [--new] [-- COMMAND...]     (default COMMAND: bash scripts/test.sh)
#
# Needs root and debootstrap (scripts/deps.sh installs it). The mirror is the first Debian one of this machine's
# apt sources. The repository (its files as they are in the work tree) is copied to /src/lanwick in the root, whose
# build folders are kept from run to run; the command runs there as root, with LANWICK_* and CI passed through.
# Not part of .ci/run: it takes long.
set -euo pipefail
cd "$(dirname "$0")/.."

root=/var/tmp/lanwick-fresh-root
fresh=0
while [ $# -gt 0 ]; do
    case "$1" in
    --root) root="$2"; shift 2 ;;
    --new) fresh=1; shift ;;
    --) shift; break ;;
    *) echo "fresh-debian-test.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || set -- bash scripts/test.sh
[ "$(id -u)" = 0 ] || { echo "fresh-debian-test.sh: needs root (debootstrap, mounts, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "fresh-debian-test.sh: needs debootstrap" >&2; exit 1; }

# The first Debian mirror of the apt sources, in either format.
mirror=$(sed -n 's/^URIs:[[:space:]]*\(http[^[:space:]]*debian\)\/\?$/\1/p' /etc/apt/sources.list.d/*.sources \
    2>/dev/null | head -n1)
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
    mirror=$(awk '$1 == "deb" && $2 ~ /debian\/?$/ { print $2; exit }' /etc/apt/sources.list)
fi
mirror=${mirror:-http://deb.debian.org/debian}

mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$fresh" = 1 ]; then
    # Only ever a root this script made: it carries the marker.
    [ ! -e "$root/.lanwick-fresh-root" ] || rm -rf --one-file-system "$root"
fi
if [ ! -e "$root/.lanwick-fresh-root" ]; then
    [ ! -e "$root" ] || { echo "fresh-debian-test.sh: $root exists and is not ours" >&2; exit 1; }
    start=$SECONDS
    debootstrap --variant=minbase bookworm "$root" "$mirror"
    # The same suites as this machine (updates, security), so that package versions match; they replace the one
    # line debootstrap wrote.
    rm -f "$root/etc/apt/sources.list"
    cp -a /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
    [ ! -f /etc/apt/sources.list ] || cp /etc/apt/sources.list "$root/etc/apt/sources.list"
    touch "$root/.lanwick-fresh-root"
    echo "fresh-debian-test.sh: debootstrap took $((SECONDS - start)) s"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The Debian installer writes /etc/hosts and debootstrap does not; the test LAN binds its own names over it.
[ -e "$root/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"

# "ip netns exec" remounts / as a slave: inside the root, / has to be a mount point.
mount --bind "$root" "$root" && mounts+=("$root")
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sys "$root/sys" && mounts+=("$root/sys")
mount --bind /dev "$root/dev" && mounts+=("$root/dev")
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" && mounts+=("$root/dev/pts")
mount -t tmpfs tmpfs "$root/run" && mounts+=("$root/run")
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm" && mounts+=("$root/dev/shm")

# The copy is renewed, its build folders kept (remove them, or use --new, for a build from nothing).
mkdir -p "$root/src/lanwick"
find "$root/src/lanwick" -mindepth 1 -maxdepth 1 ! -name 'build*' -exec rm -rf {} +
git ls-files -z --cached --others --exclude-standard | tar -cf - --null -T - | tar -xf - -C "$root/src/lanwick"

pass=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb)
for v in $(env | sed -n 's/^\(LANWICK_[A-Z_]*\|CI\)=.*/\1/p'); do pass+=("$v=${!v}"); done
start=$SECONDS
set +e
chroot "$root" /usr/bin/env -i "${pass[@]}" /bin/bash -c 'cd /src/lanwick && exec "$@"' bash "$@"
status=$?
set -e
echo "fresh-debian-test.sh: '$*' ended with status $status after $((SECONDS - start)) s"
exit "$status"
