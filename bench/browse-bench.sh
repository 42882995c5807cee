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
# memory (maximum resident set size), Vexil's processor time in the run and the ratios, and checks every picture a first Go
# fetches (from the manifest) against the original in the folder of each side. Each command runs with a private
# TMPDIR; a command that fails or is killed is reported as crashed and its round's time is
# not used. Exits non-zero when a target is missed, Vexil does not write every picture
# exactly, or either side crashed in every round.
# usage: bench/browse-bench.sh [BUILD_DIR] [ARTICLES] [KB_EACH] [ROUNDS]
#        (VEXIL_BENCH_TARGET_FACTOR=f multiplies the ratio's target and divides the memory
#        limit)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
articles=${2:-200}
kb=${3:-100}
rounds=${4:-3}
group=alt.binaries.pictures.bench
driver="$build/bench/browse_run_driver"
[ -x "$driver" ] || { echo "build $driver first (cmake --build $build --target browse_run_driver)"; exit 1; }
require_tools uudeview /usr/bin/time
make_server_work vexil-browse-bench

echo "== generating $articles articles of about $kb KB"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-browse-bench "pictures:$articles:$kb"
port=$(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 2>/dev/null)
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting to the private INN on 127.0.0.1:$port"
bash "$root/tools/inn/post-article" "$work/inn" "$work/articles"/[0-9]*.txt >/dev/null
largest=$(stat -c %s "$work/articles"/[0-9]*.txt | sort -n | tail -n 1)

# The pictures a first Go must write: those of every article of the group, its first
# included, whose Lines and subject pass the run's filters, as browse-peer.py applies them.
mapfile -t expected < <(/usr/bin/python3 - "$root/bench/browse-peer.py" \
    "$work/articles/manifest.tsv" <<'PY'
import importlib.util, sys
found = importlib.util.spec_from_file_location("browse_peer", sys.argv[1])
peer = importlib.util.module_from_spec(found)
found.loader.exec_module(peer)
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[2], encoding="latin-1")]
for _, _, lines, subject, names in rows:
    if peer.MIN_LINES < float(lines) < peer.MAX_LINES and not peer.later_part(subject):
        print("\n".join(n for n in names.split(",") if n != "-"))
