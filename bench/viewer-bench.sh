#!/usr/bin/env bash
# Start-up of the main window with the thumbnail strip ticked over a picture folder that
# already holds PICTURES JPEGs (about 1600 x 1200 each), on Qt's offscreen platform
# (bench/ThumbnailStartDriver.cpp). Two starts over the same folder: the first with an empty
# thumbnail cache, the second with the cache the first left. Each is timed from the start of
# the program's main until the window lists every picture, and until every thumbnail in
# sight is made. Targets: the list under 1 s, the thumbnails in sight under 5 s on the first
# start and under 1 s on the cached one. Then Forward over 2 MB JPEGs (bench/ForwardDriver.cpp),
# with the next picture decoded ahead and without: target under 50 ms with it, for the slowest
# step. Exits non-zero when a target is missed, a driver fails, or a thumbnail in sight comes
# out broken.
# usage: bench/viewer-bench.sh [BUILD_DIR] [PICTURES]
#        (VEXIL_BENCH_TARGET_FACTOR=f divides every time limit: a larger factor is stricter)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
pictures=${2:-2000}
factor=${VEXIL_BENCH_TARGET_FACTOR:-1}
driver="$build/bench/thumbnail_start_driver"
forward_driver="$build/bench/forward_driver"
for exe in "$driver" "$forward_driver"; do
    [ -x "$exe" ] || {
        echo "build $exe first (cmake --build $build --target $(basename "$exe"))"
        exit 1
    }
done

work=$(mktemp -d /tmp/vexil-viewer-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/TEMP" "$work/cache" "$work/state"

echo "== writing $pictures pictures"
# A few distinct pictures, copied under every name: each name is its own cache entry, and
# the decoding costs what it would for as many different photographs.
/usr/bin/python3 - "$work/home/TEMP" "$pictures" <<'PY'
import os, shutil, sys
from PIL import Image, ImageDraw
folder, count = sys.argv[1], int(sys.argv[2])
originals = []
for i in range(8):
    image = Image.effect_noise((1600, 1200), 40 + 10 * i).convert("RGB")
    draw = ImageDraw.Draw(image)
    for k in range(0, 1600, 80):
        draw.rectangle([k, (k * (i + 3)) % 1200, k + 60, 1199], fill=(k % 256, 40 * i % 256, 120))
    path = os.path.join(folder, "original%d.jpg" % i)
    image.save(path, quality=90)
    originals.append(path)
for n in range(count):
    shutil.copyfile(originals[n % len(originals)], os.path.join(folder, "pic%05d.jpg" % n))
for path in originals:
    os.remove(path)
PY

run() {
    VEXIL_HOME="$work/home/" VEXIL_REGISTRY="$work/registry.sqlite3" XDG_STATE_HOME="$work/state" \
        XDG_CACHE_HOME="$work/cache" QT_QPA_PLATFORM=offscreen "$driver" "$pictures"
}

echo "== first start (empty thumbnail cache)"
first=$(run) || { echo "the first start failed"; exit 1; }
echo "$first"
cached_files=$(find "$work/cache/vexil/thumbnails" -name '*.png' | wc -l)
echo "   thumbnails in the cache: $cached_files"
echo "== second start (cached thumbnails)"
second=$(run) || { echo "the second start failed"; exit 1; }
echo "$second"

status=0
/usr/bin/python3 - "$first" "$second" "$factor" "$pictures" "$cached_files" <<'PY' || status=1
import json, sys
first, second = json.loads(sys.argv[1]), json.loads(sys.argv[2])
factor, pictures, cached = float(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
checks = [
    ("first start: window lists every picture", first["window_ms"], 1000),
    ("first start: thumbnails in sight", first["visible_thumbnails_ms"], 5000),
    ("cached start: window lists every picture", second["window_ms"], 1000),
    ("cached start: thumbnails in sight", second["visible_thumbnails_ms"], 1000),
]
failed = False
for name, ms, target in checks:
    limit = target / factor
    verdict = "ok" if ms < limit else "MISSED"
    failed |= ms >= limit
    print("%-44s %6d ms (target < %g ms) %s" % (name, ms, limit, verdict))
for run in (first, second):
    if run["pictures"] != pictures or run["broken"] != 0 or run["in_sight"] == 0:
        print("wrong run: %s" % run)
        failed = True
if cached < first["in_sight"]:
    print("the first start cached %d thumbnails, fewer than the %d in sight" % (cached, first["in_sight"]))
    failed = True
sys.exit(1 if failed else 0)
PY

echo "== Forward over 2 MB JPEGs"
forward=$(QT_QPA_PLATFORM=offscreen "$forward_driver" 2>/dev/null) || {
    echo "the Forward driver failed: $forward"
    exit 1
}
echo "$forward"
/usr/bin/python3 - "$forward" "$factor" <<'PY' || status=1
import json, sys
run, factor = json.loads(sys.argv[1]), float(sys.argv[2])
limit = 50 / factor
ms = run["with_max_ms"]
print("%-44s %6.1f ms (target < %g ms) %s" % ("Forward, decoded ahead (slowest step)", ms, limit,
                                              "ok" if ms < limit else "MISSED"))
print("%-44s %6.1f ms" % ("Forward, not decoded ahead (median)", run["without_median_ms"]))
sys.exit(0 if ms < limit and run["shown"] else 1)
PY
exit $status
