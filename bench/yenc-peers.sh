#!/usr/bin/env bash
# A whole run on a group of yEnc picture posts beside NZBGet (Debian's nzbget) fetching the
# same posts from their NZB, both from one private INN, on loopback and through
# build/tools/latency-proxy at 50 ms round trip.
# The group: POSTS picture posts made by tools/make-articles.py, seven in ten in one article
# of about 100 KB (yenc:N:100), the others about 300 KB in three parts (yparts:N:300:3,
# every third one posted last part first), with the NZB of all of them.
#   Vexil:  vexil-nntp fetch GROUP --overview --pipeline 8 --join -o DIR: the overview walk,
#           eight articles asked for at once on its one connection, the parts joined.
#   NZBGet: its shipped configuration (/usr/share/doc/nzbget/examples/nzbget.conf.gz) with
#           only these changed: MainDir (a private folder), Server1.Host and Server1.Port (the
#           private server or the proxy), no Server1.Username or Password (the server wants no
#           login), ControlPort (a free one) and OutputMode=loggable (no terminal). So it
#           keeps its defaults: 4 connections, DirectWrite, CrcCheck, ArticleCache=0,
#           ParCheck=auto. It runs as a server in console mode (-s) and is handed the NZB with
#           -A as soon as it answers; it is stopped (-Q) once it has moved the last picture
#           into its destination folder, or has put the NZB into its history.
# Each side's time runs from its start to the last picture written (the newest modification
# time among the pictures); Vexil's whole process and NZBGet's time until its pictures are in
# their final place are shown beside it. Each command runs with a private HOME and TMPDIR;
# peak memory is the maximum resident set of the process (/usr/bin/time). A side that exits
# non-zero or is killed is reported as CRASHED, one that does not finish within
# TIMEOUT seconds (default 600) as TIMED OUT; its round's time is not used. Every picture is
# compared byte for byte with its original in each side's folder.
# Target: Vexil at least as fast as NZBGet (best of ROUNDS rounds, ratio NZBGet / Vexil at
# least 1) on loopback and through the proxy. Exits non-zero when a target is missed, Vexil
# does not write every picture exactly, or a side has no round to time.
# usage: bench/yenc-peers.sh [BUILD_DIR] [POSTS] [ROUNDS]   (defaults: build, 200, 3;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies the target)
set -euo pipefail
# shellcheck source=SCRIPTDIR/bench-common.sh
source "$(dirname "$0")/bench-common.sh"
build=$(cd "${1:-$root/build}" && pwd)
posts=${2:-200}
rounds=${3:-3}
timeout=${TIMEOUT:-600}
group=alt.binaries.pictures.yenc.bench
vexil="$build/tools/vexil-nntp"
proxy="$build/tools/latency-proxy"
for tool in "$vexil" "$proxy"; do
    [ -x "$tool" ] || { echo "no $tool: build it first" >&2; exit 1; }
done
require_tools nzbget /usr/bin/time /usr/bin/python3
shipped_config=/usr/share/doc/nzbget/examples/nzbget.conf.gz
[ -f "$shipped_config" ] || { echo "no $shipped_config (package nzbget)" >&2; exit 1; }
[[ $posts =~ ^[0-9]+$ && $posts -ge 4 && $rounds =~ ^[1-9][0-9]*$ ]] ||
    { echo "usage: bench/yenc-peers.sh [BUILD_DIR] [POSTS >= 4] [ROUNDS >= 1]" >&2; exit 2; }
read_target_factor

make_server_work vexil-yenc-peers

in_parts=$((posts * 3 / 10))
single=$((posts - in_parts))
echo "== generating $single yEnc posts of about 100 KB and $in_parts of about 300 KB in 3 parts"
/usr/bin/python3 "$root/tools/make-articles.py" "$work/articles" --group "$group" \
    --prefix vexil-yenc-peers "yenc:$single:100" "yparts:$in_parts:300:3" >/dev/null
