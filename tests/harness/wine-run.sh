#!/usr/bin/env bash
# Runs a Windows program under Wine in the test environment of the build tree named by
# TESSARIN_BUILD (or found from the program's own folder), in the running test's lane (see
# wine-env.sh), with the loader of the program's bitness. Used as CTest's emulator.
set -euo pipefail
build=${TESSARIN_BUILD:-$(cd "$(dirname "$1")" && pwd)}
here=$(cd "$(dirname "$0")" && pwd)
{ read -r state; read -r prefix_link; } < <("$here/wine-env.sh" where "$build")
if [ ! -f "$state/display" ] || [ ! -e "$prefix_link" ]; then
    "$here/wine-env.sh" start "$build" >/dev/null
fi
export WINEPREFIX=$(readlink -f "$prefix_link")
export DISPLAY=$(cat "$state/display")
export WINEDEBUG=-all
# Wine's recycle bin is the desktop's trash under XDG_DATA_HOME: keep it in the lane's folder.
export XDG_DATA_HOME="$state/xdg-data"
mkdir -p "$XDG_DATA_HOME"
exec "$("$here/wine-loader.sh" for "$1")" "$@"
