#!/usr/bin/env bash
# Builds a throw-away LAN of network namespaces, runs one command inside its monitor namespace, and removes
# everything it made, whatever the command does.
#
#   with_lan.sh [--hosts N] -- COMMAND [ARGS...]
#
# The LAN: a bridge in the root namespace (no address there, so the root namespace has no route into it), a
# monitor namespace at 198.18.0.1/24 and N host namespaces at 198.18.0.10 upwards, each with a fixed MAC of a
# known vendor prefix. The kernel of each host answers ping and ARP. Only 198.18.0.0/24 is used.
# /etc/netns/<monitor>/hosts names every other host (the rest have no name), and its resolv.conf points at the
# monitor's own loopback, so a lookup never leaves the LAN.
#
# The command sees LANWICK_LAN_FILE: a tab-separated file with one line per host: namespace, address, MAC
# (colon form, upper case), name (empty when the hosts file has none). Also LANWICK_LAN_MONITOR (monitor
# namespace), LANWICK_LAN_ID (prefix of every name this run made) and LANWICK_LAN_DIR (a scratch folder).
#
# Exit status: the command's; 77 (skipped) when not root, unless LANWICK_REQUIRE_LAN=1 makes that a failure.
set -u

hosts=40
while [ $# -gt 0 ]; do
    case "$1" in
    --hosts) hosts="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "with_lan.sh: no command" >&2; exit 2; }
if [ "$hosts" -lt 1 ] || [ "$hosts" -gt 200 ]; then
    echo "with_lan.sh: --hosts must be 1..200" >&2
    exit 2
fi

if [ "$(id -u)" != 0 ] || ! command -v ip >/dev/null; then
    if [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ]; then
        echo "with_lan.sh: the namespace LAN needs root and iproute2, and this run requires it" >&2
        exit 1
    fi
    echo "with_lan.sh: not root (or no iproute2): LAN test skipped" >&2
    exit 77
fi

# Names unique per run so that parallel runs never collide; interface names stay within 15 characters.
id="lw$(printf '%x' "$$")$(printf '%02x' $((RANDOM % 256)))"
mon="${id}m"
bridge="${id}br"
dir=$(mktemp -d "/tmp/${id}.XXXXXX")
made_ns=()
made_links=()

cleanup() {
    local ns pid link
    for ns in "${made_ns[@]}"; do
        # Whatever a test left running inside the LAN is ended by PID.
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    done
    # Links first and explicitly: a namespace's own teardown frees them only later, in the background.
    for link in "${made_links[@]}"; do ip link delete "$link" 2>/dev/null; done
    for ns in "${made_ns[@]}"; do ip netns delete "$ns" 2>/dev/null; done
    ip link delete "$bridge" 2>/dev/null
    rm -rf "/etc/netns/$mon" "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "with_lan.sh: $*" >&2
    exit 1
}

ip link add "$bridge" type bridge || fail "cannot create bridge $bridge"
ip link set "$bridge" up || fail "cannot bring up $bridge"

# add_ns NAME ADDRESS MAC: one namespace on the bridge with eth0 at ADDRESS/24.
add_ns() {
    local ns=$1 addr=$2 mac=$3 idx=$4
    ip netns add "$ns" || fail "cannot create namespace $ns"
    made_ns+=("$ns")
    ip link add "${id}v$idx" type veth peer name "${id}p$idx" || fail "cannot create veth for $ns"
    made_links+=("${id}v$idx")
    ip link set "${id}p$idx" netns "$ns" || fail "cannot move veth into $ns"
    ip link set "${id}v$idx" master "$bridge" up || fail "cannot attach veth of $ns"
    ip -n "$ns" link set "${id}p$idx" name eth0 || fail "cannot rename veth in $ns"
    ip -n "$ns" link set eth0 address "$mac" || fail "cannot set MAC in $ns"
    ip -n "$ns" addr add "$addr/24" dev eth0 || fail "cannot address $ns"
    ip -n "$ns" link set lo up
    ip -n "$ns" link set eth0 up || fail "cannot bring up eth0 in $ns"
}

add_ns "$mon" 198.18.0.1 02:00:5E:12:00:01 0

# Vendor prefixes with well-known owners, so that tests can check the vendor column.
prefixes=(00:00:0C 00:A0:C9 08:00:20 00:1B:21)
lanfile="$dir/lan.tsv"
: >"$lanfile"
mkdir -p "/etc/netns/$mon"
{
    echo "127.0.0.1 localhost"
    echo "198.18.0.1 monitor.lanwick.test monitor"
} >"/etc/netns/$mon/hosts"
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$mon/resolv.conf"

for ((i = 0; i < hosts; i++)); do
    last=$((10 + i))
    addr="198.18.0.$last"
    mac=$(printf '%s:%02X:%02X:%02X' "${prefixes[$((i % 4))]}" 0x12 0x00 "$last")
    ns="${id}h$last"
    add_ns "$ns" "$addr" "$mac" "$last"
    name=""
    if [ $((i % 2)) = 0 ]; then
        name="host$last.lanwick.test"
        echo "$addr $name host$last" >>"/etc/netns/$mon/hosts"
    fi
    printf '%s\t%s\t%s\t%s\n' "$ns" "$addr" "$mac" "$name" >>"$lanfile"
done

# Wait (bounded) until the first and last host answer from the monitor, so tests start on a settled LAN.
last_addr="198.18.0.$((9 + hosts))"
ok=0
for ((t = 0; t < 50; t++)); do
    if ip netns exec "$mon" ping -c1 -W1 -q 198.18.0.10 >/dev/null 2>&1 &&
        ip netns exec "$mon" ping -c1 -W1 -q "$last_addr" >/dev/null 2>&1; then
        ok=1
        break
    fi
    sleep 0.1
done
[ "$ok" = 1 ] || fail "the LAN did not come up"
# Those pings filled the monitor's neighbour table; tests of MAC lookup start from an empty one.
ip -n "$mon" neigh flush all 2>/dev/null

export LANWICK_LAN_FILE="$lanfile" LANWICK_LAN_MONITOR="$mon" LANWICK_LAN_ID="$id" LANWICK_LAN_DIR="$dir"
ip netns exec "$mon" "$@"
rc=$?
exit $rc
