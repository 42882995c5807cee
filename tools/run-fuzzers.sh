#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time from its committed seeds.
# usage: tools/run-fuzzers.sh BUILD_DIR [SECONDS_EACH]
# A crash, a leak, a sanitizer report or a time-out fails the run; the input that caused it
# is left in BUILD_DIR/fuzz-artifacts/ (copy it into fuzz/regressions/<target>/ once fixed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-30}
list="$build/fuzzers.txt"
[ -s "$list" ] || { echo "no fuzz targets listed in $list"; exit 0; }

artifacts="$build/fuzz-artifacts"
work="$build/fuzz-work"
mkdir -p "$artifacts"
rm -rf "$work"
mkdir -p "$work"

run_one() {
    local name=$1 exe=$2
    local corpus="$work/$name"
    mkdir -p "$corpus"
    local seeds=()
    for d in "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
        [ -d "$d" ] && seeds+=("$d")
    done
    local dict=()
    [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
    if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "${dict[@]}" \
        "$corpus" "${seeds[@]}" >"$work/$name.log" 2>&1; then
        echo "fuzz $name: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$') runs)"
    else
        echo "fuzz $name: FAILED"
        tail -n 60 "$work/$name.log"
        return 1
    fi
}
export -f run_one
export root work artifacts seconds

# Two at a time: the machines this runs on have two cores.
if ! xargs -P 2 -L 1 bash -c 'run_one "$0" "$1"' <"$list"; then
    echo "fuzzing found a fault"
    exit 1
fi
echo "fuzzing: all $(wc -l <"$list") targets clean for ${seconds}s each"
