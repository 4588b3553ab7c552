#!/usr/bin/env bash
# Runs the Wine tier of each cross tree whose programs this machine can execute.
#   wine-tiers.sh CROSS32_DIR CROSS64_DIR
# The 64-bit tier always runs. The 32-bit tier runs where this machine executes 32-bit x86 code;
# elsewhere it is reported as skipped, with the reason, and is not a failure. Tests a tier
# skipped (checks that mean something only at the other bitness) are listed after it.
#
# Its tests mostly wait on Wine, so two of them run at once: where both tiers run, the two tiers
# side by side, each in one lane (a prefix and an X display of its own); where only the 64-bit
# tier runs, that tier in two lanes, CTest handing each test a free lane (wine-env.sh). Each
# tier's output is printed whole once it is done.
#
# A failed test is run once more (with two Wine sessions starting programs at once, a test
# program has died in Wine's loader before printing a line); such a retry is never silent: the
# tier's report names every test that needed one, and its first failure is in the output above.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cross32=$1
cross64=$2
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# A CTest resource file with N lanes of one slot each.
lanes_file() {
    local n=$1 file=$logs/lanes-$1.json lane entries=""
    for ((lane = 1; lane <= n; lane++)); do
        entries+="${entries:+, }{\"id\": \"$lane\", \"slots\": 1}"
    done
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"lanes": [%s]}]}\n' "$entries" \
        >"$file"
    echo "$file"
}

# Runs one tier into its log in LANES lanes; the log's last line is the tier's status.
run_tier() {
    local name=$1 tree=$2 lanes=$3 log=$logs/$1 result=0
    {
        echo "== $name Wine tier ($tree), $lanes lane(s)"
        TESSARIN_LANES=$lanes ctest --test-dir "$tree" --output-on-failure \
            --repeat until-pass:2 -j "$lanes" --resource-spec-file "$(lanes_file "$lanes")" ||
            result=1
        python3 "$here/report_tier.py" "$name" "$tree/Testing/Temporary/LastTest.log" ||
            result=1
        echo "status $result"
    } >"$log" 2>&1
}

tiers=()
if why=$("$here/wine-loader.sh" can-run-32); then
    run_tier 32-bit "$cross32" 1 &
    tiers+=(32-bit)
    lanes64=1
else
    echo "== 32-bit Wine tier skipped: $why"
    lanes64=2
fi
run_tier 64-bit "$cross64" "$lanes64" &
tiers+=(64-bit)
wait

status=0
for name in "${tiers[@]}"; do
    sed '$d' "$logs/$name"
    [ "$(tail -n 1 "$logs/$name")" = "status 0" ] || status=1
done
exit $status
