#!/bin/bash
# Runs a fuzz target for a bounded time from a corpus written here.
#   run_fuzz.sh FUZZER SEED_WRITER SEED_KIND WORKDIR [SECONDS [LIBFUZZER OPTIONS...]]
# The target's scratch files go to a memory file system (/dev/shm) when there is one. Fails on
# any crash, leak, sanitizer report, finding or slow input, and if the target leaves anything in
# its temporary folder.
set -u
fuzzer=$1
seeds=$2
kind=$3
work=$4
seconds=${5:-60}
shift $(($# < 5 ? $# : 5))
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts" || exit 1
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    tmp=$(mktemp -d /dev/shm/pellow-fuzz.XXXXXX) || exit 1
else
    tmp=$work/tmp
    mkdir -p "$tmp" || exit 1
fi
trap 'rm -rf "$tmp"' EXIT
"$seeds" "$kind" "$work/corpus" || { echo "FAIL: no seed corpus"; exit 1; }
TMPDIR="$tmp" "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=20 -report_slow_units=5 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" "$work/corpus"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the fuzz target reported a finding (status $status); see $work/artifacts"; exit 1; }
[ -z "$(ls -A "$work/artifacts")" ] ||
    { echo "FAIL: artifacts were written (a slow input among them?): $(ls "$work/artifacts")"; exit 1; }
[ -z "$(ls -A "$tmp")" ] || { echo "FAIL: the target left files in its temporary folder: $(ls -A "$tmp")"; exit 1; }
