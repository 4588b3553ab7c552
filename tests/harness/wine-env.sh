#!/usr/bin/env bash
# Starts or stops the shared test environment of one build tree: an Xvfb display on a free
# number and a Wine prefix (64-bit with 32-bit support) kept on tmpfs and linked from the build
# tree as wineprefix. Never touches ~/.wine.
#   wine-env.sh fresh BUILD_DIR    start with a pristine prefix (a test run begins with this)
#   wine-env.sh start BUILD_DIR    start, keeping the tree's prefix when it is ready
#   wine-env.sh stop BUILD_DIR     stop the wineserver and Xvfb started by "start", and remove
#                                  the tree's prefix (TESSARIN_KEEP_PREFIX=1 keeps it)
#
# A prefix is created once per machine and Wine version, with the 64-bit loader (which every
# machine can execute), and kept as a template; each build tree gets a copy of it, so the
# 32-bit and the 64-bit tree of one run start from the same clean system.
set -euo pipefail
action=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
state=$build/harness
mkdir -p "$state"
export WINEDEBUG=-all WINEARCH=win64
prefix_link=$build/wineprefix
wine64=$("$here/wine-loader.sh" 64)

tmp_base() {
    local base=/dev/shm
    [ -d "$base" ] && [ -w "$base" ] || base=$build
    echo "$base"
}

prefix_path() {
    echo "$(tmp_base)/tessarin-wine-$(printf '%s' "$build" | md5sum | cut -c1-12)"
}

# Raise when the way the template is made changes, so that machines make it anew.
TEMPLATE_FORMAT=3

template_path() {
    local key
    key=$({ "$wine64" --version; echo "$TEMPLATE_FORMAT"; } | md5sum | cut -c1-12)
    echo "$(tmp_base)/tessarin-wine-template-$key"
}

# Creates the template prefix unless it exists; several trees may ask at once.
ensure_template() {
    local template=$1
    exec 9>"$template.lock"
    flock 9
    if [ ! -f "$template/.tessarin-ready" ]; then
        rm -rf "$template"
        # No network here: skip the Mono and Gecko download prompts.
        WINEPREFIX=$template WINEDLLOVERRIDES="mscoree,mshtml=" "$wine64" wineboot -i \
            >/dev/null 2>&1
        # What installations make for the user stays in the prefix: Wine links the user's
        # desktop and document folders to the Linux home folder, and its menu builder copies
        # Start-menu shortcuts there; the folders become real ones and the builder is off.
        local link
        for link in "$template"/drive_c/users/*/*; do
            if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
        done
        WINEPREFIX=$template "$wine64" reg add 'HKCU\Software\Wine\DllOverrides' \
            /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
        # A program that crashes ends there: no debugger attaches and holds the prefix.
        local view
        for view in 'Microsoft' 'Wow6432Node\Microsoft'; do
            WINEPREFIX=$template "$wine64" reg delete \
                "HKLM\Software\\$view\Windows NT\CurrentVersion\AeDebug" /v Debugger /f \
                >/dev/null 2>&1 || true
        done
        WINEPREFIX=$template wineserver -w
        touch "$template/.tessarin-ready"
    fi
    flock -u 9
}

stop_server() {
    if [ -e "$1" ]; then
        WINEPREFIX=$1 wineserver -k 2>/dev/null || true
        WINEPREFIX=$1 wineserver -w 2>/dev/null || true
    fi
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

# The tree's own programs run with the loader of their bitness, the system's with the 64-bit
# loader; the stub names the tree's bitness.
tree_loader() {
    local stub
    for stub in "$build/tessarin-setup.exe" "$build/tessarin-setup64.exe"; do
        [ -f "$stub" ] && { "$here/wine-loader.sh" for "$stub"; return; }
    done
    echo "$wine64"
}

case $action in
start|fresh)
    start_xvfb
    export DISPLAY=$(cat "$state/display")
    prefix=$(prefix_path)
    template=$(template_path)
    ln -sfn "$prefix" "$prefix_link"
    if [ "$action" = fresh ] || [ ! -f "$prefix/.tessarin-ready" ]; then
        ensure_template "$template"
        stop_server "$prefix"
        rm -rf "$prefix"
        cp -a "$template" "$prefix"
    fi
    export WINEPREFIX=$prefix
    # A persistent server keeps every later wine start fast.
    wineserver -p >/dev/null 2>&1 </dev/null || true  # already running is fine
    # Start the prefix's services and desktop now, with their output going nowhere: started
    # later by a test, they would inherit and hold open the test runner's output pipe.
    "$wine64" wineboot >/dev/null 2>&1 </dev/null
    if [ -f "$build/desktop_keeper.exe" ] &&
        ! { [ -f "$state/keeper.pid" ] && kill -0 "$(cat "$state/keeper.pid")" 2>/dev/null; }; then
        nohup "$(tree_loader)" "$build/desktop_keeper.exe" >/dev/null 2>&1 </dev/null &
        echo $! >"$state/keeper.pid"
    fi
    echo "wine prefix $prefix, display $DISPLAY"
    ;;
stop)
    if [ -e "$prefix_link" ]; then
        prefix=$(readlink -f "$prefix_link")
        stop_server "$prefix"
        # Each copy takes as much memory as the template (tmpfs): drop it unless asked to keep
        # it for a look after a failure.
        if [ "${TESSARIN_KEEP_PREFIX:-0}" != 1 ]; then
            rm -rf "$prefix"
        fi
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    ;;
*)
    echo "usage: $0 fresh|start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
