#!/usr/bin/env bash
# Builds the Debian package of Vexil and checks what it holds.
#
# usage: tools/package.sh [BUILD_DIR]
#
# Configures BUILD_DIR (build-package/ by default) without tests and benchmarks, builds it,
# runs `cpack -G DEB` there and prints the path of vexil_VERSION_ARCH.deb; install it with
# `apt install ./build-package/vexil_*.deb`. Its dependencies come from dpkg-shlibdeps.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
out=$(realpath -m "${1:-$root/build-package}")

bash "$root/tools/install-deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXIL_TESTS=OFF \
    -DVEXIL_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$out" -j "$(nproc)"
rm -f "$out"/vexil_*.deb
(cd "$out" && cpack -G DEB >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }

deb=$(echo "$out"/vexil_*.deb)
[ -f "$deb" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/vexil ./usr/lib/vexil/libvxwsock.so ./usr/share/applications/org.example.Vexil.desktop \
    ./usr/share/metainfo/org.example.Vexil.metainfo.xml ./usr/share/doc/vexil/index.html; do
    grep -q " $f\$" <<<"$contents" || { echo "package.sh: $deb lacks $f" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "$lib" <<<"$depends" || { echo "package.sh: $deb does not depend on $lib: $depends" >&2; exit 1; }
done
echo "$deb"
