#!/usr/bin/env bash
# Installs what is needed, builds Vexil and starts it.
# VEXIL_HOME and VEXIL_REGISTRY, when set, choose its program folder and settings store.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec build/app/vexil "$@"
