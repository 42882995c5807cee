#!/usr/bin/env bash
# Takes screenshots of Vexil's main window on a private X server (Xvfb): the window as it
# opens, then with its Picture and Help menus dropped down, and its about box.
# usage: tools/screenshot.sh [--picture FILE | --demo | --secure]
#                            [--thumbnails] [--fit] [--fullscreen] [BUILD_DIR] [OUT_DIR]
# VEXIL_HOME and VEXIL_REGISTRY are honoured; without them a fresh temporary pair is used,
# so the screenshot shows a first start. --picture puts FILE into the picture folder
# before the start, so that Vexil shows it, and takes picture-shown.png and the slide-show
# dialog instead. --demo starts Vexil as tools/run.sh does, on a fresh demo news server
# of its own (tools/demo-server.sh), makes the window larger, ticks Auto Size Pictures,
# presses Go and takes the screen and the window alone (demo-window.png, the README's
# picture) once the pictures have arrived, then each tab of the setup dialog. --secure
# starts a private INN with TLS (tools/inn/start-inn --tls) without giving Vexil its test
# CA, sets the server to its nntps:// address with the overview walk on, takes each tab of
# the setup dialog, then presses Go and takes the question whether to trust the
# certificate that failed its check.
# --thumbnails, --fit and --fullscreen each run the demo (and may be combined) with a view of
# their own instead of the setup tabs: --thumbnails shows the thumbnail strip before Go and
# takes it while the pictures arrive (thumbnails-during-go.png) and after; --fit ticks Fit to
# Window instead of Auto Size Pictures in a smaller window; --fullscreen takes the first
# picture and the next in full screen (fullscreen.png, fullscreen-next.png). The window after the run
# is named after the views: thumbnails-window.png, fit-window.png, thumbnails-fit-window.png.
set -euo pipefail
picture="" demo="" secure="" thumbnails="" fit="" fullscreen=""
while [ $# -gt 0 ]; do
    case $1 in
        --picture) picture=$(realpath "$2"); shift 2 ;;
        --demo) demo=yes; shift ;;
        --secure) secure=yes; shift ;;
        --thumbnails) thumbnails=yes demo=yes; shift ;;
        --fit) fit=yes demo=yes; shift ;;
        --fullscreen) fullscreen=yes demo=yes; shift ;;
        *) break ;;
    esac
done
# The name of the demo's shots of the window: the views they show.
views=${thumbnails:+thumbnails-}${fit:+fit-}
views=${views%-}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
exe="$build/app/vexil"
[ -x "$exe" ] || { echo "no $exe: build first"; exit 1; }

work=$(mktemp -d)
if [ -n "$demo" ]; then
    echo "starting the demo's news server"
    address=$(bash "$root/tools/demo-server.sh" start "$work/demo" "$build" --fresh)
    echo "demo server $address"
    export VEXIL_HOME=$work/demo/home VEXIL_REGISTRY=$work/demo/registry.sqlite3
fi
proxy_pid=""
if [ -n "$thumbnails" ]; then
    # On loopback the whole demo arrives within a second; a longer path lets the shot catch
    # the strip filling in.
    for program in latency-proxy vexil-settings; do
        [ -x "$build/tools/$program" ] || { echo "no $build/tools/$program: build first"; exit 1; }
    done
    "$build/tools/latency-proxy" --target "$address" --delay-ms 15 --lifetime 600 --idle 60 \
        >"$work/proxy.port" 2>"$work/proxy.err" &
    proxy_pid=$!
    for _ in $(seq 100); do [ -s "$work/proxy.port" ] && break; sleep 0.05; done
    [ -s "$work/proxy.port" ] || { echo "the latency proxy did not start"; cat "$work/proxy.err"; exit 1; }
    "$build/tools/vexil-settings" set Server "127.0.0.1:$(head -n 1 "$work/proxy.port")"
fi
if [ -n "$secure" ]; then
    # innd runs as user news and must reach its folder.
    chmod 755 "$work"
    mapfile -t inn < <(bash "$root/tools/inn/start-inn" "$work/inn" --port 0 --tls 2>"$work/inn.log")
    [ -n "${inn[1]:-}" ] || { echo "the private INN did not start"; cat "$work/inn.log"; exit 1; }
    bash "$root/tools/inn/add-group" "$work/inn" alt.binaries.pictures.test 2>>"$work/inn.log"
    export VEXIL_HOME=$work/home VEXIL_REGISTRY=$work/registry.sqlite3
    # Only the system's authorities: the test CA's certificate must fail its check.
    unset SSL_CERT_FILE SSL_CERT_DIR
    settings="$build/tools/vexil-settings"
    [ -x "$settings" ] || { echo "no $settings: build first"; exit 1; }
    "$settings" set Server "nntps://127.0.0.1:${inn[1]}"
    "$settings" set UseTLS 1
    "$settings" set UseOverview 1
    "$settings" set ArticlesAtOnce 16
fi
export VEXIL_HOME=${VEXIL_HOME:-$work/home}
export VEXIL_REGISTRY=${VEXIL_REGISTRY:-$work/registry.sqlite3}
mkdir -p "$VEXIL_HOME"
[ -z "$secure" ] || printf 'alt.binaries.pictures.test\r\n' >"$VEXIL_HOME/Vexil.Dat"
if [ -n "$picture" ]; then
    mkdir -p "$VEXIL_HOME/TEMP"
    cp "$picture" "$VEXIL_HOME/TEMP/"
