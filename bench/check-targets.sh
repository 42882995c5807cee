#!/usr/bin/env bash
# Shows that each benchmark script catches a missed target: runs it on a small input with
# every target made impossible (VEXIL_BENCH_TARGET_FACTOR=1000) and expects it to print
# MISSED and exit non-zero. Prints one line per script; exits non-zero when a script passed
# an impossible target or failed without saying MISSED.
# usage: bench/check-targets.sh [BUILD_DIR] [SCRIPT...]   (default: every script)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shift || true
scripts=("$@")
[ ${#scripts[@]} -gt 0 ] || scripts=(codecs pictures decode-peers yenc-decode nntp-bench browse-bench yenc-peers modern-bench viewer-bench)

# The small inputs each script is run on.
declare -A args=(
    [codecs]=""
    [pictures]=""
    [decode-peers]=""
    [yenc-decode]=""
    [nntp-bench]="100 20"
    [browse-bench]="20 100 1"
    [yenc-peers]="10 1"
    [modern-bench]="250 10 20 50"
    [viewer-bench]="50"
)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
wrong=0
for script in "${scripts[@]}"; do
    [ -n "${args[$script]+set}" ] || { echo "no benchmark script $script" >&2; exit 2; }
    status=0
    # shellcheck disable=SC2086
    VEXIL_BENCH_TARGET_FACTOR=1000 REPETITIONS=1 ARTICLES=6 \
        bash "$root/bench/$script.sh" "$build" ${args[$script]} >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] && grep -q MISSED "$log"; then
        echo "$script: an impossible target is caught (exit status $status)"
    else
        wrong=$((wrong + 1))
        echo "$script: WRONG, exit status $status with an impossible target; its last lines:"
        tail -n 15 "$log" | sed 's/^/    /'
    fi
done
exit $((wrong != 0))
