#!/usr/bin/env bash
# systemd-analyze verify on the service unit, offline: verify needs ExecStart's program to exist, so a copy of the
# unit in a temporary folder runs the built lanwick-cli instead of /usr/bin/lanwick-cli. Manual pages are not
# looked up (--man=no): the package's own check covers them.
#   check_unit.sh UNIT LANWICK_CLI
set -euo pipefail
unit=$1
cli=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed "s#/usr/bin/lanwick-cli #$cli #" "$unit" >"$dir/$(basename "$unit")"
grep -q "^ExecStart=$cli monitor " "$dir/$(basename "$unit")" || { echo "check_unit.sh: no ExecStart to rewrite" >&2; exit 1; }
# The unit's hardening is part of what it promises: check that it is still there.
for line in DynamicUser=yes AmbientCapabilities=CAP_NET_RAW CapabilityBoundingSet=CAP_NET_RAW ProtectSystem=strict \
    PrivateTmp=yes ReadWritePaths=/var/lib/prometheus/node-exporter StateDirectory=lanwick-monitor; do
    grep -qx "$line" "$unit" || { echo "check_unit.sh: $line missing" >&2; exit 1; }
done
SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no "$dir/$(basename "$unit")"
