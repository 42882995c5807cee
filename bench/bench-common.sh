# shellcheck shell=bash
# Helpers shared by the benchmark scripts; sourced, never run. Sets `root`, the source tree.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# require_tools TOOL...: exits 1 when a tool the script runs is not installed.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool is missing (tools/install-deps.sh)" >&2; exit 1; }
    done
}

# read_target_factor: sets `factor` from VEXIL_BENCH_TARGET_FACTOR (default 1); exits 2 when it
# is not a positive number.
read_target_factor() {
    factor=${VEXIL_BENCH_TARGET_FACTOR:-1}
    awk -v f="$factor" 'BEGIN { exit !(f + 0 > 0) }' ||
        { echo "VEXIL_BENCH_TARGET_FACTOR must be a positive number, not \"$factor\"" >&2; exit 2; }
}

# make_server_work NAME: sets `work` to a fresh folder /tmp/NAME.XXXXXX that the news server's
# own user can read, and on exit stops the latency proxy (`proxy_pid`, once started) and the
# private INN in $work/inn, then removes the folder.
make_server_work() {
    work=$(mktemp -d "/tmp/$1.XXXXXX")
    chmod 755 "$work"
    proxy_pid=
    trap stop_servers EXIT
}

stop_servers() {
    [ -z "$proxy_pid" ] || kill "$proxy_pid" 2>/dev/null || true
    bash "$root/tools/inn/stop-inn" "$work/inn" >/dev/null 2>&1 || true
    rm -rf "$work"
}

# check_pictures FOLDER ORIGINALS NAME...: compares each named picture in FOLDER with the one
# of that name in ORIGINALS; prints "EXACT WRONG MISSING".
check_pictures() {
    local folder=$1 originals=$2 exact=0 wrong=0 missing=0 name
    shift 2
    for name in "$@"; do
        if [ ! -f "$folder/$name" ]; then
            missing=$((missing + 1))
        elif cmp -s "$folder/$name" "$originals/$name"; then
            exact=$((exact + 1))
        else
            wrong=$((wrong + 1))
        fi
    done
    echo "$exact $wrong $missing"
}
