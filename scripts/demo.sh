#!/usr/bin/env bash
# Runs the installer stub under Wine and shows what a user would see: the 32-bit stub (the
# product) where this machine executes 32-bit x86 code, the 64-bit build of it elsewhere.
#   demo.sh [CROSS32_DIR [CROSS64_DIR]]
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/cross}" && pwd)
if ! why=$("$here/tests/harness/wine-loader.sh" can-run-32); then
    build=$(cd "${2:-$here/build/cross64}" && pwd)
    echo "The demo uses the 64-bit stub (tessarin-setup64.exe): $why."
fi
"$here/tests/harness/wine-env.sh" start "$build" >/dev/null || exit 1
TESSARIN_BUILD=$build TESSARIN_NATIVE_BUILD=${TESSARIN_NATIVE_BUILD:-$here/build/native} \
    TESSARIN_SOURCE=$here python3 "$here/scripts/demo.py"
status=$?
"$here/tests/harness/wine-env.sh" stop "$build"
exit $status
