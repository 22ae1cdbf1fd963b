#!/usr/bin/env bash
# Builds a throw-away LAN of network namespaces, runs one command inside its monitor namespace, and removes
# everything it made, whatever the command does.
#
#   with_lan.sh [--hosts N] [--spare N] [--prefix 24|23] [--routed N] -- COMMAND [ARGS...]
#
# The LAN: a bridge in the root namespace (no address there, so the root namespace has no route into it), a
# monitor namespace at 198.18.0.1/24 and N host namespaces at 198.18.0.10 upwards, each with a fixed MAC of a
# known vendor prefix. The kernel of each host answers ping and ARP. Only 198.18.0.0/15 is used.
# /etc/netns/<monitor>/hosts names every other host (the rest have no name), and its resolv.conf points at the
# monitor's own loopback, so a lookup never leaves the LAN.
#
# --prefix 23 makes the segment 198.18.0.0/23 (monitor at 198.18.0.1/23) and deals the hosts out to both halves in
# turn: 198.18.0.10, 198.18.1.10, 198.18.0.11, ... (up to 400 hosts).
# --spare N adds N more hosts after those, made like them but with their link down: a test brings one up to have
# a device appear on the LAN (they are listed in LANWICK_LAN_SPARE_FILE, not in LANWICK_LAN_FILE).
# --routed N adds a router at 198.18.0.254 (forwarding, on the bridge) and a far namespace behind it on its own
# link (198.19.255.252/30). The far kernel answers echo for the first N host addresses of 198.19.0.0/16 (last
# number 1..254, from 198.19.0.1 up: 198.19.0.1..254, 198.19.1.1..254, ...); the router drops every other address
# of 198.19.0.0/16 without a word. The monitor reaches 198.19.0.0/16 through the router.
#
# The command sees LANWICK_LAN_FILE: a tab-separated file with one line per host: namespace, address, MAC
# (colon form, upper case), name (empty when the hosts file has none). Also LANWICK_LAN_MONITOR (monitor
# namespace), LANWICK_LAN_SPARE_FILE (the spare hosts, in the same form), LANWICK_LAN_ID (prefix of every name this run made), LANWICK_LAN_DIR (a scratch folder),
# LANWICK_LAN_PREFIX (24 or 23) and, with --routed, LANWICK_LAN_ROUTER and LANWICK_LAN_FAR (namespaces),
# LANWICK_LAN_GATEWAY (198.18.0.254) and LANWICK_LAN_ROUTED_LIVE (N).
#
# Exit status: the command's; 77 (skipped) when not root, unless LANWICK_REQUIRE_LAN=1 makes that a failure.
set -u

hosts=40
spare=0
prefix=24
routed=""
while [ $# -gt 0 ]; do
    case "$1" in
    --hosts) hosts="$2"; shift 2 ;;
    --spare) spare="$2"; shift 2 ;;
    --prefix) prefix="$2"; shift 2 ;;
    --routed) routed="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "with_lan.sh: no command" >&2; exit 2; }
case "$prefix" in
24) halves=1 ;;
23) halves=2 ;;
*) echo "with_lan.sh: --prefix must be 24 or 23" >&2; exit 2 ;;
esac
# Hosts stay at .10 to .209 of each half, so that .250 and below down to .210 stay silent for tests.
max_hosts=$((200 * halves))
if ! [[ "$hosts" =~ ^[0-9]+$ ]] || [ "$hosts" -lt 1 ] || [ "$hosts" -gt "$max_hosts" ]; then
    echo "with_lan.sh: --hosts must be 1..$max_hosts" >&2
    exit 2
fi
if ! [[ "$spare" =~ ^[0-9]+$ ]] || [ $((hosts + spare)) -gt "$max_hosts" ]; then
    echo "with_lan.sh: --spare must be 0..$((max_hosts - hosts))" >&2
    exit 2
fi
# 255 blocks of 254 host addresses: 198.19.0.x to 198.19.254.x; 198.19.255.0/24 holds the router's far link.
if [ -n "$routed" ] && { ! [[ "$routed" =~ ^[0-9]+$ ]] || [ "$routed" -lt 1 ] || [ "$routed" -gt 64770 ]; }; then
    echo "with_lan.sh: --routed must be 1..64770" >&2
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

