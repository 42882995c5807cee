#!/usr/bin/env bash
# Decodes one generated corpus of news articles with vexil-decode, uudeview and munpack in
# the same run, checks every tool's files against the originals and prints MB/s and ratios.
# The corpus: ARTICLES articles (default 110), each one picture of 50 KB to 2 MB, half of
# them uuencoded by sharutils and half MIME base64 by mpack, in the form a news server sends
# them (CR LF, dot-stuffed, final "." line): about 100 MB of article text.
#   vexil-decode and uudeview decode the whole corpus; munpack reads only MIME, so it is fed
#   only the MIME half, and vexil-decode is timed again on that half for its ratio.
# Every tool runs as a whole process, three times, each run with fresh output and a private,
# emptied TMPDIR (munpack keeps the parts it has seen there). A run that exits non-zero or is
# killed by a signal is reported as crashed and its time is not used. Ratios are taken on
# the CPU time (user + system) of the best runs, which other work on a shared machine does
# not inflate; the wall-time ratios are shown beside them.
# Targets: vexil-decode at least 3 times uudeview and at least 1 times munpack; every file
# vexil-decode writes is exact. Exits non-zero when a target is missed, a file of Vexil's is
# wrong, or a tool crashed on every run (then its ratio cannot be checked).
# usage: bench/decode-peers.sh [BUILD_DIR]   (default: build; ARTICLES=n;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
vexil="$build/tools/vexil-decode"
[ -x "$vexil" ] || { echo "no $vexil: build it first" >&2; exit 1; }
for tool in uuencode mpack uudeview munpack /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (tools/install-deps.sh)" >&2; exit 1; }
done
count=${ARTICLES:-110}
factor=${VEXIL_BENCH_TARGET_FACTOR:-1}
awk -v f="$factor" 'BEGIN { exit !(f + 0 > 0) }' ||
    { echo "VEXIL_BENCH_TARGET_FACTOR must be a positive number, not \"$factor\"" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/articles"

# Server form: CR LF line ends, a leading dot doubled, the closing "." line.
server_form() {
    sed -e 's/\r$//' -e 's/^\./../' -e 's/$/\r/' "$1"
    printf '.\r\n'
}

echo "== making $count articles"
RANDOM=1996
all=() mime=() mime_pictures=()
for ((i = 0; i < count; i++)); do
    name=$(printf 'pic-%03d.jpg' "$i")
    # 50 KB to 2 MB, smaller ones more often (about 700 KB on average); every fifth
    # uuencoded file ends in a 14-byte line, which starts with ".".
    r=$RANDOM
    size=$(( 51200 + r * r * (2097152 - 51200) / (32768 * 32768) ))
    if (( i % 10 == 0 )); then size=$(( size - size % 45 + 14 )); fi
    head -c "$size" /dev/urandom >"$work/pictures/$name"
    raw="$work/raw.txt"
    article="$work/articles/$(printf 'article-%03d.txt' "$i")"
    if (( i % 2 == 0 )); then
        { printf 'From: poster@example.invalid\nNewsgroups: alt.binaries.pictures.test\n'
          printf 'Subject: %s (1/1)\nMessage-ID: <uu%d@example.invalid>\n\n' "$name" "$i"
          uuencode "$work/pictures/$name" "$name"; } >"$raw"
    else
        rm -f "$work/mpack.txt"
        mpack -s "$name" -o "$work/mpack.txt" "$work/pictures/$name"
        { printf 'From: poster@example.invalid\nNewsgroups: alt.binaries.pictures.test\n'
          cat "$work/mpack.txt"; } >"$raw"
        mime+=("$article")
        mime_pictures+=("$name")
    fi
    server_form "$raw" >"$article"
    all+=("$article")
done
bytes_of() { cat "$@" | wc -c; }
total=$(bytes_of "${all[@]}")
mime_total=$(bytes_of "${mime[@]}")
echo "corpus: $count articles, $((total / 1048576)) MB of article text;" \
    "MIME half: ${#mime[@]} articles, $((mime_total / 1048576)) MB"
echo "munpack reads only MIME articles: it is given only the MIME half, and vexil-decode is" \
    "timed on that half too for their ratio"

# run_tool LABEL COMMAND...: runs COMMAND three times; "@OUT" in it stands for a fresh output
# folder. Sets wall[LABEL] and cpu[LABEL] to the best wall and CPU (user + system) times of
# the runs that did not crash ("" when every run crashed) and leaves the files of the last
# good run in $work/out-LABEL.
declare -A wall cpu crashed
run_tool() {
    local label=$1; shift
    wall[$label]="" cpu[$label]="" crashed[$label]=0
    local run
    for run in 1 2 3; do
        local out="$work/run-$label" tmp="$work/tmp-$label" times="$work/time-$label"
        rm -rf "$out" "$tmp"; mkdir -p "$out" "$tmp"
        local args=("${@//@OUT/$out}")
        local status=0
        TMPDIR="$tmp" /usr/bin/time -f '%e %U %S' -o "$times" "${args[@]}" \
            >/dev/null 2>"$work/stderr-$label" || status=$?
        if [ "$status" -ne 0 ]; then
            crashed[$label]=$((${crashed[$label]} + 1))
            local how="exit status $status"
            [ "$status" -gt 128 ] && how="killed by signal $((status - 128))"
            echo "$label run $run CRASHED ($how): $(tail -n 1 "$work/stderr-$label")"
            continue
        fi
        read -r w u s < <(tail -n 1 "$times")
        wall[$label]=$(awk -v t="$w" -v b="${wall[$label]}" 'BEGIN { print (b == "" || t < b ? t : b) }')
        cpu[$label]=$(awk -v t="$u" -v s="$s" -v b="${cpu[$label]}" \
            'BEGIN { t += s; print (b == "" || t < b ? t : b) }')
        rm -rf "$work/out-$label"; mv "$out" "$work/out-$label"
    done
}

cd "$work"
run_tool vexil "$vexil" -o @OUT "${all[@]}"
run_tool uudeview uudeview -i -o -q -p @OUT/ "${all[@]}"
run_tool vexil-mime "$vexil" -o @OUT "${mime[@]}"
run_tool munpack munpack -f -q -C @OUT "${mime[@]}"

# exact LABEL NAME...: how many of the named pictures LABEL wrote exactly.
exact() {
    local label=$1 ok=0 name; shift
    for name in "$@"; do
        cmp -s "$work/pictures/$name" "$work/out-$label/$name" && ok=$((ok + 1))
    done
    echo "$ok"
}
all_pictures=()
for p in "$work"/pictures/*; do all_pictures+=("$(basename "$p")"); done

echo "== results (best of 3 runs, whole processes; MB/s on wall time, ratios on CPU time)"
awk -v total="$total" -v mime_total="$mime_total" -v count="$count" -v half="${#mime[@]}" \
    -v f="$factor" \
    -v wv="${wall[vexil]}" -v wu="${wall[uudeview]}" -v wvm="${wall[vexil-mime]}" \
    -v wm="${wall[munpack]}" \
    -v tv="${cpu[vexil]}" -v tu="${cpu[uudeview]}" -v tvm="${cpu[vexil-mime]}" \
    -v tm="${cpu[munpack]}" \
    -v cv="${crashed[vexil]}" -v cu="${crashed[uudeview]}" -v cvm="${crashed[vexil-mime]}" \
    -v cm="${crashed[munpack]}" \
    -v ev="$(exact vexil "${all_pictures[@]}")" -v eu="$(exact uudeview "${all_pictures[@]}")" \
    -v evm="$(exact vexil-mime "${mime_pictures[@]}")" \
    -v em="$(exact munpack "${mime_pictures[@]}")" '
function line(name, bytes, w, t, crashes, good, files) {
    if (w == "")
        printf "%-22s crashed on every run                       %d of %d files exact\n",
               name, good, files
    else
        printf "%-22s %7.1f MB/s  %6.2f s wall  %6.2f s CPU  %d of %d files exact%s\n", name,
               bytes / 1048576 / w, w, t, good, files,
               crashes ? sprintf("  (%d of 3 runs crashed, not timed)", crashes) : ""
}
function ratio(name, ours, peer, ourWall, peerWall, target) {
    target *= f
    if (ours == "" || peer == "") {
        printf "ratio %s: none, a tool crashed on every run (target >= %.2f)  FAILED\n",
               name, target
        return 1
    }
    if (ours <= 0) ours = 0.01
    printf "ratio %s: %.2f on CPU time (target >= %.2f)%s; %.2f on wall time\n", name,
           peer / ours, target, peer / ours < target ? "  MISSED" : "", peerWall / ourWall
    return peer / ours < target
}
BEGIN {
    line("vexil-decode", total, wv, tv, cv, ev, count)
    line("uudeview", total, wu, tu, cu, eu, count)
    line("vexil-decode MIME half", mime_total, wvm, tvm, cvm, evm, half)
    line("munpack (MIME only)", mime_total, wm, tm, cm, em, half)
    failed = ratio("vexil / uudeview", tv, tu, wv, wu, 3)
    failed += ratio("vexil / munpack on the MIME half", tvm, tm, wvm, wm, 1)
    if (ev != count || evm != half) {
        print "vexil-decode got files wrong  FAILED"
        failed++
    }
    if (cv + cvm > 0) {
        print "vexil-decode crashed  FAILED"
        failed++
    }
    print failed ? "decode-peers: FAILED" : "decode-peers: every target met"
    exit failed != 0
}'
