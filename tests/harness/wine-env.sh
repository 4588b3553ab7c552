#!/usr/bin/env bash
# Starts or stops the shared test environment of one build tree: an Xvfb display on a free
# number and a Wine prefix (64-bit with 32-bit support) kept on tmpfs and linked from the build
# tree as wineprefix. Never touches ~/.wine.
#   wine-env.sh start BUILD_DIR    create the prefix if needed, start Xvfb and a wineserver
#   wine-env.sh stop BUILD_DIR     stop the wineserver and Xvfb started by "start"
set -euo pipefail
action=$1
build=$(cd "$2" && pwd)
state=$build/harness
mkdir -p "$state"
export WINEDEBUG=-all WINEARCH=win64
prefix_link=$build/wineprefix

prefix_path() {
    local base=/dev/shm
    [ -d "$base" ] && [ -w "$base" ] || base=$build
    echo "$base/tessarin-wine-$(printf '%s' "$build" | md5sum | cut -c1-12)"
}

start_xvfb() {
    if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
        return
    fi
    rm -f "$state/display"
    local fifo=$state/displayfd
    rm -f "$fifo"; mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    local display
    read -r -t 30 display <"$fifo"
    rm -f "$fifo"
    echo ":$display" >"$state/display"
}

case $action in
start)
    start_xvfb
    export DISPLAY=$(cat "$state/display")
    prefix=$(prefix_path)
    ln -sfn "$prefix" "$prefix_link"
    export WINEPREFIX=$prefix
    if [ ! -f "$prefix/.tessarin-ready" ]; then
        rm -rf "$prefix"
        # No network here: skip the Mono and Gecko download prompts.
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.tessarin-ready"
    fi
    # A persistent server keeps every later wine start fast.
    wineserver -p >/dev/null 2>&1 </dev/null || true  # already running is fine
    # Start the prefix's services and desktop now, with their output going nowhere: started
    # later by a test, they would inherit and hold open the test runner's output pipe.
    wine wineboot >/dev/null 2>&1 </dev/null
    if [ -f "$build/desktop_keeper.exe" ] && ! pgrep -f 'desktop_keeper.exe' >/dev/null; then
        nohup wine "$build/desktop_keeper.exe" >/dev/null 2>&1 </dev/null &
    fi
    echo "wine prefix $prefix, display $DISPLAY"
    ;;
stop)
    if [ -e "$prefix_link" ]; then
        export WINEPREFIX=$(readlink -f "$prefix_link")
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    ;;
*)
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
