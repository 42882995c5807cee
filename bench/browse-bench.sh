#!/usr/bin/env bash
# A whole browse run beside a peer pipeline doing the same fetches and decoding, against one
# private INN holding a group of ARTICLES picture articles (uuencoded and MIME base64 JPEGs
# by turns, about KB_EACH kilobytes each).
#   Vexil: the main window on Qt's offscreen platform, the group chosen, Go pressed, timed
#          from Go to the end of the run (bench/BrowseRunDriver.cpp), with fresh settings and
#          picture folder for each round: the first Go on a group.
#   peer:  Python's nntplib walking and fetching the same articles with the same commands
#          (bench/browse-peer.py), then uudeview decoding the saved articles.
# Both sides renew TCP_QUICKACK on every read: INN writes a reply in two pieces under
# Nagle's rule, and a reader that delays its ACK waits about 40 ms for the second piece
# (bench/nntp-bench.sh). Prints the best of ROUNDS rounds of each, articles per second, peak
# memory (maximum resident set size) and the ratios, and checks every picture both sides
# wrote against the original.
# usage: bench/browse-bench.sh [BUILD_DIR] [ARTICLES] [KB_EACH] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
articles=${2:-200}
kb=${3:-100}
rounds=${4:-3}
group=alt.binaries.pictures.bench
driver="$build/bench/browse_run_driver"
[ -x "$driver" ] || { echo "build $driver first (cmake --build $build --target browse_run_driver)"; exit 1; }
for tool in uudeview /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (tools/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vexil-browse-bench.XXXXXX)
chmod 755 "$work"
trap 'bash "$root/tools/inn/stop-inn" "$work/inn" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

echo "== generating $articles articles of about $kb KB"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-browse-bench "pictures:$articles:$kb"
port=$(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 2>/dev/null)
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting to the private INN on 127.0.0.1:$port"
bash "$root/tools/inn/post-article" "$work/inn" "$work/articles"/[0-9]*.txt >/dev/null
largest=$(stat -c %s "$work/articles"/[0-9]*.txt | sort -n | tail -n 1)

# Every picture in folder $1 must equal its original; prints how many there are.
check_pictures() {
    local n=0 f
    for f in "$1"/*; do
        [ -f "$f" ] || continue
        cmp -s "$f" "$work/articles/originals/$(basename "$f")" ||
            { echo "$f differs from its original" >&2; exit 1; }
        n=$((n + 1))
    done
    echo "$n"
}

# timed LABEL ROUND COMMAND...: runs COMMAND with its output in LABEL-ROUND.json and its
# wall time and peak memory in LABEL-ROUND.time.
timed() {
    local label=$1 round=$2; shift 2
    /usr/bin/time -f '%e %M' -o "$work/$label-$round.time" "$@" >"$work/$label-$round.json"
}

for round in $(seq "$rounds"); do
    echo "== round $round: Vexil"
    home="$work/vexil-$round/home"
    mkdir -p "$home"
    echo "$group" >"$home/Vexil.Dat"
    VEXIL_HOME="$home" VEXIL_REGISTRY="$work/vexil-$round/registry.sqlite3" \
        QT_QPA_PLATFORM=offscreen timed vexil "$round" "$driver" "127.0.0.1:$port" "$group"
    echo "vexil pictures: $(check_pictures "$home/TEMP")" >>"$work/vexil-$round.json"

    echo "== round $round: nntplib and uudeview"
    peer="$work/peer-$round"
    timed fetch "$round" /usr/bin/python3 "$root/bench/browse-peer.py" 127.0.0.1 "$port" \
        "$group" "$peer/articles" quickack
    mkdir -p "$peer/pictures"
    timed uudeview "$round" uudeview -i -o -q -p "$peer/pictures/" "$peer/articles"/*.txt
    echo "peer pictures: $(check_pictures "$peer/pictures")" >>"$work/uudeview-$round.json"
    rm -rf "$peer/articles" "$work/vexil-$round/home/TEMP"
done

/usr/bin/python3 - "$work" "$rounds" "$largest" <<'PY'
import json, sys
work, rounds, largest = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

def time_file(label, r):
    seconds, kb = open("%s/%s-%d.time" % (work, label, r)).read().split()[-2:]
    return float(seconds), int(kb) * 1024

def first_json(label, r):
    return json.loads(open("%s/%s-%d.json" % (work, label, r)).readline())

def pictures(label, r):
    return int(open("%s/%s-%d.json" % (work, label, r)).read().split()[-1])

vexil, peer = [], []
for r in range(1, rounds + 1):
    v = first_json("vexil", r)
    f = first_json("fetch", r)
    vexil_process, vexil_peak = time_file("vexil", r)
    uu_seconds, uu_peak = time_file("uudeview", r)
    fetch_process, fetch_peak = time_file("fetch", r)
    vexil.append(dict(seconds=v["seconds"], articles=v["articles"], peak=vexil_peak,
                      process=vexil_process, pictures=pictures("vexil", r)))
    peer.append(dict(seconds=f["seconds"] + uu_seconds, fetch=f["seconds"], decode=uu_seconds,
                     articles=f["articles"], peak=max(fetch_peak, uu_peak),
                     process=fetch_process + uu_seconds, pictures=pictures("uudeview", r)))
    if v["articles"] != f["articles"]:
        sys.exit("round %d: Vexil fetched %d articles, the peer %d"
                 % (r, v["articles"], f["articles"]))
bv = min(vexil, key=lambda x: x["seconds"])
bp = min(peer, key=lambda x: x["seconds"])
mb = 1024 * 1024
limit = 4 * largest + 100 * mb
print("(best of %d rounds each; %d articles fetched, largest article %.0f KB)"
      % (rounds, bv["articles"], largest / 1024))
print("== summary")
print("Vexil, Go to the end of the run:  %6.2f s  %6.1f articles/s  peak %6.1f MB  %d pictures"
      % (bv["seconds"], bv["articles"] / bv["seconds"], max(x["peak"] for x in vexil) / mb,
         bv["pictures"]))
print("nntplib %.2f s + uudeview %.2f s: %6.2f s  %6.1f articles/s  peak %6.1f MB  %d pictures"
      % (bp["fetch"], bp["decode"], bp["seconds"], bp["articles"] / bp["seconds"],
         max(x["peak"] for x in peer) / mb, bp["pictures"]))
print("whole processes, with start-up and exit: Vexil %.2f s, nntplib and uudeview %.2f s"
      % (min(x["process"] for x in vexil), min(x["process"] for x in peer)))
ratio = bp["seconds"] / bv["seconds"]
print("ratio (peer time / Vexil time): %.2f (target at least 1.00)%s"
      % (ratio, "" if ratio >= 1 else "  MISSED"))
peak = max(x["peak"] for x in vexil)
print("Vexil's peak memory %.1f MB, limit 4 x largest article + 100 MB = %.1f MB%s"
      % (peak / mb, limit / mb, "" if peak < limit else "  MISSED"))
PY
