#!/usr/bin/env bash
# The demo's news server: a private INN on 127.0.0.1 holding sample picture groups, and a
# program folder and settings store for Vexil that point at it.
#
# usage: tools/demo-server.sh start DEMO_DIR [BUILD_DIR] [--fresh]
#        tools/demo-server.sh stop|remove DEMO_DIR
#
# start makes sure the server runs (started anew when it was stopped; the groups are
# generated and posted only the first time) on the port it had before (DEMO_DIR/port; a new
# one only when another program holds it), stores its address as the "Server" setting in
# DEMO_DIR/registry.sqlite3, lists the demo groups in DEMO_DIR/home/Vexil.Dat when that file
# is missing, and prints the address (127.0.0.1:PORT). --fresh starts everything anew: a new
# server, an empty picture folder and fresh settings, so that Go fetches every picture again.
# A demo whose groups were posted by another version of this script (other sets, or pictures
# from another source) starts anew in the same way, saying so.
#
# The pictures are cut from the photographs of Debian's mate-backgrounds (its nature folder,
# GPL-2+), which tools/install-deps.sh installs, or from those of VEXIL_DEMO_PHOTOS; without
# them they are generated.
# stop ends the server; its groups stay for the next start. remove ends it and deletes its
# folder with the groups.
#
# Run as root: INN is installed when missing and runs as user news. The server's own folder
# lives under /tmp (innd must be able to reach it); DEMO_DIR/inn-dir names it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
py=/usr/bin/python3

usage() {
    echo "usage: demo-server.sh start DEMO_DIR [BUILD_DIR] [--fresh] | stop|remove DEMO_DIR" >&2
    exit 2
}

# The groups of the demo: name, then the sets of tools/make-articles.py, then the seed. New
# sets go at the end, so that a server posted to before keeps its articles and gets the rest.
groups=(
    "alt.binaries.pictures.demo|pictures:12:60 sample pictures:10:60 yenc:8:60 yparts:4:180:3|11"
    "alt.binaries.pictures.demo.scenery|pictures:8:80 yenc:4:80 yparts:3:240:2|12"
)
photos=${VEXIL_DEMO_PHOTOS:-/usr/share/backgrounds/mate/nature}

have_photos() {
    [ -n "$(find "$photos" -maxdepth 1 -type f -iregex '.*\.\(jpe?g\|png\)' -print -quit 2> /dev/null)" ]
}

# What DEMO_DIR's server folder records of a posted group: its entry, and where its pictures
# came from (nothing added for generated ones, as before there were photographs).
posted_key() {
    if have_photos; then echo "$1|photos"; else echo "$1"; fi
}

# True when the server folder holds a group posted otherwise than the groups above would be.
demo_changed() {
    local posted=$1/demo-posted line entry
    [ -f "$posted" ] || return 1
    while IFS= read -r line; do
        for entry in "${groups[@]}"; do
            [ "$line" = "$(posted_key "$entry")" ] && continue 2
        done
        return 0
    done < "$posted"
    return 1
}

inn_dir() {
    local file=$demo/inn-dir dir
    if [ -f "$file" ] && dir=$(cat "$file") && [[ $dir == /tmp/vexil-demo-inn.* ]] && [ -d "$dir" ]; then
        echo "$dir"
        return
    fi
    dir=$(mktemp -d /tmp/vexil-demo-inn.XXXXXX)
    chmod 755 "$dir"
    echo "$dir" > "$file"
    echo "$dir"
}

