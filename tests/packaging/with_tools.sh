#!/usr/bin/env bash
# Runs a packaging check when the tools it needs are installed: `with_tools.sh TOOL... -- COMMAND...`.
# A missing tool skips the test (status 77), except in CI (CI=true or LANWICK_REQUIRE_LAN=1), where
# scripts/deps.sh should have installed it and the skip would hide a gap: there it fails.
set -u
tools=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do tools+=("$1"); shift; done
shift
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        if [ "${CI:-}" = true ] || [ "${LANWICK_REQUIRE_LAN:-0}" = 1 ]; then
            echo "with_tools.sh: $tool is missing, and this run requires every packaging check" >&2
            exit 1
        fi
        echo "with_tools.sh: $tool is missing: test skipped" >&2
        exit 77
    fi
done
exec "$@"
