#!/usr/bin/env bash
# Runs the picture benchmarks, each beside its peer in the same process and run, and prints
# the ratios:
#   gif_bench           TGif against giflib on the same GIF87a files (target >= 1.0)
#   jpeg_bench          TJPEGImage against libjpeg-turbo's own API on the same bytes of a
#                       1.8 MB, 3000 x 2000 JPEG (target >= 0.9); djpeg as a whole process
#                       beside them for information, without a target
#   show_picture_bench  ShowCurrentPicture of a 2 MB JPEG against a bare GraphicsMagick
#                       decode (target >= 0.9)
# Each runs five times, ours and the peer's interleaved, and the ratio is that of the
# medians: the machine may be shared. Exits non-zero, naming the benchmark, when a target is
# missed or a case fails.
# usage: bench/pictures.sh [BUILD_DIR]   (default: build; REPETITIONS=n to change the five;
#        VEXIL_BENCH_TARGET_FACTOR=f multiplies every target)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
benches=(gif_bench jpeg_bench show_picture_bench)
for bench in "${benches[@]}"; do
    [ -x "$build/bench/$bench" ] || { echo "no $build/bench/$bench: build the benchmarks first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()
for bench in "${benches[@]}"; do
    echo "== $bench"
    mkdir -p "$work/$bench"
    TMPDIR="$work/$bench" QT_QPA_PLATFORM=offscreen "$build/bench/$bench" --benchmark_color=false \
        --benchmark_repetitions="${REPETITIONS:-5}" --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true || failed+=("$bench")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "pictures: FAILED in ${failed[*]} (a target was missed or a case failed: see above)"
    exit 1
fi
echo "pictures: every target met"
