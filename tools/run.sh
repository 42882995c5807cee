#!/usr/bin/env bash
# Installs what is needed, builds Vexil and starts it.
#
# usage: tools/run.sh [--fresh | --no-demo]
#
# By default Vexil starts as a demo: on a private news server on 127.0.0.1 with sample
# picture groups (tools/demo-server.sh), with its own program folder and settings under
# build/demo/, so that pressing Go shows pictures arriving. The server stops when Vexil
# exits. Pictures and the Smart Download memory stay from one demo run to the next;
# --fresh starts the demo over with neither.
#
# --no-demo starts Vexil on your own settings and news server instead (as build/app/vexil
# does); VEXIL_HOME and VEXIL_REGISTRY, when set, choose its program folder and settings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

demo=yes fresh=
for arg in "$@"; do
    case $arg in
        --no-demo) demo=no ;;
        --fresh) fresh=--fresh ;;
        -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: tools/run.sh [--fresh | --no-demo]" >&2; exit 2 ;;
    esac
done
[ "$demo" = yes ] || [ -z "$fresh" ] || { echo "run.sh: --fresh is for the demo" >&2; exit 2; }

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)"

[ "$demo" = yes ] || exec build/app/vexil

demo_dir=$root/build/demo
trap 'bash tools/demo-server.sh stop "$demo_dir"' EXIT
# A signal still stops the server: the trap above runs on the way out.
trap 'exit 130' INT TERM HUP
server=$(bash tools/demo-server.sh start "$demo_dir" build $fresh)
cat << EOF
Vexil demo: news server $server (private INN, stops when Vexil exits)
  program folder $demo_dir/home (pictures in TEMP/), settings $demo_dir/registry.sqlite3
  Press Go to fetch the pictures of the chosen group. Go again fetches only what is new:
  Setup, Smart Download, Reset (or tools/run.sh --fresh) fetches everything again.
EOF
VEXIL_HOME=$demo_dir/home VEXIL_REGISTRY=$demo_dir/registry.sqlite3 build/app/vexil
