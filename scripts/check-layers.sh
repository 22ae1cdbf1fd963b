#!/usr/bin/env bash
# The core (every folder of src/ but controls/ and ui/) must build without the window system: no include of the
# GUI folders or of Qt. Prints each offending line and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
core=()
for d in src/*/; do
    case "$d" in src/controls/ | src/ui/) ;; *) core+=("$d") ;; esac
done
if grep -rnE '^\s*#\s*include\s*[<"](ui/|controls/|Q[A-Za-z]+[>"]|Qt[A-Za-z]*/)' "${core[@]}"; then
    echo "check-layers: the core includes GUI code (lines above)" >&2
    exit 1
fi
echo "check-layers: ${#core[@]} core folders include no GUI code"