# Posts each group once per server folder: a server started anew keeps its articles.
post_groups() {
    local inn=$1 entry name sets seed key source=() told=no
    if have_photos; then source=(--photos "$photos"); fi
    for entry in "${groups[@]}"; do
        IFS='|' read -r name sets seed <<< "$entry"
        key=$(posted_key "$entry")
        grep -qxF "$key" "$inn/demo-posted" 2>/dev/null && continue
        if [ ${#source[@]} -eq 0 ] && [ $told = no ]; then
            echo "demo-server: no photographs in $photos (package mate-backgrounds):" \
                "the demo posts generated pictures" >&2
            told=yes
        fi
        local articles=$demo/articles/$name
        rm -rf "$articles"
        # shellcheck disable=SC2086
        "$py" "$root/tools/make-articles.py" "$articles" --group "$name" --seed "$seed" \
            --prefix vexil-demo "${source[@]}" $sets > /dev/null
        bash "$here/inn/add-group" "$inn/server" "$name" 2> /dev/null
        bash "$here/inn/post-article" "$inn/server" "$articles"/[0-9]*.txt > /dev/null
        echo "$key" >> "$inn/demo-posted"
        echo "demo-server: posted $(ls "$articles"/[0-9]*.txt | wc -l) articles to $name" >&2
    done
}

start() {
    local build=$1 fresh=$2
    local settings=$build/tools/vexil-settings
    [ -x "$settings" ] || { echo "demo-server: no $settings: build first" >&2; exit 1; }
    exec 9> "$demo/lock"
    flock 9
    if [ "$fresh" = no ] && [ -f "$demo/inn-dir" ] && demo_changed "$(cat "$demo/inn-dir")"; then
        echo "demo-server: the demo's groups have changed since they were posted:" \
            "it starts anew, as with --fresh" >&2
        fresh=yes
    fi
    if [ "$fresh" = yes ]; then
        remove
        rm -rf "$demo/home" "$demo/registry.sqlite3"
    fi
    mkdir -p "$demo/home"
    local inn port
    inn=$(inn_dir)
    port=$(start_server "$inn/server")
    post_groups "$inn"
    if [ ! -f "$demo/home/Vexil.Dat" ]; then
        local entry
        for entry in "${groups[@]}"; do echo "${entry%%|*}"; done > "$demo/home/Vexil.Dat"
    fi
    VEXIL_REGISTRY=$demo/registry.sqlite3 "$settings" set Server "127.0.0.1:$port"
    echo "127.0.0.1:$port"
}

# Starts the server on the port of the last start, so that the Smart Download memory, which
# is named after server and port, still matches; another port only when that one is taken.
start_server() {
    local server=$1 saved port
    saved=$(cat "$demo/port" 2> /dev/null) || saved=
    [[ $saved =~ ^[0-9]+$ ]] || saved=0
    # innd outlives this script: it must not inherit the lock.
    if [ "$saved" = 0 ] ||
        ! port=$(bash "$here/inn/start-inn" "$server" --port "$saved" 2> "$demo/start-inn.log" 9>&-); then
        [ "$saved" = 0 ] || echo "demo-server: port $saved is not free; the demo moves to another" >&2
        port=$(bash "$here/inn/start-inn" "$server" --port 0 2> "$demo/start-inn.log" 9>&-) || {
            cat "$demo/start-inn.log" >&2
            exit 1
        }
    fi
    echo "$port" > "$demo/port"
    echo "$port"
}

stop() {
    [ -f "$demo/inn-dir" ] || return 0
    local inn
    inn=$(cat "$demo/inn-dir")
    [ -d "$inn/server" ] || return 0
    bash "$here/inn/stop-inn" "$inn/server" > /dev/null 2>&1
}

# Stops the server and removes its folder with its groups.
remove() {
    stop
    local inn
    inn=$(cat "$demo/inn-dir" 2> /dev/null) || return 0
    case $inn in /tmp/vexil-demo-inn.*) rm -rf "$inn" ;; esac
    rm -f "$demo/inn-dir" "$demo/port"
}

[ $# -ge 2 ] || usage
action=$1
demo=$2
shift 2
case $action in
    start)
        build=$root/build fresh=no
        for arg in "$@"; do
            case $arg in
                --fresh) fresh=yes ;;
                -*) usage ;;
                *) build=$arg ;;
            esac
        done
        mkdir -p "$demo"
        demo=$(cd "$demo" && pwd)
        start "$(cd "$build" && pwd)" "$fresh"
        ;;
    stop | remove)
        [ $# -eq 0 ] || usage
        [ -d "$demo" ] || exit 0
        demo=$(cd "$demo" && pwd)
        $action
        ;;
    *) usage ;;
esac
