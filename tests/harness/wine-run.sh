#!/usr/bin/env bash
# Runs a Windows program under Wine in the test environment of the build tree named by
# TESSARIN_BUILD (or found from the program's own folder), with the loader of the program's
# bitness. Used as CTest's emulator.
set -euo pipefail
build=${TESSARIN_BUILD:-$(cd "$(dirname "$1")" && pwd)}
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$build/harness/display" ] || [ ! -e "$build/wineprefix" ]; then
    "$here/wine-env.sh" start "$build" >/dev/null
fi
export WINEPREFIX=$(readlink -f "$build/wineprefix")
export DISPLAY=$(cat "$build/harness/display")
export WINEDEBUG=-all
# Wine's recycle bin is the desktop's trash under XDG_DATA_HOME: keep it in the build tree.
export XDG_DATA_HOME="$build/harness/xdg-data"
mkdir -p "$XDG_DATA_HOME"
exec "$("$here/wine-loader.sh" for "$1")" "$@"
