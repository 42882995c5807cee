#!/usr/bin/env bash
# Installs what is needed, builds Vexil and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

# The command-line tools that exist so far show how they are used.
for tool in build/tools/vexil-*; do
    [ -x "$tool" ] || continue
    echo "== $(basename "$tool")"
    "$tool" --help || true
done
