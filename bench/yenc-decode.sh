#!/usr/bin/env bash
# vexil-decode beside Debian's python3-sabyenc on the same yEnc articles: ARTICLES (default
# 48) single-part articles of a 1 MB picture each (noise, so that nothing compresses), half
# encoded by sabyenc and half by python3-yenc, in the form a news server sends them (CR LF,
# dot-stuffed, final "." line), made by bench/yenc-decode-peer.py. The peer's job is the same
# one: a Python process that reads each article, decodes it with sabyenc (SIMD) and writes the
# file under its yEnc name.
# Each side runs as a whole process RUNS times (default 9), the two by turns, each run with
# fresh output and a private, emptied TMPDIR, timed to the microsecond by the peer script's
# "time" mode. A run that exits non-zero or is killed by a signal is reported as crashed and
# its time is not used. The ratios are taken on the best CPU time (user + system) and on the
# best wall time of the good runs.
# Target: vexil-decode at least 1.5 times as fast as the peer on both CPU and wall time, and
# every file it writes exact. Exits non-zero when a target is missed, a file of Vexil's is
# wrong, or a side crashed on every run.
# usage: bench/yenc-decode.sh [BUILD_DIR]   (default: build; ARTICLES=n; RUNS=n;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
vexil="$build/tools/vexil-decode"
peer="$root/bench/yenc-decode-peer.py"
[ -x "$vexil" ] || { echo "no $vexil: build it first" >&2; exit 1; }
/usr/bin/python3 -c 'import sabyenc3, _yenc' 2>/dev/null ||
    { echo "python3-sabyenc or python3-yenc is missing (tools/install-deps.sh)" >&2; exit 1; }
count=${ARTICLES:-48}
runs=${RUNS:-9}
read_target_factor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== making $count yEnc articles of 1 MB pictures"
/usr/bin/python3 "$peer" make "$work/corpus" "$count"
articles=("$work"/corpus/articles/*.txt)
total=$(cat "${articles[@]}" | wc -c)
# Read once before timing, so that neither side pays for the first read from disk.
cat "${articles[@]}" >/dev/null

# run_once RUN LABEL COMMAND...: runs COMMAND once; "@OUT" in it stands for a fresh output
# folder. Keeps wall[LABEL] and cpu[LABEL] at the best times of the runs that did not crash
# ("" while every run crashed) and leaves the files of the last good run in $work/out-LABEL.
declare -A wall cpu crashed
run_once() {
    local run=$1 label=$2; shift 2
    local out="$work/run-$label" tmp="$work/tmp-$label" times="$work/time-$label"
    rm -rf "$out" "$tmp"; mkdir -p "$out" "$tmp"
    local args=("${@//@OUT/$out}")
    local status=0
    TMPDIR="$tmp" /usr/bin/python3 "$peer" time "$times" "${args[@]}" \
        2>"$work/stderr-$label" || status=$?
    if [ "$status" -ne 0 ]; then
        crashed[$label]=$((${crashed[$label]} + 1))
        local how="exit status $status"
        [ "$status" -gt 128 ] && how="killed by signal $((status - 128))"
        echo "$label run $run CRASHED ($how): $(tail -n 1 "$work/stderr-$label")"
        return
    fi
    read -r w u s < <(tail -n 1 "$times")
    wall[$label]=$(awk -v t="$w" -v b="${wall[$label]}" 'BEGIN { print (b == "" || t < b ? t : b) }')
    cpu[$label]=$(awk -v t="$u" -v s="$s" -v b="${cpu[$label]}" \
        'BEGIN { t += s; print (b == "" || t < b ? t : b) }')
    rm -rf "$work/out-$label"; mv "$out" "$work/out-$label"
}

# The two sides take turns, so that a busy spell of a shared machine falls on both alike.
for label in vexil sabyenc; do wall[$label]="" cpu[$label]="" crashed[$label]=0; done
for ((run = 1; run <= runs; run++)); do
    run_once "$run" vexil "$vexil" -o @OUT "${articles[@]}"
    run_once "$run" sabyenc /usr/bin/python3 "$peer" decode @OUT "${articles[@]}"
done

# exact LABEL: how many of the pictures LABEL wrote exactly.
exact() {
    local names=("$work"/corpus/originals/*) counts
    counts=$(check_pictures "$work/out-$1" "$work/corpus/originals" "${names[@]##*/}")
    echo "${counts%% *}"
}

echo "== results (best of $runs runs, whole processes)"
awk -v total="$total" -v count="$count" -v runs="$runs" -v f="$factor" \
    -v wv="${wall[vexil]}" -v ws="${wall[sabyenc]}" -v tv="${cpu[vexil]}" -v ts="${cpu[sabyenc]}" \
    -v cv="${crashed[vexil]}" -v cs="${crashed[sabyenc]}" \
    -v ev="$(exact vexil)" -v es="$(exact sabyenc)" '
function line(name, w, t, crashes, good) {
    if (w == "")
        printf "%-24s crashed on every run                      %d of %d files exact\n",
               name, good, count
    else
        printf "%-24s %7.4f s wall  %7.4f s CPU  %7.1f MB/s CPU  %d of %d files exact%s\n",
               name, w, t, total / 1048576 / (t > 0 ? t : 0.01), good, count,
               crashes ? sprintf("  (%d of %d runs crashed, not timed)", crashes, runs) : ""
}
function ratio(what, ours, peer, target) {
    target *= f
    if (ours == "" || peer == "") {
        printf "ratio on %s time: none, a side crashed on every run (target >= %.2f)  FAILED\n",
               what, target
        return 1
    }
    if (ours <= 0) ours = 0.01
    printf "ratio on %s time: vexil-decode %.2f times as fast as sabyenc (target >= %.2f)%s\n",
           what, peer / ours, target, peer / ours < target ? "  MISSED" : ""
    return peer / ours < target
}
BEGIN {
    printf "corpus: %d single-part yEnc articles, %.1f MB of article text\n", count, total / 1048576
    line("vexil-decode", wv, tv, cv, ev)
    line("python3-sabyenc", ws, ts, cs, es)
    failed = ratio("CPU", tv, ts, 1.5)
    failed += ratio("wall", wv, ws, 1.5)
    if (ev != count) {
        print "vexil-decode got files wrong  FAILED"
        failed++
    }
    if (cv > 0) {
        print "vexil-decode crashed  FAILED"
        failed++
    }
    print failed ? "yenc-decode: FAILED" : "yenc-decode: every target met"
    exit failed != 0
}'
