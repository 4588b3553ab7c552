#!/usr/bin/env bash
# Starts or stops the shared test environment of one build tree: an Xvfb display on a free
# number and a Wine prefix (64-bit with 32-bit support) kept on tmpfs and linked from the build
# tree as wineprefix. Never touches ~/.wine.
#   wine-env.sh fresh BUILD_DIR    start every lane with a pristine prefix (a test run begins
#                                  with this)
#   wine-env.sh start BUILD_DIR    start the current lane, keeping its prefix when it is ready
#   wine-env.sh stop BUILD_DIR     stop the wineserver and Xvfb of every lane started by "start"
#                                  or "fresh", and remove their prefixes (TESSARIN_KEEP_PREFIX=1
#                                  keeps them)
#   wine-env.sh where BUILD_DIR    print the current lane's state folder and prefix link, one a
#                                  line
#
# Lanes let one tree's tests run side by side, each lane with a prefix and a display of its
# own. CTest hands a test its lane through its resource allocation (a "lanes" resource, see
# wine-tiers.sh); TESSARIN_LANE names one by hand; without either a test runs in lane 1.
# TESSARIN_LANES tells "fresh" how many lanes the run uses. Lane 1 keeps the tree's plain
# names (harness/, wineprefix); lane N keeps harness-laneN/ and wineprefix-laneN.
#
# A prefix is created once per machine and Wine version, with the 64-bit loader (which every
# machine can execute), and kept as a template; each lane gets a copy of it, so every lane of
# both trees of one run starts from the same clean system.
set -euo pipefail
action=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all WINEARCH=win64
wine64=$("$here/wine-loader.sh" 64)

# The lane of the running test: CTest's allocation ("id:N,slots:1"), else TESSARIN_LANE.
current_lane() {
    local spec=${CTEST_RESOURCE_GROUP_0_LANES:-}
    if [ -n "$spec" ]; then
        spec=${spec#id:}
        echo "${spec%%,*}"
    else
        echo "${TESSARIN_LANE:-1}"
    fi
}

lane_suffix() {
    [ "$1" = 1 ] || echo "-lane$1"
}

tmp_base() {
    local base=/dev/shm
    [ -d "$base" ] && [ -w "$base" ] || base=$build
    echo "$base"
}

prefix_path() {
    echo "$(tmp_base)/tessarin-wine-$(printf '%s' "$build$(lane_suffix "$1")" | md5sum | cut -c1-12)"
}

# Raise when the way the template is made changes, so that machines make it anew.
TEMPLATE_FORMAT=5

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
        # Keys every Windows has and a new prefix lacks in one view: made by the first
        # installation of whichever test runs first, they would show as its residue.
        local key
        for key in 'Microsoft\Windows\CurrentVersion\Uninstall' \
            'Microsoft\Windows\CurrentVersion\SharedDLLs'; do
            for view in '' 'Wow6432Node\'; do
                # reg add gives a new key an empty default value, which Windows' keys lack.
                WINEPREFIX=$template "$wine64" reg add "HKLM\\Software\\$view$key" /f \
                    >/dev/null 2>&1
                WINEPREFIX=$template "$wine64" reg delete "HKLM\\Software\\$view$key" /ve /f \
                    >/dev/null 2>&1
            done
        done
        WINEPREFIX=$template wineserver -w
        touch "$template/.tessarin-ready"
    fi
    exec 9>&-
}

stop_server() {
    if [ -e "$1" ]; then
        WINEPREFIX=$1 wineserver -k 2>/dev/null || true
        WINEPREFIX=$1 wineserver -w 2>/dev/null || true
    fi
}

start_xvfb() {
    local state=$1
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

# start_lane LANE fresh|start
start_lane() {
    local lane=$1 mode=$2
    local state=$build/harness$(lane_suffix "$lane")
    local prefix_link=$build/wineprefix$(lane_suffix "$lane")
    mkdir -p "$state"
    start_xvfb "$state"
    export DISPLAY=$(cat "$state/display")
    local prefix template
    prefix=$(prefix_path "$lane")
    template=$(template_path)
    ln -sfn "$prefix" "$prefix_link"
    if [ "$mode" = fresh ] || [ ! -f "$prefix/.tessarin-ready" ]; then
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
    echo "lane $lane: wine prefix $prefix, display $DISPLAY"
}

# stop_lane STATE_DIR PREFIX_LINK
stop_lane() {
    local state=$1 prefix_link=$2 prefix
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
}

case $action in
fresh)
    # Every lane of the run at once: each copy and boot mostly waits on Wine.
    lanes=${TESSARIN_LANES:-1}
    pids=()
    for ((lane = 1; lane <= lanes; lane++)); do
        start_lane "$lane" fresh &
        pids+=($!)
    done
    status=0
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    exit $status
    ;;
start)
    start_lane "$(current_lane)" start
    ;;
where)
    suffix=$(lane_suffix "$(current_lane)")
    echo "$build/harness$suffix"
    echo "$build/wineprefix$suffix"
    ;;
stop)
    stop_lane "$build/harness" "$build/wineprefix"
    for state in "$build"/harness-lane*; do
        [ -d "$state" ] || continue
        stop_lane "$state" "$build/wineprefix-lane${state##*-lane}"
    done
    ;;
*)
    echo "usage: $0 fresh|start|where|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
