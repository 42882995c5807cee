#!/usr/bin/env bash
# Installs everything Vexil needs to build, test, benchmark and run on Debian.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ clang libclang-rt-14-dev lld pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  qt6-base-dev qt6-image-formats-plugins libsqlite3-dev libjpeg62-turbo-dev
  libgraphicsmagick++1-dev
  # the login password in the desktop's keyring (QtKeychain over the Secret Service, whose
  # libsecret it loads at run time); the keyring tests' own Secret Service and session bus
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon python3-dbus python3-gi
  # system data
  media-types netbase
  # screens for looking at the GUI
  xvfb xauth x11-apps x11-utils xdotool imagemagick
  # the accessibility bus and a screen reader's view of it, for the window's bus test
  dbus-daemon at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  # objcopy gives test programs a version block section
  binutils
  # peers and article makers used by tests and benchmarks
  sharutils mpack uudeview libgif-dev giflib-tools libjpeg-turbo-progs
  python3 python3-pil time
  # certificates of the private news server's TLS port (tools/inn/make-test-certs)
  openssl
  # the installed program: bitmap icons drawn from the SVG, the validators of the desktop
  # entry and the metainfo, dpkg-shlibdeps for the Debian package
  librsvg2-bin desktop-file-utils appstream dpkg-dev
  # Python's own e-mail test messages, decoded by a test beside Python's email package
  libpython3.11-testsuite
  # the in-memory base64 peer of bench/codecs.sh (OpenSSL's EVP decoder)
  libssl-dev
  # yEnc encoders that the yEnc tests decode; zlib to check the CRCs against and for
  # compressed news connections
  python3-yenc python3-sabyenc zlib1g-dev
  # the NZB downloader that bench/yenc-peers.sh runs beside Vexil
  nzbget
  # photographs (GPL-2+) that the demo's news server posts as its pictures
  mate-backgrounds
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends "${missing[@]}" ||
    { apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

# The private news server of the integration tests: INN, installed without starting the
# system's own server.
bash "$(dirname "$0")/inn/install-inn"
