#!/bin/bash
# Runs the archive fuzz target for a bounded time from a corpus written here.
#   run_fuzz.sh FUZZER SEED_WRITER WORKDIR [SECONDS]
# Fails on any crash, leak, sanitizer report or finding, and if the target leaves anything in
# its temporary folder.
set -u
fuzzer=$1
seeds=$2
work=$3
seconds=${4:-60}
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp" || exit 1
"$seeds" "$work/corpus" || { echo "FAIL: no seed corpus"; exit 1; }
TMPDIR="$work/tmp" "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the fuzz target reported a finding (status $status); see $work/artifacts"; exit 1; }
[ -z "$(ls -A "$work/artifacts")" ] || { echo "FAIL: artifacts were written"; exit 1; }
[ -z "$(ls -A "$work/tmp")" ] || { echo "FAIL: the fuzz target left files: $(ls -A "$work/tmp")"; exit 1; }
echo "corpus: $(ls "$work/corpus" | wc -l) inputs"
