#!/bin/bash
# Runs every fuzz target (tests/fuzz/NAME_fuzz.cpp, built in FUZZ_DIR) on its seed corpus and
# prints each target's coverage, so that a target that stays at the surface shows.
#
# usage: run-fuzz.sh --fresh|--keep --total|--each SECONDS FUZZ_DIR TESSARIN_BUILD STUB.exe
#   --fresh   start every corpus anew from its seeds (make test); --keep adds the seeds to the
#             corpus of earlier runs (make fuzz)
#   --total   the targets share SECONDS; --each gives every target SECONDS
#
# Seeds of target NAME_fuzz, cut from real installers that this script builds first: the
# program NAME_seeds (from tests/fuzz/NAME_seeds.cpp) or the script tests/fuzz/NAME_seeds.py,
# called as  SEEDS OUT_DIR INSTALLERS_DIR;  else the files in tests/fuzz/seeds/NAME/.
set -u

corpus_mode=$1 time_mode=$2 seconds=$3 fuzz=$4 tool=$5 stub=$6
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

names=()
for source in "$source_dir"/tests/fuzz/*_fuzz.cpp; do
    names+=("$(basename "$source" .cpp)")
done
per_target=$seconds
if [ "$time_mode" = --total ]; then
    per_target=$((seconds / ${#names[@]}))
    [ "$per_target" -ge 2 ] || per_target=2
fi

installers=$fuzz/installers
rm -rf "$installers"
python3 "$source_dir/tests/fuzz/make_installers.py" "$tool" "$stub" "$source_dir" "$installers" ||
    exit 1

# "cov: N" and "ft: N" of the first libFuzzer status line matching a pattern.
field() { grep -E "$1" "$3" | head -n 1 | sed -nE "s/.* $2: ([0-9]+).*/\1/p"; }

status=0
for name in "${names[@]}"; do
    base=${name%_fuzz}
    corpus=$fuzz/corpus/$base
    [ "$corpus_mode" = --fresh ] && rm -rf "$corpus"
    mkdir -p "$corpus" "$fuzz/artifacts"
    seeded=ok
    if [ -x "$fuzz/${base}_seeds" ]; then
        "$fuzz/${base}_seeds" "$corpus" "$installers" || seeded=failed
    elif [ -f "$source_dir/tests/fuzz/${base}_seeds.py" ]; then
        python3 "$source_dir/tests/fuzz/${base}_seeds.py" "$corpus" "$installers" || seeded=failed
    elif [ -d "$source_dir/tests/fuzz/seeds/$base" ]; then
        cp "$source_dir/tests/fuzz/seeds/$base"/* "$corpus"/ || seeded=failed
    else
        echo "$name: no seeds (tests/fuzz/${base}_seeds.cpp, .py or seeds/$base/)"
    fi
    if [ $seeded = failed ]; then
        echo "$name: FAILED to write its seeds"
        status=1
        continue
    fi
    log=$fuzz/$name.log
    if ! "$fuzz/$name" -max_total_time="$per_target" -artifact_prefix="$fuzz/artifacts/$name-" \
        "$corpus" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$name: FAILED (log: $log, input: $fuzz/artifacts/)"
        status=1
        continue
    fi
    seeds=$(field 'INITED' cov "$log")
    final=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    runs=$(grep -E '^Done [0-9]+ runs' "$log" | sed -nE 's/^Done ([0-9]+) runs in ([0-9]+) .*/\1 runs in \2 s/p')
    cov=$(echo "$final" | sed -nE 's/.* cov: ([0-9]+).*/\1/p')
    ft=$(echo "$final" | sed -nE 's/.* ft: ([0-9]+).*/\1/p')
    corp=$(echo "$final" | sed -nE 's/.* corp: ([0-9]+).*/\1/p')
    printf '%-22s cov %5s edges (seeds %5s)  ft %6s  corpus %5s  %s\n' \
        "$name" "${cov:-?}" "${seeds:-?}" "${ft:-?}" "${corp:-?}" "${runs:-?}"
done
exit $status