PY
)
[ ${#expected[@]} -gt 0 ] || { echo "the manifest names no picture" >&2; exit 1; }

# timed LABEL ROUND COMMAND...: runs COMMAND with its output in LABEL-ROUND.json, its wall
# time and peak memory in LABEL-ROUND.time and its exit status in LABEL-ROUND.status; a
# command that fails or is killed is reported as crashed.
timed() {
    local label=$1 round=$2 status=0; shift 2
    TMPDIR="$work/tmp-$label-$round" /usr/bin/time -f '%e %M' -o "$work/$label-$round.time" \
        "$@" >"$work/$label-$round.json" 2>"$work/$label-$round.err" || status=$?
    echo "$status" >"$work/$label-$round.status"
    if [ "$status" -ne 0 ]; then
        echo "$label CRASHED in round $round (exit status $status):" \
            "$(tail -n 2 "$work/$label-$round.err" | tr '\n' ' ')"
    fi
}

for round in $(seq "$rounds"); do
    echo "== round $round: Vexil"
    home="$work/vexil-$round/home"
    mkdir -p "$home" "$work/tmp-vexil-$round" "$work/tmp-fetch-$round" "$work/tmp-uudeview-$round"
    echo "$group" >"$home/Vexil.Dat"
    VEXIL_HOME="$home" VEXIL_REGISTRY="$work/vexil-$round/registry.sqlite3" \
        QT_QPA_PLATFORM=offscreen timed vexil "$round" "$driver" "127.0.0.1:$port" "$group"
    check_pictures "$home/TEMP" "$work/articles/originals" "${expected[@]}" \
        >"$work/vexil-$round.pictures"

    echo "== round $round: nntplib and uudeview"
    peer="$work/peer-$round"
    timed fetch "$round" /usr/bin/python3 "$root/bench/browse-peer.py" 127.0.0.1 "$port" \
        "$group" "$peer/articles" quickack
    mkdir -p "$peer/pictures" "$peer/articles"
    timed uudeview "$round" uudeview -i -o -q -p "$peer/pictures/" "$peer/articles"/*.txt
    check_pictures "$peer/pictures" "$work/articles/originals" "${expected[@]}" \
        >"$work/peer-$round.pictures"
    rm -rf "$peer" "$work/vexil-$round/home/TEMP" "$work"/tmp-*-"$round"
done

/usr/bin/python3 - "$work" "$rounds" "$largest" "${#expected[@]}" \
    "${VEXIL_BENCH_TARGET_FACTOR:-1}" <<'PY'
import json, sys
work, rounds, largest = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
expected, factor = int(sys.argv[4]), float(sys.argv[5])
if not factor > 0:
    sys.exit("VEXIL_BENCH_TARGET_FACTOR must be a positive number")

def read(label, r, ext):
    return open("%s/%s-%d.%s" % (work, label, r, ext)).read()

def time_file(label, r):
    seconds, kb = read(label, r, "time").split()[-2:]
    return float(seconds), int(kb) * 1024

def first_json(label, r):
    return json.loads(read(label, r, "json").splitlines()[0])

def crashed(label, r):
    return int(read(label, r, "status")) != 0

def pictures(label, r):
    return [int(n) for n in read(label, r, "pictures").split()]

failures = []
vexil, peer = [], []
for r in range(1, rounds + 1):
    exact, wrong, missing = pictures("vexil", r)
    if crashed("vexil", r):
        failures.append("round %d: Vexil crashed" % r)
    else:
        v = first_json("vexil", r)
        process, peak = time_file("vexil", r)
        vexil.append(dict(seconds=v["seconds"], articles=v["articles"], peak=peak,
                          process=process, pictures=exact, cpu=v.get("cpu_seconds")))
    if wrong or missing:
        failures.append("round %d: Vexil wrote %d of the %d pictures exactly (%d differ, "
                        "%d missing)" % (r, exact, expected, wrong, missing))
    p_exact, p_wrong, p_missing = pictures("peer", r)
    if p_wrong or p_missing:
        print("round %d: the peer wrote %d of the %d pictures exactly (%d differ, %d missing)"
              % (r, p_exact, expected, p_wrong, p_missing))
    if crashed("fetch", r) or crashed("uudeview", r):
        print("round %d: the peer crashed; its time is not used" % r)
        continue
    f = first_json("fetch", r)
    uu_seconds, uu_peak = time_file("uudeview", r)
    fetch_process, fetch_peak = time_file("fetch", r)
    peer.append(dict(seconds=f["seconds"] + uu_seconds, fetch=f["seconds"], decode=uu_seconds,
                     articles=f["articles"], peak=max(fetch_peak, uu_peak),
                     process=fetch_process + uu_seconds, pictures=p_exact))
    if vexil and vexil[-1]["articles"] != f["articles"]:
        failures.append("round %d: Vexil fetched %d articles, the peer %d"
                        % (r, vexil[-1]["articles"], f["articles"]))

mb = 1024 * 1024
print("(best of %d rounds each; %d pictures a first Go fetches, largest article %.0f KB)"
      % (rounds, expected, largest / 1024))
print("== summary")
if vexil:
    bv = min(vexil, key=lambda x: x["seconds"])
    print("Vexil, Go to the end of the run:  %6.2f s  %6.1f articles/s  peak %6.1f MB  "
          "%d pictures exact" % (bv["seconds"], bv["articles"] / bv["seconds"],
                                 max(x["peak"] for x in vexil) / mb, bv["pictures"]))
    # Its own processor time, which a busy machine inflates far less than the wall time.
    print("Vexil's wall time in the rounds: %s" % ", ".join("%.2f" % x["seconds"] for x in vexil))
    cpus = [x["cpu"] for x in vexil if x["cpu"] is not None]
    if cpus:
        print("Vexil's processor time in the run: best %.2f s (rounds: %s)"
              % (min(cpus), ", ".join("%.2f" % c for c in cpus)))
if peer:
    bp = min(peer, key=lambda x: x["seconds"])
    print("nntplib %.2f s + uudeview %.2f s: %6.2f s  %6.1f articles/s  peak %6.1f MB  "
          "%d pictures exact" % (bp["fetch"], bp["decode"], bp["seconds"],
                                 bp["articles"] / bp["seconds"],
                                 max(x["peak"] for x in peer) / mb, bp["pictures"]))
if peer:
    print("the peer's wall time in the rounds: %s" % ", ".join("%.2f" % x["seconds"] for x in peer))
if vexil and peer:
    print("whole processes, with start-up and exit: Vexil %.2f s, nntplib and uudeview %.2f s"
          % (min(x["process"] for x in vexil), min(x["process"] for x in peer)))
    ratio = bp["seconds"] / bv["seconds"]
    target = 3.0 * factor
    print("ratio (peer time / Vexil time): %.2f (target at least %.2f)%s"
          % (ratio, target, "" if ratio >= target else "  MISSED"))
    if ratio < target:
        failures.append("the ratio missed its target")
else:
    failures.append("no ratio: %s crashed in every round" % ("Vexil" if not vexil else "the peer"))
if vexil:
    peak = max(x["peak"] for x in vexil)
    limit = (4 * largest + 100 * mb) / factor
    print("Vexil's peak memory %.1f MB, limit %s4 x largest article + 100 MB = %.1f MB%s"
          % (peak / mb, "" if factor == 1 else "(divided by %g) " % factor, limit / mb,
             "" if peak < limit else "  MISSED"))
    if peak >= limit:
        failures.append("the peak memory missed its limit")
for failure in failures:
    print("FAILED: " + failure)
print("browse-bench: " + ("FAILED" if failures else "every target met"))
sys.exit(1 if failures else 0)
PY
