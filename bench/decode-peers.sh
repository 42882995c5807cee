#!/usr/bin/env bash
# Decodes one generated corpus of news articles with vexil-decode, uudeview and munpack in
# the same run, checks every tool's files against the originals and prints MB/s and ratios.
# The corpus: ARTICLES articles (default 110), each one picture of 50 KB to 2 MB, half of
# them uuencoded by sharutils and half MIME base64 by mpack, in the form a news server sends
# them (CR LF, dot-stuffed, final "." line): about 100 MB of article text.
# usage: bench/decode-peers.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
vexil="$build/tools/vexil-decode"
[ -x "$vexil" ] || { echo "no $vexil: build it first" >&2; exit 1; }
for tool in uuencode mpack uudeview munpack; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (tools/install-deps.sh)" >&2; exit 1; }
done
count=${ARTICLES:-110}

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
for ((i = 0; i < count; i++)); do
    name=$(printf 'pic-%03d.jpg' "$i")
    # 50 KB to 2 MB, smaller ones more often (about 700 KB on average); every fifth
    # uuencoded file ends in a 14-byte line, which starts with ".".
    r=$RANDOM
    size=$(( 51200 + r * r * (2097152 - 51200) / (32768 * 32768) ))
    if (( i % 10 == 0 )); then size=$(( size - size % 45 + 14 )); fi
    head -c "$size" /dev/urandom >"$work/pictures/$name"
    raw="$work/raw.txt"
    if (( i % 2 == 0 )); then
        { printf 'From: poster@example.invalid\nNewsgroups: alt.binaries.pictures.test\n'
          printf 'Subject: %s (1/1)\nMessage-ID: <uu%d@example.invalid>\n\n' "$name" "$i"
          uuencode "$work/pictures/$name" "$name"; } >"$raw"
    else
        rm -f "$work/mpack.txt"
        mpack -s "$name" -o "$work/mpack.txt" "$work/pictures/$name"
        { printf 'From: poster@example.invalid\nNewsgroups: alt.binaries.pictures.test\n'
          cat "$work/mpack.txt"; } >"$raw"
    fi
    server_form "$raw" >"$work/articles/$(printf 'article-%03d.txt' "$i")"
done
total=$(cat "$work/articles"/* | wc -c)
echo "corpus: $count articles, $((total / 1048576)) MB of article text"

# Runs a tool three times on fresh output folders; prints the best wall time in seconds.
time_tool() {
    local label=$1; shift
    local best=""
    for run in 1 2 3; do
        rm -rf "$work/out-$label"; mkdir -p "$work/out-$label"
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-999999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    done
    echo "$best"
}

cd "$work"
articles=("$work"/articles/*)
t_vexil=$(time_tool vexil "$vexil" -o "$work/out-vexil" "${articles[@]}")
t_uudeview=$(time_tool uudeview uudeview -i -o -q -p "$work/out-uudeview/" "${articles[@]}")
t_munpack=$(time_tool munpack munpack -f -q -C "$work/out-munpack" "${articles[@]}")

exact() {
    local ok=0
    for p in "$work"/pictures/*; do
        cmp -s "$p" "$work/out-$1/$(basename "$p")" && ok=$((ok + 1))
    done
    echo "$ok"
}

echo "== results (best of 3 runs, whole process, $count pictures)"
awk -v total="$total" -v count="$count" \
    -v tv="$t_vexil" -v tu="$t_uudeview" -v tm="$t_munpack" \
    -v ev="$(exact vexil)" -v eu="$(exact uudeview)" -v em="$(exact munpack)" 'BEGIN {
    mb = total / 1048576
    printf "vexil-decode %8.1f MB/s  %6.2f s  %d of %d files exact\n", mb / tv, tv, ev, count
    printf "uudeview     %8.1f MB/s  %6.2f s  %d of %d files exact\n", mb / tu, tu, eu, count
    printf "munpack      %8.1f MB/s  %6.2f s  %d of %d files exact\n", mb / tm, tm, em, count
    printf "ratio vexil / uudeview: %.2f (target >= 3)\n", tu / tv
    printf "ratio vexil / munpack:  %.2f (target >= 1)\n", tm / tv
    if (ev != count) { print "vexil-decode got files wrong"; exit 1 }
}'
