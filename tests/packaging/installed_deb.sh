#!/usr/bin/env bash
# On a fresh Debian 12 root (scripts/fresh-debian-test.sh), as root: installs the package with apt, checks that a
# user without any privilege pings a host of the namespace LAN with the installed lanwick-cli and that the desktop
# knows Lanwick, then purges it and checks that the user's files are still there.
#   fresh-debian-test.sh --root DIR -- bash tests/packaging/installed_deb.sh PATH/lanwick_*.deb
set -euo pipefail
deb=$(realpath "$1")
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive

start=$SECONDS
apt-get update -qq
apt-get install -y -qq "$deb"
echo "installed_deb.sh: apt-get install took $((SECONDS - start)) s"
getcap /usr/bin/lanwick /usr/bin/lanwick-cli
# The LAN fixture needs ip and ping; the package does not.
apt-get install -y -qq --no-install-recommends iproute2 iputils-ping procps >/dev/null

id lanwick-tester >/dev/null 2>&1 || useradd --create-home lanwick-tester
# The test user's own files, which a purge must leave alone.
runuser -u lanwick-tester -- sh -c 'mkdir -p ~/.config/lanwick && echo "[Monitor]" > ~/.config/lanwick/Lanwick.ini'

# Inside the LAN's monitor namespace, as the user: only the file capability can open the ICMP socket there
# (a new namespace's ping_group_range admits nobody).
bash tests/lan/with_lan.sh --hosts 2 -- sh -c '
    sysctl -n net.ipv4.ping_group_range
    host=$(cut -f2 "$LANWICK_LAN_FILE" | head -n1)
    setpriv --reuid=lanwick-tester --regid=lanwick-tester --init-groups --reset-env \
        /usr/bin/lanwick-cli ping "$host"'
echo "installed_deb.sh: lanwick-cli ping as lanwick-tester: passed"

grep -q '^Exec=lanwick$' /usr/share/applications/lanwick.desktop
ls /usr/share/icons/hicolor/48x48/apps/lanwick.png /usr/share/metainfo/org.example.lanwick.metainfo.xml >/dev/null
echo "installed_deb.sh: lanwick.desktop is among the desktop entries"

apt-get purge -y -qq lanwick
[ ! -e /usr/bin/lanwick-cli ] && [ -f /home/lanwick-tester/.config/lanwick/Lanwick.ini ]
echo "installed_deb.sh: purged; the user's settings are still there"
