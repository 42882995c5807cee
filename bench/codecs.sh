#!/usr/bin/env bash
# Runs the codec benchmark and, in the same run and on the same 16 MB base64 payload (lines
# of 76 characters), coreutils `base64 -d`; prints both speeds and their ratio.
# usage: bench/codecs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bench="$build/bench/bench_codecs"
[ -x "$bench" ] || { echo "no $bench: build the benchmarks first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
payload="$work/payload.b64"
head -c $((12 * 1024 * 1024)) /dev/urandom | base64 -w 76 >"$payload"

echo "== Vexil's decoders (Google Benchmark)"
VEXIL_BENCH_BASE64="$payload" "$bench" --benchmark_out="$work/vexil.json" \
    --benchmark_out_format=json
/usr/bin/python3 - "$payload" "$work/vexil.json" <<'PY'
import json, os, subprocess, sys, time
payload, result = sys.argv[1], sys.argv[2]
size = os.path.getsize(payload)
runs = json.load(open(result))["benchmarks"]
vexil = next(r["bytes_per_second"] for r in runs if r["name"].startswith("BM_Base64Decode/"))
best = None
with open(os.devnull, "wb") as null:
    for _ in range(7):
        start = time.perf_counter()
        subprocess.run(["base64", "-d", payload], stdout=null, check=True)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
peer = size / best
mb = 1024 * 1024
print(f"\n== base64 line decoding, {size / mb:.1f} MB of 76-character lines")
print(f"Vexil Base64Decode  {vexil / mb:8.1f} MB/s")
print(f"coreutils base64 -d {peer / mb:8.1f} MB/s (best of 7 runs, whole process)")
print(f"ratio Vexil / base64 -d: {vexil / peer:.2f} (target >= 1.0)")
PY