mapfile -t pictures < <(cd "$work/articles/originals" && ls)
port=$(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 2>/dev/null)
bash "$root/tools/inn/add-group" "$work/inn" "$group" 2>/dev/null
echo "== posting $(ls "$work/articles"/[0-9]*.txt | wc -l) articles to the private INN on 127.0.0.1:$port"
bash "$root/tools/inn/post-article" "$work/inn" "$work/articles"/[0-9]*.txt >/dev/null
"$proxy" --target "127.0.0.1:$port" --delay-ms 25 --lifetime 36000 >"$work/proxy-port" &
proxy_pid=$!
for _ in $(seq 100); do [ -s "$work/proxy-port" ] && break; sleep 0.05; done
slow=$(head -n 1 "$work/proxy-port")
[[ $slow =~ ^[0-9]+$ ]] || { echo "the latency proxy did not start" >&2; exit 1; }

now() { date +%s.%N; }
free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# check FOLDER START: "EXACT WRONG MISSING LAST" for the pictures in FOLDER, LAST the seconds
# from START to the newest modification time among them.
check() {
    local folder=$1 start=$2 exact wrong missing newest=0
    read -r exact wrong missing < <(check_pictures "$folder" "$work/articles/originals" \
        "${pictures[@]}")
    if [ "$exact" -gt 0 ] || [ "$wrong" -gt 0 ]; then
        newest=$(cd "$folder" && stat -c %.9Y "${pictures[@]}" 2>/dev/null | sort -n | tail -n 1)
    fi
    awk -v e="$exact" -v w="$wrong" -v m="$missing" -v n="$newest" -v s="$start" \
        'BEGIN { printf "%d %d %d %.3f\n", e, w, m, (n > 0 ? n - s : 0) }'
}

how() {
    if [ "$1" -gt 128 ]; then echo "killed by signal $(($1 - 128))"; else echo "exit status $1"; fi
}

# result LABEL STATUS START END OUTCOME FOLDER: writes LABEL.result: status (ok, CRASHED,
# TIMED OUT), whole time, peak KB, then check's figures.
result() {
    local label=$1 status=$2 start=$3 end=$4 outcome=$5 folder=$6 peak
    peak=$(tail -n 1 "$work/$label.time" 2>/dev/null | awk '{ print $NF }')
    [[ $peak =~ ^[0-9]+$ ]] || peak=0
    if [ "$outcome" = ok ] && [ "$status" -ne 0 ]; then
        outcome=CRASHED
        echo "$label CRASHED ($(how "$status")) $(tail -n 1 "$work/$label.err")"
    fi
    echo "$outcome $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }') $peak" \
        "$(check "$folder" "$start")" >"$work/$label.result"
}

run_vexil() {
    local label=$1 server=$2 dir="$work/$1" status=0 start end
    mkdir -p "$dir/home" "$dir/tmp" "$dir/pictures"
    start=$(now)
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_STATE_HOME="$dir/home/.state" \
        TMPDIR="$dir/tmp" timeout "$timeout" /usr/bin/time -f '%e %M' -o "$work/$label.time" \
        "$vexil" --server "$server" fetch "$group" --overview --pipeline 8 --join \
        -o "$dir/pictures" >"$work/$label.out" 2>"$work/$label.err" || status=$?
    end=$(now)
    if [ "$status" -eq 124 ]; then
        echo "$label TIMED OUT after $timeout s"
        result "$label" 0 "$start" "$end" "TIMED-OUT" "$dir/pictures"
    else
        result "$label" "$status" "$start" "$end" ok "$dir/pictures"
    fi
}