# Names unique per run so that parallel runs never collide; interface names stay within 15 characters (the id
# is at most 10, a bridge port adds v and up to 3 digits).
id="lw$(printf '%x' "$$")$(printf '%02x' $((RANDOM % 256)))"
mon="${id}m"
bridge="${id}br"
router="${id}r"
far="${id}f"
dir=$(mktemp -d "/tmp/${id}.XXXXXX") || { echo "with_lan.sh: cannot make a scratch folder in /tmp" >&2; exit 1; }
made_ns=()
made_links=()

cleanup() {
    local ns pid link target ino
    # Whatever a test left running inside the LAN is ended by PID: a process is ours when its network namespace
    # is one of ours (what "ip netns pids" checks, in one pass over /proc instead of one per namespace).
    local -A ours=()
    while read -r ino; do
        ours["net:[$ino]"]=1
    done < <(cd /var/run/netns 2>/dev/null && stat -L -c %i "${made_ns[@]}" 2>/dev/null)
    if [ ${#ours[@]} -gt 0 ]; then
        while read -r pid target; do
            [ -n "$target" ] && [ -n "${ours[$target]:-}" ] && kill -KILL "${pid#/proc/}" 2>/dev/null
        done < <(find /proc/[0-9]*/ns -maxdepth 1 -name net -printf '%h %l\n' 2>/dev/null | sed 's|/ns | |')
    fi
    # Links first and explicitly: a namespace's own teardown frees them only later, in the background. The
    # router's far link lives in the router and far namespaces only and goes with them.
    for link in "${made_links[@]}"; do echo "link delete $link"; done >"$dir/down.batch"
    for ns in "${made_ns[@]}"; do echo "netns delete $ns"; done >>"$dir/down.batch"
    ip -force -batch "$dir/down.batch" >/dev/null 2>&1
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

# One ip process per step for the whole LAN instead of several per namespace: a hundred namespaces then come up
# in seconds. Every name is recorded before the batch runs, so that a batch failing half-way is still cleaned up.
up_batch="$dir/up.batch"
: >"$up_batch"
ns_addr=()

# add_ns NAME ADDRESS MAC INDEX: one namespace on the bridge with eth0 at ADDRESS/prefix.
add_ns() {
    local ns=$1 addr=$2 mac=$3 idx=$4
    made_ns+=("$ns")
    made_links+=("${id}v$idx")
    ns_addr+=("$ns $addr")
    {
        echo "netns add $ns"
        echo "link add ${id}v$idx type veth peer name eth0 address $mac netns $ns"
        echo "link set ${id}v$idx master $bridge up"
    } >>"$up_batch"
}

add_ns "$mon" 198.18.0.1 02:00:5E:12:00:01 0

# Vendor prefixes with well-known owners, so that tests can check the vendor column.
prefixes=(00:00:0C 00:A0:C9 08:00:20 00:1B:21)
lanfile="$dir/lan.tsv"
sparefile="$dir/spare.tsv"
: >"$lanfile"
: >"$sparefile"
spare_ns=()
mkdir -p "/etc/netns/$mon"
{
    echo "127.0.0.1 localhost"
    echo "198.18.0.1 monitor.lanwick.test monitor"
} >"/etc/netns/$mon/hosts"
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$mon/resolv.conf"

host_addrs=()
for ((i = 0; i < hosts + spare; i++)); do
    half=$((i % halves))
    n=$((i / halves)) # the host's place within its half
    last=$((10 + n))
    offset=$((256 * half + last))
    addr="198.18.$half.$last"
    printf -v mac '%s:%02X:%02X:%02X' "${prefixes[$((n % 4))]}" 0x12 "$half" "$last"
    ns="${id}h$offset"
    add_ns "$ns" "$addr" "$mac" "$offset"
    name=""
    if [ $((n % 2)) = 0 ]; then
        name="host$offset.lanwick.test"
        echo "$addr $name host$offset" >>"/etc/netns/$mon/hosts"
    fi
    if [ "$i" -ge "$hosts" ]; then
        spare_ns+=("$ns")
        printf '%s\t%s\t%s\t%s\n' "$ns" "$addr" "$mac" "$name" >>"$sparefile"
        continue
    fi
    host_addrs+=("$addr")
    printf '%s\t%s\t%s\t%s\n' "$ns" "$addr" "$mac" "$name" >>"$lanfile"
done
if [ -n "$routed" ]; then
    add_ns "$router" 198.18.0.254 02:00:5E:12:00:FE rt
    made_ns+=("$far")
    echo "netns add $far" >>"$up_batch"
fi

ip -batch "$up_batch" || fail "cannot build the LAN (ip -batch $up_batch failed)"
for entry in "${ns_addr[@]}"; do
    read -r ns addr <<<"$entry"
    printf 'addr add %s/%s dev eth0\nlink set lo up\nlink set eth0 up\n' "$addr" "$prefix" |
        ip -n "$ns" -batch - || fail "cannot set up $ns"
done
for ns in "${spare_ns[@]}"; do
    ip -n "$ns" link set eth0 down || fail "cannot take $ns down"
done

if [ -n "$routed" ]; then
    # Raised inside the router and the far namespace, where the limits are per namespace: the global ICMP
    # budget (1000 a second by default) would otherwise cap a sweep of thousands of far addresses.
    for ns in "$router" "$far"; do
        ip netns exec "$ns" sysctl -q -w net.ipv4.icmp_msgs_per_sec=1000000 net.ipv4.icmp_msgs_burst=100000 \
            >/dev/null || fail "cannot set the ICMP limits in $ns"
    done
    ip netns exec "$router" sysctl -q -w net.ipv4.ip_forward=1 >/dev/null || fail "cannot turn on forwarding"
    {
        echo "link add eth1 type veth peer name eth0 netns $far"
        echo "addr add 198.19.255.253/30 dev eth1"
        echo "link set eth1 up"
        # A blackhole route drops in silence, where an unreachable one would answer with ICMP errors.
        echo "route add blackhole 198.19.0.0/16"
    } >"$dir/router.batch"
    {
        echo "addr add 198.19.255.254/30 dev eth0"
        echo "link set lo up"
        echo "link set eth0 up"
        echo "route add default via 198.19.255.253"
    } >"$dir/far.batch"
    # Whole blocks of 254 as one local route each (the far kernel then answers for every address of the block),
    # the rest one address at a time; the router forwards exactly those to the far namespace.
    blocks=$((routed / 254))
    for ((b = 0; b < blocks; b++)); do
        echo "route add local 198.19.$b.0/24 dev lo" >>"$dir/far.batch"
        echo "route add 198.19.$b.0/24 via 198.19.255.254" >>"$dir/router.batch"
    done
    for ((k = 1; k <= routed % 254; k++)); do
        echo "route add local 198.19.$blocks.$k/32 dev lo" >>"$dir/far.batch"
        echo "route add 198.19.$blocks.$k/32 via 198.19.255.254" >>"$dir/router.batch"
    done
    ip -n "$router" -batch "$dir/router.batch" || fail "cannot set up the router"
    ip -n "$far" -batch "$dir/far.batch" || fail "cannot set up the far namespace"
    ip -n "$mon" route add 198.19.0.0/16 via 198.18.0.254 || fail "cannot route the monitor to 198.19.0.0/16"
fi

# Wait (bounded) until the first and last host (and the first and last routed address) answer from the monitor,
# so tests start on a settled LAN.
probes=("${host_addrs[0]}" "${host_addrs[$((hosts - 1))]}")
if [ -n "$routed" ]; then
    probes+=(198.19.0.1 "198.19.$(((routed - 1) / 254)).$(((routed - 1) % 254 + 1))")
fi
ok=0
for ((t = 0; t < 50; t++)); do
    ok=1
    for addr in "${probes[@]}"; do
        ip netns exec "$mon" ping -c1 -W1 -q "$addr" >/dev/null 2>&1 || { ok=0; break; }
    done
    [ "$ok" = 1 ] && break
    sleep 0.1
done
[ "$ok" = 1 ] || fail "the LAN did not come up"
# Those pings filled the monitor's neighbour table; tests of MAC lookup start from an empty one.
ip -n "$mon" neigh flush all 2>/dev/null

export LANWICK_LAN_FILE="$lanfile" LANWICK_LAN_MONITOR="$mon" LANWICK_LAN_ID="$id" LANWICK_LAN_DIR="$dir"
export LANWICK_LAN_PREFIX="$prefix" LANWICK_LAN_SPARE_FILE="$sparefile"
if [ -n "$routed" ]; then
    export LANWICK_LAN_ROUTER="$router" LANWICK_LAN_FAR="$far" LANWICK_LAN_GATEWAY=198.18.0.254
    export LANWICK_LAN_ROUTED_LIVE="$routed"
fi
ip netns exec "$mon" "$@"
rc=$?
exit $rc
