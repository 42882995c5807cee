#!/usr/bin/env bash
# Runs the news client's benchmark beside Python's nntplib against one private INN holding a
# group of 1000 picture articles, and prints both rates and their ratio.
# usage: bench/nntp-bench.sh [BUILD_DIR] [ARTICLES] [KB_EACH]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
articles=${2:-1000}
kb=${3:-20}
group=alt.binaries.pictures.bench
bench="$build/bench/nntp_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target nntp_bench)"; exit 1; }

work=$(mktemp -d /tmp/vexil-bench.XXXXXX)
chmod 755 "$work"
trap 'bash "$root/tools/inn/stop-inn" "$work/inn" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

echo "== generating $articles articles of about $kb KB"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-bench "pictures:$articles:$kb"
port=$(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 2>/dev/null)
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting to the private INN on 127.0.0.1:$port"
bash "$root/tools/inn/post-article" "$work/inn" "$work/articles"/[0-9]*.txt >/dev/null

echo "== Vexil (TmsNNTP)"
VEXIL_WINSOCK_DIR="$build/lib" VEXIL_BENCH_SERVER="127.0.0.1:$port" VEXIL_BENCH_GROUP="$group" \
    "$bench" --benchmark_out="$work/vexil.json" --benchmark_out_format=json
echo "== Python nntplib with quick ACKs (same STAT/HEAD/NEXT and STAT/HEAD/ARTICLE exchange)"
/usr/bin/python3 "$root/bench/nntp-peer.py" 127.0.0.1 "$port" "$group" 5 "$articles" quickack \
    > "$work/peer.json"
cat "$work/peer.json"
# As shipped, nntplib waits out a delayed ACK on every reply INN writes in two pieces
# (about 40 ms): 100 articles are enough to measure that rate.
echo "== Python nntplib as shipped (first 100 articles)"
/usr/bin/python3 "$root/bench/nntp-peer.py" 127.0.0.1 "$port" "$group" 1 100 > "$work/plain.json"
cat "$work/plain.json"

/usr/bin/python3 - "$work/vexil.json" "$work/peer.json" "$work/plain.json" <<'PY'
import json, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
def best(prefix, counter):
    return max(b[counter] for b in runs if b["name"].startswith(prefix))
peer = json.load(open(sys.argv[2]))
plain = json.load(open(sys.argv[3]))
walk = best("HeaderWalk/", "headers_per_s")
fetch = best("ArticleFetch/transfer/", "MB_per_s")
decoded = best("ArticleFetch/decoded/", "MB_per_s")
print("(best of 5 runs each)")
print("== summary")
print("header walk:   Vexil %9.0f headers/s   nntplib %9.0f headers/s   ratio %.2f"
      % (walk, peer["headers_per_s"], walk / peer["headers_per_s"]))
print("article fetch: Vexil %9.1f MB/s        nntplib %9.1f MB/s        ratio %.2f"
      % (fetch, peer["MB_per_s"], fetch / peer["MB_per_s"]))
print("fetch and decode: Vexil %6.1f MB/s (nntplib only transfers)   ratio %.2f"
      % (decoded, decoded / peer["MB_per_s"]))
print("against nntplib as shipped: header walk ratio %.1f, article fetch ratio %.1f"
      % (walk / plain["headers_per_s"], fetch / plain["MB_per_s"]))
PY
