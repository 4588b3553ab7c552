#!/usr/bin/env bash
# Runs the installer stub under Wine and shows what a user would see.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/cross}" && pwd)
TESSARIN_BUILD=$build TESSARIN_NATIVE_BUILD=${TESSARIN_NATIVE_BUILD:-$here/build/native} TESSARIN_SOURCE=$here python3 "$here/scripts/demo.py"
status=$?
"$here/tests/harness/wine-env.sh" stop "$build"
exit $status
