#!/usr/bin/env bash
# The news client over a long network path: one private INN (with TLS) holding a group of
# ARTICLES articles of which PICTURES are picture articles of about KB_EACH kilobytes
# (uuencoded and MIME base64 JPEGs by turns, spread evenly; the rest short text articles
# that the Lines filter passes over), read through tools/latency-proxy at 50 ms round trip
# (DELAY_MS each way, default 25).
#   classic:  vexil-nntp walking with HEAD and NEXT, and fetching with STAT, HEAD and
#             ARTICLE, one command after the other. Two round trips a header (three more an
#             article) make the whole group take many minutes, so the classic side reads only
#             the group's first SLICE articles; its rates do not depend on the slice's size.
#   overview: vexil-nntp walk --overview, and fetch --overview --pipeline 8 (OVER for the
#             headers, up to 8 ARTICLE requests in flight), over the whole group.
#   peer:     Python's nntplib reading the group's overview with over() and fetching one
#             article() at a time (bench/modern-peer.py), then uudeview decoding what it
#             saved, as bench/browse-bench.sh's peer does.
#   TLS:      the overview fetch on loopback without the proxy, over INN's TLS port against
#             its plain port.
# Prints seconds, articles per second, headers per second and peak memory (maximum resident
# set) of each run, and compares every picture each side writes with the original byte for
# byte. The runs through the proxy are repeated ROUNDS times (default 2; best taken), the
# classic ones run once, the short loopback ones at least five times by turns (plain, TLS),
# so that a busy spell of a shared machine does not decide their ratio. Each command has a
# private TMPDIR; one that fails or is killed is reported as crashed. Targets: the overview walk at least 100 times the classic walk's headers per
# second and the overview fetch at least 10 times the classic fetch's articles per second;
# Vexil's fetch at least 3 times as fast as the peer's fetch and decode; the TLS fetch at
# least 0.7 times as fast as the plain one. Exits non-zero when a target is missed, Vexil
# writes a picture wrongly or not at all, or a run needed for a ratio crashed.
# usage: bench/modern-bench.sh [BUILD_DIR] [ARTICLES] [PICTURES] [KB_EACH] [SLICE]
#        (defaults 5000 200 100 300; VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
articles=${2:-5000}
pictures=${3:-200}
kb=${4:-100}
slice=${5:-300}
delay=${DELAY_MS:-25}
rounds=${ROUNDS:-${REPETITIONS:-2}}
group=alt.binaries.pictures.bench
nntp="$build/tools/vexil-nntp"
proxy="$build/tools/latency-proxy"
for program in "$nntp" "$proxy"; do
    [ -x "$program" ] || { echo "build $program first (cmake --build $build --target" \
        "vexil-nntp latency-proxy)" >&2; exit 1; }
done
require_tools uudeview /usr/bin/time /usr/bin/python3
read_target_factor
(( pictures >= 2 && articles >= pictures && slice >= 1 && rounds >= 1 )) ||
    { echo "want PICTURES >= 2, ARTICLES >= PICTURES, SLICE >= 1, ROUNDS >= 1" >&2; exit 2; }

make_server_work vexil-modern-bench

# Pairs of pictures (one uuencoded, one MIME) spread evenly through the text articles.
every=$((articles / pictures))
sets=()
for ((i = 0; i < pictures / 2; i++)); do
    sets+=("text:$((2 * every - 2))" "pictures:2:$kb")
done
(( pictures % 2 == 0 )) || sets+=("text:$((every - 1))" "pictures:1:$kb")
rest=$((articles - every * pictures))
(( rest == 0 )) || sets+=("text:$rest")
echo "== generating $articles articles, $pictures of them pictures of about $kb KB"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-modern-bench "${sets[@]}"

mapfile -t server < <(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 --tls 2>/dev/null)
port=${server[0]} tls_port=${server[1]} ca_file=${server[2]}
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting to the private INN on 127.0.0.1:$port (TLS on $tls_port) in one rnews batch"
# One batch ("#! rnews BYTES" before each article) keeps the posting order, so the group
# numbers the articles as the manifest lists them.
/usr/bin/python3 - "$work/articles" >"$work/batch" <<'PY'
import os, sys
folder = sys.argv[1]
names = [line.split("\t", 1)[0] for line in open(os.path.join(folder, "manifest.tsv"),
                                                 encoding="latin-1")]
out = sys.stdout.buffer
for name in names:
    text = open(os.path.join(folder, name), "rb").read().replace(b"\r\n", b"\n")
    text = b"Path: not-for-mail\n" + text
    out.write(b"#! rnews %d\n" % len(text) + text)
PY
INNCONF="$work/inn/etc/inn.conf" timeout 600 /usr/lib/news/bin/rnews -N <"$work/batch"
rm -f "$work/batch"
stored=$(VEXIL_WINSOCK_DIR="$build/lib" "$nntp" --server "127.0.0.1:$port" list |
    awk -v g="$group" '$1 == g { print $2 }')
[ "$stored" = "$articles" ] ||
    { echo "INN stored ${stored:-no} articles of the $articles posted" >&2; exit 1; }

echo "== latency proxy: $delay ms each way"
"$proxy" --target "127.0.0.1:$port" --delay-ms "$delay" --lifetime 1800 --idle 300 \
    >"$work/proxy.port" 2>"$work/proxy.err" &