fi

# A display number nobody else uses: other engineers run servers here at the same time.
display=""
for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display"; exit 1; }

xvfb_pid="" vexil_pid=""
cleanup() {
    [ -n "$vexil_pid" ] && kill "$vexil_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
    [ -z "$demo" ] || bash "$root/tools/demo-server.sh" remove "$work/demo" || true
    [ -z "$secure" ] || bash "$root/tools/inn/stop-inn" "$work/inn" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

QT_QPA_PLATFORM=xcb "$exe" >"$work/vexil.log" 2>&1 &
vexil_pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Vexil - Image Browser$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "Vexil's window did not appear"; cat "$work/vexil.log"; exit 1; }
sleep 1
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" || true
sleep 0.5

shot() {
    import -window "${2:-root}" "$out/$1.png"
    echo "wrote $out/$1.png"
}
# setup_tabs PREFIX: opens Setup (the fifth tool button; it opens on the Server tab), takes
# each tab and closes it.
setup_tabs() {
    xdotool mousemove --window "$window" 218 75 click 1
    sleep 1.5
    for tab in server smart-download advanced login; do
        shot "$1-$tab"
        xdotool key ctrl+Tab
        sleep 0.7
    done
    xdotool key Escape
    sleep 0.5
}
# Prints how many files the picture folder holds.
pictures() { find "$VEXIL_HOME/TEMP" -type f 2>/dev/null | wc -l; }
if [ -n "$demo" ]; then
    # Room for a whole picture, each fitted to the window as it is shown; for Fit to Window
    # less room than the demo's photographs need, so that it has something to do.
    size="880 700"
    [ -z "$fit" ] || size="640 520"
    # shellcheck disable=SC2086
    xdotool windowsize --sync "$window" $size || xdotool windowsize "$window" $size
    xdotool windowmove "$window" 72 34
    sleep 0.5
    # Auto Size Pictures is the sixth entry of the Picture menu, which opens on the first;
    # Fit to Window comes next.
    xdotool key --clearmodifiers alt+p
    sleep 0.5
    if [ -n "$fit" ]; then
        xdotool key Down Down Down Down Down Down Return
    else
        xdotool key Down Down Down Down Down Return
    fi
    sleep 0.3
    if [ -n "$thumbnails" ]; then
        xdotool key --clearmodifiers ctrl+t
        sleep 0.5
    fi
    # Go is the first tool button, below the caption bar and the menu.
    xdotool mousemove --window "$window" 30 75 click 1
    # The run is over once no picture has come for two seconds.
    count=-1 still=0 during=""
    for _ in $(seq 120); do
        sleep 0.5
        now=$(pictures)
        if [ "$now" = "$count" ] && [ "$now" -gt 0 ]; then still=$((still + 1)); else still=0; fi
        count=$now
        # A few thumbnails in, with more to come: the strip filling in.
        if [ -n "$thumbnails" ] && [ -z "$during" ] && [ "$now" -ge 4 ]; then
            shot thumbnails-during-go "$window"
            during=yes
        fi
        [ $still -ge 4 ] && break
    done
    echo "$count pictures arrived"
    if [ -z "$views" ] && [ -z "$fullscreen" ]; then
        shot demo-after-go
        shot demo-window "$window"
        setup_tabs setup
        exit 0
    fi
    [ -z "$views" ] || shot "$views-window" "$window"
    if [ -n "$fullscreen" ]; then
        # Full Screen's own key; the arrow keys step through the pictures there.
        xdotool key --clearmodifiers F11
        sleep 0.5
        # No window manager runs here to give a full-screen window the screen: do its part.
        xdotool windowmove "$window" 0 0
        xdotool windowsize --sync "$window" 1024 768 || xdotool windowsize "$window" 1024 768
        sleep 1
        shot fullscreen
        xdotool key Right
        sleep 1
        shot fullscreen-next
        xdotool key Escape
        sleep 0.5
    fi
    exit 0
fi
if [ -n "$secure" ]; then
    setup_tabs setup-secure
    # Go, the first tool button: the certificate check fails and Vexil asks.
    xdotool mousemove --window "$window" 30 75 click 1
    sleep 3
    shot certificate-question
    # No: the certificate is not trusted, and the run ends with the reason.
    xdotool key Escape
    sleep 1
    shot certificate-refused
    xdotool key Escape
    sleep 0.3
    exit 0
fi
if [ -n "$picture" ]; then
    shot picture-shown
    # Slide Show... is the fifth entry of the Picture menu, which opens on the first.
    xdotool key --clearmodifiers alt+p
    sleep 0.5
    xdotool key Down Down Down Down
    sleep 0.3
    shot picture-menu
    xdotool key Return
    sleep 1
    shot slide-show
    xdotool key Escape
    sleep 0.3
    exit 0
fi
shot main-window
for menu in p h; do
    xdotool key --clearmodifiers "alt+$menu"
    sleep 0.7
    shot "main-window-menu-$menu"
    xdotool key Escape
    sleep 0.3
done
# The about box, from the Help menu.
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key a
sleep 1
shot about-box
xdotool key Escape
sleep 0.3
