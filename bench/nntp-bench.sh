#!/usr/bin/env bash
# Runs the news client's benchmark beside Python's nntplib against one private INN holding a
# group of 1000 picture articles, and prints both rates and their ratio. The peer renews
# TCP_QUICKACK on every read as Vexil's socket library does, so that both wait the same for
# INN's replies. Targets: the header walk and the article fetch at least as fast as nntplib.
# nntplib as shipped is shown beside, without a ratio: it waits out delayed ACKs. Exits
# non-zero when a target is missed or either side crashes.
# usage: bench/nntp-bench.sh [BUILD_DIR] [ARTICLES] [KB_EACH]
#        (VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
articles=${2:-1000}
kb=${3:-20}
group=alt.binaries.pictures.bench
bench="$build/bench/nntp_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target nntp_bench)"; exit 1; }

make_server_work vexil-bench

echo "== generating $articles articles of about $kb KB"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-bench "pictures:$articles:$kb"
port=$(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 2>/dev/null)
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting to the private INN on 127.0.0.1:$port"
bash "$root/tools/inn/post-article" "$work/inn" "$work/articles"/[0-9]*.txt >/dev/null

# run LABEL COMMAND...: runs COMMAND with a private TMPDIR, its output in LABEL.json; a
# command that fails or is killed is reported as crashed.
run() {
    local label=$1 status=0; shift
    mkdir -p "$work/tmp-$label"
    TMPDIR="$work/tmp-$label" "$@" >"$work/$label.json" 2>"$work/$label.err" || status=$?
    echo "$status" >"$work/$label.status"
    [ "$label" = vexil ] || cat "$work/$label.json"
    [ "$status" -eq 0 ] || echo "$label CRASHED (exit status $status): $(tail -n 2 "$work/$label.err")"
}

echo "== Vexil (TmsNNTP)"
VEXIL_WINSOCK_DIR="$build/lib" VEXIL_BENCH_SERVER="127.0.0.1:$port" VEXIL_BENCH_GROUP="$group" \
    run vexil "$bench" --benchmark_color=false --benchmark_out="$work/vexil-runs.json" \
    --benchmark_out_format=json
cat "$work/vexil.json"
echo "== Python nntplib with quick ACKs (same STAT/HEAD/NEXT and STAT/HEAD/ARTICLE exchange)"
run peer /usr/bin/python3 "$root/bench/nntp-peer.py" 127.0.0.1 "$port" "$group" 5 "$articles" \
    quickack
# As shipped, nntplib waits out a delayed ACK on every reply INN writes in two pieces
# (about 40 ms): its rate measures that wait, not the client, so it gets no ratio. 100
# articles are enough to show it.
echo "== Python nntplib as shipped (first 100 articles; shown for information)"
run plain /usr/bin/python3 "$root/bench/nntp-peer.py" 127.0.0.1 "$port" "$group" 1 100

/usr/bin/python3 - "$work" "${VEXIL_BENCH_TARGET_FACTOR:-1}" <<'PY'
import json, sys
work, factor = sys.argv[1], float(sys.argv[2])
if not factor > 0:
    sys.exit("VEXIL_BENCH_TARGET_FACTOR must be a positive number")

def ok(label):
    return int(open("%s/%s.status" % (work, label)).read()) == 0

failures = []
print("(best of 5 runs each)")
print("== summary")
walk = fetch = decoded = None
if ok("vexil"):
    runs = [b for b in json.load(open(work + "/vexil-runs.json"))["benchmarks"]
            if b.get("run_type") == "iteration" and not b.get("error_occurred")]
    def best(prefix, counter):
        return max((b[counter] for b in runs if b["name"].startswith(prefix)), default=None)
    walk = best("HeaderWalk/", "headers_per_s")
    fetch = best("ArticleFetch/transfer/", "MB_per_s")
    decoded = best("ArticleFetch/decoded/", "MB_per_s")
if None in (walk, fetch, decoded):
    failures.append("Vexil's benchmark crashed or measured nothing")
peer = json.load(open(work + "/peer.json")) if ok("peer") else None
if peer is None:
    failures.append("nntplib with quick ACKs crashed: no ratio")

def ratio(name, ours, theirs, unit, target=1.0):
    target *= factor
    r = ours / theirs
    print("%-14s Vexil %9.1f %s   nntplib %9.1f %s   ratio %.2f (target at least %.2f)%s"
          % (name, ours, unit, theirs, unit, r, target, "" if r >= target else "  MISSED"))
    if r < target:
        failures.append("the %s ratio missed its target" % name)

if walk is not None and peer is not None:
    ratio("header walk:", walk, peer["headers_per_s"], "headers/s")
    ratio("article fetch:", fetch, peer["MB_per_s"], "MB/s     ")
    print("fetch and decode: Vexil %6.1f MB/s (nntplib only transfers; no ratio)" % decoded)
if ok("plain"):
    plain = json.load(open(work + "/plain.json"))
    print("nntplib as shipped: %.0f headers/s, %.2f MB/s: these measure the server's delayed "
          "ACK (about 40 ms a reply), not the client; no ratio" % (plain["headers_per_s"],
                                                                  plain["MB_per_s"]))
else:
    print("nntplib as shipped CRASHED (shown for information only)")
for failure in failures:
    print("FAILED: " + failure)
print("nntp-bench: " + ("FAILED" if failures else "every target met"))
sys.exit(1 if failures else 0)
PY
