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

# A /23 with hosts in both halves and a routed far side: an upper-half host and the first and last live far
# address answer, the address after them is dropped without an ICMP error, and a process left running in a
# host is ended with the LAN.
bash "$here/with_lan.sh" --prefix 23 --hosts 4 --routed 300 -- sh -c '
    echo "$LANWICK_LAN_ID" >'"$out"'
    [ "$LANWICK_LAN_PREFIX" = 23 ] && [ "$LANWICK_LAN_ROUTED_LIVE" = 300 ] || { echo "wrong mode variables"; exit 1; }
    grep -q "	198.18.1.11	" "$LANWICK_LAN_FILE" || { echo "no host in the upper half"; exit 1; }
    ping -c1 -W2 198.18.1.11 >/dev/null || { echo "upper-half host does not answer"; exit 1; }
    ping -c1 -W2 198.19.0.1 >/dev/null || { echo "first far address does not answer"; exit 1; }
    ping -c1 -W2 198.19.1.46 >/dev/null || { echo "last far address does not answer"; exit 1; }
    silent=$(ping -c1 -W1 198.19.1.47 2>&1)
    case "$silent" in *" 0 received"*) ;; *) echo "198.19.1.47 is not dropped silently: $silent"; exit 1 ;; esac
    case "$silent" in *nreachable*) echo "198.19.1.47 drew an ICMP error"; exit 1 ;; esac
    ip netns exec "$(tail -1 "$LANWICK_LAN_FILE" | cut -f1)" sleep 600 &
    echo $! >>'"$out"'
    exit 0
'
rc=$?
[ "$rc" = 0 ] || { echo "check of the /23 and routed LAN failed ($rc)"; exit 1; }
id=$(head -1 "$out")
left=$(tail -1 "$out")
if ip netns list | grep -q "^$id" || ip link show | grep -q "$id"; then
    echo "the /23 and routed LAN $id was not removed"
    exit 1
fi
# Killed but not yet reaped (a zombie) counts as ended: its parent, the command's shell, is gone.
if [ -n "$left" ] && [ -r "/proc/$left/stat" ] && ! grep -q ') Z ' "/proc/$left/stat"; then
    echo "a process left in the LAN (PID $left) was not ended"
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
