#!/usr/bin/env bash
# Runs the codec benchmark on one 16 MB base64 payload (lines of 76 characters): Vexil's
# line decoder beside OpenSSL's EVP decoder, both in memory in the same process, with the
# ratio and its target (at least 1.0). Beside it, for information, coreutils `base64 -d` on
# the same file as a whole process (start-up, file read and output to /dev/null included),
# which is another footing and has no target. Then yEnc decoding with its CRC-32, in memory,
# by the fastest kernel the processor has, of a 1 MB and a 16 MB file: at least 1.5 GB/s
# (decoded bytes per CPU second). Exits non-zero when a target is missed or a decoder fails.
# usage: bench/codecs.sh [BUILD_DIR]   (default: build; REPETITIONS=n, default 5;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bench="$build/bench/bench_codecs"
yenc_bench="$build/bench/bench_yenc"
for b in "$bench" "$yenc_bench"; do
    [ -x "$b" ] || { echo "no $b: build the benchmarks first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
payload="$work/payload.b64"
head -c $((12 * 1024 * 1024)) /dev/urandom | base64 -w 76 >"$payload"

echo "== Vexil's decoders beside OpenSSL's EVP decoder (Google Benchmark, in memory)"
status=0
mkdir -p "$work/tmp"
export TMPDIR="$work/tmp"
VEXIL_BENCH_BASE64="$payload" "$bench" --benchmark_color=false \
    --benchmark_repetitions="${REPETITIONS:-5}" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$work/vexil.json" --benchmark_out_format=json || status=$?

/usr/bin/python3 - "$payload" "$work/vexil.json" <<'PY'
import json, os, subprocess, sys, time
payload, result = sys.argv[1], sys.argv[2]
size = os.path.getsize(payload)
runs = json.load(open(result))["benchmarks"]
mb = 1024 * 1024
vexil = [r["bytes_per_second"] for r in runs
         if r["name"].startswith("Vexil/base64_lines_76")
         and r.get("aggregate_name", "median") == "median" and not r.get("error_occurred")]
best = None
with open(os.devnull, "wb") as null:
    for _ in range(7):
        start = time.perf_counter()
        done = subprocess.run(["base64", "-d", payload], stdout=null, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if done.returncode != 0:
            how = ("killed by signal %d" % -done.returncode if done.returncode < 0
                   else "exit status %d" % done.returncode)
            print("coreutils base64 -d CRASHED (%s): %s" % (how, done.stderr.decode().strip()))
            sys.exit(0)
        best = elapsed if best is None else min(best, elapsed)
peer = size / best
print(f"\n== whole-process figure, for information: {size / mb:.1f} MB of 76-character lines")
print(f"coreutils base64 -d {peer / mb:8.1f} MB/s (best of 7 runs, whole process, wall time)")
if vexil:
    print(f"Vexil base64 lines  {vexil[0] / mb:8.1f} MB/s (median, in memory, wall time)")
    print(f"ratio Vexil : base64 -d process = {vexil[0] / peer:.2f} "
          "(whole process against in memory; no target)")
PY
echo
echo "== yEnc decoding with CRC-32 (Google Benchmark, in memory, CPU time)"
"$yenc_bench" --benchmark_color=false --benchmark_filter='^BM_YEncDecode/' \
    --benchmark_repetitions="${REPETITIONS:-5}" --benchmark_report_aggregates_only=true \
    --benchmark_out="$work/yenc.json" --benchmark_out_format=json >/dev/null 2>&1 || status=$?
/usr/bin/python3 - "$work/yenc.json" "${VEXIL_BENCH_TARGET_FACTOR:-1}" <<'PY' || status=$?
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
target = 1.5e9 * float(sys.argv[2])
best = {}
for r in runs:
    if r.get("aggregate_name", "median") != "median" or r.get("error_occurred"):
        continue
    _, kernel, size = r.get("run_name", r["name"]).split("/")[:3]
    if r["bytes_per_second"] > best.get(size, (None, 0))[1]:
        best[size] = (kernel, r["bytes_per_second"])
missed = not best
for size, (kernel, rate) in sorted(best.items(), key=lambda x: int(x[0])):
    ok = rate >= target
    missed |= not ok
    print(f"yEnc {int(size) >> 20:3d} MB by {kernel:6s} {rate / 1e9:6.2f} GB/s "
          f"(median; target {target / 1e9:.2f} GB/s): {'met' if ok else 'MISSED'}")
if not best:
    print("yEnc decoding: no kernel ran: MISSED")
sys.exit(1 if missed else 0)
PY
if [ "$status" -ne 0 ]; then
    echo "codecs: FAILED (a target was missed or a decoder failed: see above)"
    exit 1
fi
echo "codecs: every target met"