proxy_pid=$!
for _ in $(seq 100); do [ -s "$work/proxy.port" ] && break; sleep 0.05; done
slow_port=$(head -n 1 "$work/proxy.port")
[ -n "$slow_port" ] || { echo "the latency proxy did not start: $(cat "$work/proxy.err")" >&2; exit 1; }

# expected LIMIT: the pictures a fetch of the first LIMIT articles writes (0: all), by the
# Lines and subject rules the peer applies.
expected() {
    /usr/bin/python3 - "$root/bench/browse-peer.py" "$work/articles/manifest.tsv" "$1" <<'PY'
import importlib.util, sys
found = importlib.util.spec_from_file_location("browse_peer", sys.argv[1])
peer = importlib.util.module_from_spec(found)
found.loader.exec_module(peer)
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[2], encoding="latin-1")]
limit = int(sys.argv[3]) or len(rows)
for _, _, lines, subject, names in rows[:limit]:
    if peer.MIN_LINES < float(lines) < peer.MAX_LINES and not peer.later_part(subject):
        print("\n".join(n for n in names.split(",") if n != "-"))
PY
}
mapfile -t all_pictures < <(expected 0)
mapfile -t slice_pictures < <(expected "$slice")
(( ${#slice_pictures[@]} > 0 )) || { echo "the first $slice articles hold no picture" >&2; exit 1; }

# check FOLDER NAME...: prints "EXACT WRONG MISSING" for the named pictures in FOLDER.
check() {
    local folder=$1; shift
    check_pictures "$folder" "$work/articles/originals" "$@"
}

# timed RUN COMMAND...: runs COMMAND with a private TMPDIR; its output in RUN.out, its wall
# time and peak memory in RUN.time, its exit status in RUN.status. "@OUT" in COMMAND stands
# for a fresh folder RUN.dir.
timed() {
    local run=$1 status=0; shift
    rm -rf "$work/$run.dir" "$work/tmp-$run"
    mkdir -p "$work/$run.dir" "$work/tmp-$run"
    local args=("${@//@OUT/$work/$run.dir}")
    VEXIL_WINSOCK_DIR="$build/lib" TMPDIR="$work/tmp-$run" \
        /usr/bin/time -f '%e %M' -o "$work/$run.time" "${args[@]}" \
        >"$work/$run.out" 2>"$work/$run.err" || status=$?
    echo "$status" >"$work/$run.status"
    if [ "$status" -ne 0 ]; then
        local how="exit status $status"
        [ "$status" -gt 128 ] && how="killed by signal $((status - 128))"
        echo "$run CRASHED ($how): $(tail -n 2 "$work/$run.err" | tr '\n' ' ')"
    fi
}

slow=(--server "127.0.0.1:$slow_port" --timeout 120)
fast=(--server "127.0.0.1:$port")
secure=(--server "127.0.0.1:$tls_port" --tls --ca-file "$ca_file")

echo "== classic walk and fetch of the first $slice articles through the proxy (once each)"
timed classic-walk "$nntp" "${slow[@]}" walk "$group" --count "$slice"
timed classic-fetch "$nntp" "${slow[@]}" fetch "$group" --count "$slice" -o @OUT
check "$work/classic-fetch.dir" "${slice_pictures[@]}" >"$work/classic-fetch.pictures"
echo "== the overview on the same slice (once; shown for information)"
timed slice-walk "$nntp" "${slow[@]}" walk "$group" --count "$slice" --overview
timed slice-fetch "$nntp" "${slow[@]}" fetch "$group" --count "$slice" --overview \
    --pipeline 8 -o @OUT
check "$work/slice-fetch.dir" "${slice_pictures[@]}" >"$work/slice-fetch.pictures"

for round in $(seq "$rounds"); do
    echo "== round $round: overview walk and pipelined fetch of the whole group through the proxy"
    timed "overview-walk-$round" "$nntp" "${slow[@]}" walk "$group" --overview
    timed "overview-fetch-$round" "$nntp" "${slow[@]}" fetch "$group" --overview --pipeline 8 \
        -o @OUT
    check "$work/overview-fetch-$round.dir" "${all_pictures[@]}" \
        >"$work/overview-fetch-$round.pictures"
    echo "== round $round: nntplib over() and article() through the proxy, then uudeview"
    timed "peer-fetch-$round" /usr/bin/python3 "$root/bench/modern-peer.py" 127.0.0.1 \
        "$slow_port" "$group" @OUT
    timed "peer-decode-$round" uudeview -i -o -q -p "$work/peer-decode-$round.dir/" \
        "$work/peer-fetch-$round.dir"/*.txt
    check "$work/peer-decode-$round.dir" "${all_pictures[@]}" >"$work/peer-decode-$round.pictures"
    rm -rf "$work/peer-fetch-$round.dir"
done

for round in $(seq "$((rounds < 5 ? 5 : rounds))"); do
    echo "== round $round: pipelined fetch on loopback, plain and TLS"
    for kind in plain tls; do
        if [ "$kind" = plain ]; then endpoint=("${fast[@]}"); else endpoint=("${secure[@]}"); fi
        timed "$kind-fetch-$round" "$nntp" "${endpoint[@]}" fetch "$group" --overview \
            --pipeline 8 -o @OUT
        check "$work/$kind-fetch-$round.dir" "${all_pictures[@]}" \
            >"$work/$kind-fetch-$round.pictures"
        rm -rf "$work/$kind-fetch-$round.dir"
    done
done

/usr/bin/python3 "$root/bench/modern-report.py" "$work" "$slice" "$articles" \
    "${#slice_pictures[@]}" "${#all_pictures[@]}" "$factor" "$delay"
