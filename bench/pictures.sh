#!/usr/bin/env bash
# Runs the picture benchmarks, each beside its peer in the same run, and prints the ratios:
#   gif_bench           TGif against giflib on the same GIF87a files (target >= 1.0)
#   jpeg_bench          TJPEGImage against djpeg on a 1.8 MB, 3000 x 2000 JPEG (target >= 0.9)
#   show_picture_bench  ShowCurrentPicture of a 2 MB JPEG against a bare GraphicsMagick
#                       decode (target >= 0.8)
# Each runs five times, ours and the peer's interleaved, and the ratio is that of the
# medians: the machine may be shared.
# usage: bench/pictures.sh [BUILD_DIR]   (default: build; REPETITIONS=n to change the five)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
for bench in gif_bench jpeg_bench show_picture_bench; do
    exe="$build/bench/$bench"
    [ -x "$exe" ] || { echo "no $exe: build the benchmarks first" >&2; exit 1; }
    echo "== $bench"
    QT_QPA_PLATFORM=offscreen "$exe" --benchmark_color=false \
        --benchmark_repetitions="${REPETITIONS:-5}" --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true
done
