#!/usr/bin/env bash
# Runs the Wine tier of each cross tree whose programs this machine can execute.
#   wine-tiers.sh CROSS32_DIR CROSS64_DIR
# The 64-bit tier always runs. The 32-bit tier runs where this machine executes 32-bit x86 code;
# elsewhere it is reported as skipped, with the reason, and is not a failure. Tests a tier
# skipped (checks that mean something only at the other bitness) are listed after it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cross32=$1
cross64=$2
status=0

run_tier() {
    local name=$1 tree=$2
    echo "== $name Wine tier ($tree)"
    ctest --test-dir "$tree" --output-on-failure || status=1
    python3 "$here/report_skips.py" "$name" "$tree/Testing/Temporary/LastTest.log"
}

if why=$("$here/wine-loader.sh" can-run-32); then
    run_tier 32-bit "$cross32"
else
    echo "== 32-bit Wine tier skipped: $why"
fi
run_tier 64-bit "$cross64"
exit $status
