#!/usr/bin/env bash
# The LAN fixture itself: it comes up with answering hosts, confines lookups to its hosts file, and leaves
# nothing behind, also when the command inside it fails.
set -u
here=$(dirname "$0")
out=$(mktemp)
trap 'rm -f "$out"' EXIT

bash "$here/with_lan.sh" --hosts 3 -- sh -c '
    echo "$LANWICK_LAN_ID" >'"$out"'
    n=$(wc -l <"$LANWICK_LAN_FILE")
    [ "$n" = 3 ] || { echo "expected 3 hosts, got $n"; exit 1; }
    ping -c1 -W2 198.18.0.10 >/dev/null || { echo "host .10 does not answer"; exit 1; }
    ping -c1 -W2 198.18.0.12 >/dev/null || { echo "host .12 does not answer"; exit 1; }
    getent hosts 198.18.0.10 | grep -q host10.lanwick.test || { echo "no name for .10"; exit 1; }
    ip route | grep -q default && { echo "the monitor has a default route"; exit 1; }
    exit 0
'
rc=$?
[ "$rc" = 77 ] && exit 77
[ "$rc" = 0 ] || { echo "check inside the LAN failed ($rc)"; exit 1; }
id=$(cat "$out")
[ -n "$id" ] || { echo "no LAN id"; exit 1; }
if ip netns list | grep -q "^$id" || ip link show | grep -q "$id" || [ -e "/etc/netns/${id}m" ]; then
    echo "the LAN $id was not removed"
    exit 1
fi

# A failing command still gets its LAN removed.
bash "$here/with_lan.sh" --hosts 1 -- sh -c 'echo "$LANWICK_LAN_ID" >'"$out"'; exit 3'
rc=$?
[ "$rc" = 3 ] || { echo "the command's status was not passed on ($rc)"; exit 1; }
id=$(cat "$out")
if ip netns list | grep -q "^$id"; then
    echo "the LAN $id was not removed after a failure"
    exit 1
fi
echo "1 passed, 0 failed"
