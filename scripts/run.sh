#!/usr/bin/env bash
# Builds Lanwick and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target lanwick
exec build/src/ui/lanwick "$@"
