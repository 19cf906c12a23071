#!/bin/bash
# pellow-sim refuses numbers out of range or malformed with a clear message and status 2. The
# first three were once taken: 4294967296 as 0 matches (a run that checks nothing and passes),
# -5 wrapped round to a large seed, and "" as seed 0.
sim=$1
for pair in "--matches|4294967296" "--seed|-5" "--seed|" "--matches|0" "--matches|3x" "--seed|4294967296" "--seed| 1" \
    "--deal|0" "--deal|1000000000" "--deal|-7" "--deal|+7" "--deal|7 " "--deal|"; do
    option=${pair%%|*} value=${pair#*|}
    out=$("$sim" "$option" "$value" 2>&1)
    status=$?
    [ $status -eq 2 ] || { echo "FAIL: $option '$value': status $status"; exit 1; }
    [[ $out == "pellow-sim: $option takes a whole number from "*", not \"$value\"" ]] ||
        { echo "FAIL: $option '$value': $out"; exit 1; }
done
# The ends of the ranges are still taken.
"$sim" --matches 1 --seed 4294967295 >/dev/null || { echo "FAIL: the largest seed was refused"; exit 1; }
"$sim" --matches 1 --seed 0 >/dev/null || { echo "FAIL: seed 0 was refused"; exit 1; }
"$sim" --matches 1 --deal 1 >/dev/null || { echo "FAIL: deal 1 was refused"; exit 1; }
"$sim" --matches 1 --deal 999999999 >/dev/null || { echo "FAIL: the largest deal was refused"; exit 1; }