run_nzbget() {
    local label=$1 server_port=$2 dir="$work/$1" status=0 start end outcome=ok pid
    mkdir -p "$dir/home" "$dir/tmp" "$dir/main"
    local config="$dir/nzbget.conf" dst="$dir/main/dst/posts"
    zcat "$shipped_config" | sed -e "s|^MainDir=.*|MainDir=$dir/main|" \
        -e "s|^Server1.Host=.*|Server1.Host=127.0.0.1|" \
        -e "s|^Server1.Port=.*|Server1.Port=$server_port|" \
        -e "s|^Server1.Username=.*|Server1.Username=|" \
        -e "s|^Server1.Password=.*|Server1.Password=|" \
        -e "s|^ControlPort=.*|ControlPort=$(free_port)|" \
        -e "s|^OutputMode=.*|OutputMode=loggable|" >"$config"
    start=$(now)
    HOME="$dir/home" TMPDIR="$dir/tmp" /usr/bin/time -f '%e %M' -o "$work/$label.time" \
        nzbget -c "$config" -s >"$work/$label.out" 2>"$work/$label.err" &
    pid=$!
    local added=no deadline
    deadline=$(awk -v s="$start" -v t="$timeout" 'BEGIN { print s + t }')
    outcome=ENDED
    while kill -0 "$pid" 2>/dev/null; do
        if [ $added = no ]; then
            HOME="$dir/home" nzbget -c "$config" -A "$work/articles/posts.nzb" >/dev/null 2>&1 &&
                added=yes
        elif [ "$(ls "$dst" 2>/dev/null | wc -l)" -ge "${#pictures[@]}" ] ||
            grep -q "added to history" "$dir/main/nzbget.log" 2>/dev/null; then
            outcome=ok
            break
        fi
        if awk -v d="$deadline" -v n="$(now)" 'BEGIN { exit !(n > d) }'; then
            outcome=TIMED-OUT
            echo "$label TIMED OUT after $timeout s"
            break
        fi
        sleep 0.02
    done
    end=$(now)
    if kill -0 "$pid" 2>/dev/null; then
        HOME="$dir/home" nzbget -c "$config" -Q >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
    fi
    wait "$pid" || status=$?
    if [ $outcome = ENDED ]; then
        # Gone on its own before it finished: a crash whatever its exit status.
        outcome=CRASHED
        echo "$label CRASHED (ended before it finished, $(how "$status"))" \
            "$(tail -n 1 "$work/$label.err")"
    fi
    result "$label" "$status" "$start" "$end" "$outcome" "$dst"
}

for round in $(seq "$rounds"); do
    for path in loopback proxy; do
        p=$port
        [ $path = loopback ] || p=$slow
        echo "== round $round, $path: Vexil, then NZBGet"
        run_vexil "vexil-$path-$round" "127.0.0.1:$p"
        run_nzbget "nzbget-$path-$round" "$p"
        rm -rf "$work/vexil-$path-$round" "$work/nzbget-$path-$round"
    done
done

/usr/bin/python3 - "$work" "$rounds" "${#pictures[@]}" "$factor" "$single" "$in_parts" <<'PY'
import sys
work, rounds, expected, factor = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
single, in_parts = int(sys.argv[5]), int(sys.argv[6])
names = {"vexil": "Vexil", "nzbget": "NZBGet"}
paths = {"loopback": "loopback", "proxy": "through the proxy, 50 ms round trip"}
failures = []
print("== results: %d pictures (%d in one article, %d in 3 parts), best of %d rounds; "
      "seconds from start to the last picture written" % (expected, single, in_parts, rounds))
best = {}
for path, path_name in paths.items():
    for side, side_name in names.items():
        runs = []
        for r in range(1, rounds + 1):
            outcome, whole, peak, exact, wrong, missing, last = \
                open("%s/%s-%s-%d.result" % (work, side, path, r)).read().split()
            exact, wrong, missing = int(exact), int(wrong), int(missing)
            if exact != expected:
                text = "round %d: %s %s wrote %d of the %d pictures exactly (%d differ, %d missing)" \
                    % (r, side_name, path, exact, expected, wrong, missing)
                (failures.append(text) if side == "vexil" else print(text))
            if outcome != "ok":
                print("round %d: %s %s %s; its time is not used" % (r, side_name, path, outcome))
                continue
            runs.append(dict(last=float(last), whole=float(whole), peak=int(peak), exact=exact))
        if not runs:
            failures.append("%s %s: no round to time" % (side_name, path))
            continue
        b = min(runs, key=lambda x: x["last"])
        best[side, path] = b
        print("%-7s %-38s %7.2f s  (%s %6.2f s)  peak %6.1f MB  %d of %d pictures exact"
              % (side_name, path_name, b["last"],
                 "whole process" if side == "vexil" else "pictures in place",
                 min(x["whole"] for x in runs), max(x["peak"] for x in runs) / 1024,
                 b["exact"], expected))
target = 1.0 * factor
for path, path_name in paths.items():
    if ("vexil", path) in best and ("nzbget", path) in best:
        ratio = best["nzbget", path]["last"] / max(best["vexil", path]["last"], 0.001)
        print("ratio NZBGet / Vexil %s: %.2f (target at least %.2f)%s"
              % (path_name, ratio, target, "" if ratio >= target else "  MISSED"))
        if ratio < target:
            failures.append("the ratio %s missed its target" % path_name)
for failure in failures:
    print("FAILED: " + failure)
print("yenc-peers: " + ("FAILED" if failures else "every target met"))
sys.exit(1 if failures else 0)
PY
