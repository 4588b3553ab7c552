#!/usr/bin/env bash
# Runs the Wine tier of each cross tree whose programs this machine can execute.
#   wine-tiers.sh CROSS32_DIR CROSS64_DIR
# The 64-bit tier always runs. The 32-bit tier runs where this machine executes 32-bit x86 code;
# elsewhere it is reported as skipped, with the reason, and is not a failure. Tests a tier
# skipped (checks that mean something only at the other bitness) are listed after it.
#
# Each tier has a prefix and an X display of its own, and its tests mostly wait on Wine, so the
# two tiers run side by side; each tier's output is printed whole once it is done. With two Wine
# sessions starting programs at once, a test program now and then dies in Wine's loader before
# it prints a line (seen once in a clean run); a failed test is therefore run once more, and
# only a second failure counts.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cross32=$1
cross64=$2
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# Runs one tier into its log; the log's last line is the tier's status.
run_tier() {
    local name=$1 tree=$2 log=$logs/$1 result=0
    {
        echo "== $name Wine tier ($tree)"
        ctest --test-dir "$tree" --output-on-failure --repeat until-pass:2 || result=1
        python3 "$here/report_skips.py" "$name" "$tree/Testing/Temporary/LastTest.log"
        echo "status $result"
    } >"$log" 2>&1
}

tiers=()
if why=$("$here/wine-loader.sh" can-run-32); then
    run_tier 32-bit "$cross32" &
    tiers+=(32-bit)
else
    echo "== 32-bit Wine tier skipped: $why"
fi
run_tier 64-bit "$cross64" &
tiers+=(64-bit)
wait

status=0
for name in "${tiers[@]}"; do
    sed '$d' "$logs/$name"
    [ "$(tail -n 1 "$logs/$name")" = "status 0" ] || status=1
done
exit $status
