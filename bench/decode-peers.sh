#!/usr/bin/env bash
# Decodes one generated corpus of news articles with vexil-decode, uudeview and munpack in
# the same run, checks every tool's files against the originals and prints MB/s and ratios.
# The corpus: ARTICLES articles (default 200), each one real JPEG of 50 KB to 2 MB made by
# tools/make-articles.py from noise (so that it does not compress), smaller ones more often,
# half of them uuencoded by sharutils and half MIME base64 by mpack, in the form a news
# server sends them (CR LF, dot-stuffed, final "." line): about 180 MB of article text.
# Every tenth picture gets trailing bytes after its end marker so that its last uuencoded
# line is 14 bytes long and starts with "." (a line the server dot-stuffs).
#   vexil-decode and uudeview decode the whole corpus; munpack reads only MIME, so it is fed
#   only the MIME half, and vexil-decode is timed again on that half for its ratio.
# Every tool runs as a whole process, three times, each run with fresh output and a private,
# emptied TMPDIR (munpack keeps the parts it has seen there). A run that exits non-zero or is
# killed by a signal is reported as crashed and its time is not used. Ratios and Vexil's
# MB/s are taken on the CPU time (user + system) of the best runs, which other work on a
# shared machine does not inflate; the wall-time figures are shown beside them.
# Targets: vexil-decode at least 400 MB/s, at least 6 times uudeview and at least 2 times
# munpack; every file vexil-decode writes is exact; its peak memory (maximum resident set)
# at most the largest article plus the largest picture plus 20 MB. Exits non-zero when a
# target is missed, a file of Vexil's is wrong, or a tool crashed on every run (then its
# ratio cannot be checked).
# usage: bench/decode-peers.sh [BUILD_DIR]   (default: build; ARTICLES=n;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies every target; VEXIL_CORPUS=DIR keeps the
#        generated pictures in DIR and reuses them on the next run)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
vexil="$build/tools/vexil-decode"
[ -x "$vexil" ] || { echo "no $vexil: build it first" >&2; exit 1; }
require_tools uuencode mpack uudeview munpack /usr/bin/time /usr/bin/python3
count=${ARTICLES:-200}
read_target_factor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/articles"

# Server form: CR LF line ends, a leading dot doubled, the closing "." line.
server_form() {
    sed -e 's/\r$//' -e 's/^\./../' -e 's/$/\r/' "$1"
    printf '.\r\n'
}

corpus=${VEXIL_CORPUS:-$work/corpus}
if [ "$(find "$corpus/originals" -name 'corpus-*.jpg' 2>/dev/null | wc -l)" -ne "$count" ]; then
    echo "== making $count pictures in $corpus"
    rm -rf "$corpus"
    /usr/bin/python3 "$root/tools/make-articles.py" "$corpus" "originals:$count" --seed 1996
fi
echo "== making $count articles"
all=() mime=() mime_pictures=()
for ((i = 0; i < count; i++)); do
    name=$(printf 'corpus-%04d.jpg' "$i")
    cp "$corpus/originals/$name" "$work/pictures/$name"
    if (( i % 10 == 0 )); then
        size=$(stat -c %s "$work/pictures/$name")
        truncate -s $(( size - size % 45 + 45 + 14 )) "$work/pictures/$name"
    fi
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
# the runs that did not crash ("" when every run crashed) and peak[LABEL] to their largest
# resident set in KB, and leaves the files of the last good run in $work/out-LABEL.
declare -A wall cpu crashed peak
run_tool() {
    local label=$1; shift
    wall[$label]="" cpu[$label]="" crashed[$label]=0 peak[$label]=0
    local run
    for run in 1 2 3; do
        local out="$work/run-$label" tmp="$work/tmp-$label" times="$work/time-$label"
        rm -rf "$out" "$tmp"; mkdir -p "$out" "$tmp"
        local args=("${@//@OUT/$out}")
        local status=0
        TMPDIR="$tmp" /usr/bin/time -f '%e %U %S %M' -o "$times" "${args[@]}" \
            >/dev/null 2>"$work/stderr-$label" || status=$?
        if [ "$status" -ne 0 ]; then
            crashed[$label]=$((${crashed[$label]} + 1))
            local how="exit status $status"
            [ "$status" -gt 128 ] && how="killed by signal $((status - 128))"
            echo "$label run $run CRASHED ($how): $(tail -n 1 "$work/stderr-$label")"
            continue
        fi
        read -r w u s m < <(tail -n 1 "$times")
        if (( m > ${peak[$label]} )); then peak[$label]=$m; fi
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
    local label=$1 counts; shift
    counts=$(check_pictures "$work/out-$label" "$work/pictures" "$@")
    echo "${counts%% *}"
}
all_pictures=()
for p in "$work"/pictures/*; do all_pictures+=("$(basename "$p")"); done

largest() { stat -c %s "$@" | sort -n | tail -n 1; }
largest_article=$(largest "${all[@]}")
largest_picture=$(largest "$work"/pictures/*)

echo "== results (best of 3 runs, whole processes; MB/s on wall and on CPU time, ratios on CPU time)"
awk -v total="$total" -v peakv="${peak[vexil]}" -v peakvm="${peak[vexil-mime]}" \
    -v article="$largest_article" -v picture="$largest_picture" -v mime_total="$mime_total" -v count="$count" -v half="${#mime[@]}" \
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
        printf "%-22s %7.1f MB/s wall %7.1f MB/s CPU  %6.2f s wall  %6.2f s CPU  %d of %d files exact%s\n",
               name, bytes / 1048576 / w, bytes / 1048576 / (t > 0 ? t : 0.01), w, t, good, files,
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
    failed = ratio("vexil / uudeview", tv, tu, wv, wu, 6)
    failed += ratio("vexil / munpack on the MIME half", tvm, tm, wvm, wm, 2)
    if (tv != "") {
        speed = total / 1048576 / (tv > 0 ? tv : 0.01)
        printf "vexil-decode speed: %.1f MB/s on CPU time (target >= %.1f)%s\n", speed,
               400 * f, speed < 400 * f ? "  MISSED" : ""
        failed += speed < 400 * f
    }
    # The whole article and its picture may be in memory at once, besides the program.
    limit = (article + picture) / 1048576 + 20
    peakMB = (peakv > peakvm ? peakv : peakvm) / 1024
    printf "vexil-decode peak memory: %.1f MB (target <= %.1f MB: largest article %.1f MB + " \
           "largest picture %.1f MB + 20 MB)%s\n", peakMB, limit, article / 1048576,
           picture / 1048576, (peakMB > limit ? "  MISSED" : "")
    failed += (peakMB > limit)
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
