#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed vexil on a private X
# server for a user with an empty home and nothing but HOME, PATH and DISPLAY set; Alt+X
# closes it. Checks that its folders were made in the home, that nothing was written below
# the prefix, and that the desktop entry and the metainfo pass their validators.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail

build=$1
work=$(mktemp -d /tmp/vexil-install-test.XXXXXX)
prefix=$work/prefix
home=$work/home
mkdir -p "$home"

xvfb_pid="" vexil_pid=""
cleanup() {
    [ -n "$vexil_pid" ] && kill "$vexil_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $log"; tail -n 30 "$log"; }
    done
    exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log"
    fail "cmake --install"
}
for f in bin/vexil bin/vexil-decode bin/vexil-nntp bin/vexil-gif2bmp bin/vexil-settings \
    lib/vexil/libvxwsock.so share/doc/vexil/index.html share/doc/vexil/help.html \
    share/icons/hicolor/scalable/apps/vexil.svg share/icons/hicolor/48x48/apps/vexil.png; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
[ ! -e "$prefix/bin/vexil-build-tree" ] || fail "the build-tree marker was installed"
[ ! -e "$prefix/bin/libvxwsock.so" ] || fail "the socket library is still installed into bin/"

# Every link of the manual leads to a page, and an anchor to an id, that exists.
for page in "$prefix"/share/doc/vexil/*.html; do
    for link in $(grep -o 'href="[^"]*"' "$page" | sed 's/^href="//; s/"$//'); do
        file=${link%%#*} anchor=""
        [[ $link == *#* ]] && anchor=${link#*#}
        target=$(dirname "$page")/${file:-$(basename "$page")}
        [ -f "$target" ] || fail "$(basename "$page") links to $link, which is not installed"
        [ -z "$anchor" ] || grep -q "id=\"$anchor\"" "$target" || fail "$(basename "$page") links to $link, which has no such id"
    done
done

desktop=$(echo "$prefix"/share/applications/*.desktop)
metainfo=$(echo "$prefix"/share/metainfo/*.metainfo.xml)
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
HOME=$work/validator appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"

# The installed tools find the socket library in lib/vexil/: a refused connection, not a
# missing library, ends this one.
nntp=$(env -i HOME="$home" PATH=/usr/bin:/bin "$prefix/bin/vexil-nntp" --server 127.0.0.1:1 --timeout 5 list 2>&1 || true)
grep -q "Connection refused" <<<"$nntp" || fail "the installed vexil-nntp: $nntp"
rm -rf "${home:?}"/* "$home"/.[!.]*

listing() { find "$prefix" -printf '%p %y %s %T@\n' | sort; }
listing >"$work/before"

# Xvfb picks a free display itself: other test runs start X servers at the same time.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 100); do
    display=$(cat "$work/display" 2>/dev/null || true)
    [ -n "$display" ] && break
    sleep 0.1
done
[ -n "$display" ] || {
    cat "$work/xvfb.log"
    fail "Xvfb did not start"
}
display=:$display

# The installed program is found on PATH, as a desktop's menu would start it.
env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" DISPLAY="$display" \
    vexil >"$work/vexil.log" 2>&1 &
vexil_pid=$!
window=""
for _ in $(seq 150); do
    window=$(DISPLAY=$display xdotool search --name '^Vexil - Image Browser$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$vexil_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$window" ] || {
    cat "$work/vexil.log"
    fail "Vexil's window did not appear"
}
sleep 0.5
DISPLAY=$display xdotool windowfocus --sync "$window" || true
DISPLAY=$display xdotool key --clearmodifiers alt+x
for _ in $(seq 100); do
    kill -0 "$vexil_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$vexil_pid" 2>/dev/null; then
    fail "Alt+X did not close Vexil"
fi
status=0
wait "$vexil_pid" || status=$?
vexil_pid=""
[ "$status" -eq 0 ] || {
    cat "$work/vexil.log"
    fail "vexil exited with $status"
}

[ -d "$home/.local/share/vexil/TEMP" ] || fail "no picture folder in ~/.local/share/vexil/TEMP/"
[ -f "$home/.config/vexil/registry.sqlite3" ] || fail "no settings in ~/.config/vexil/registry.sqlite3"
listing >"$work/after"
diff -u "$work/before" "$work/after" || fail "the run changed files below the prefix"
echo "installed vexil ran for a fresh user and left the prefix as installed"
