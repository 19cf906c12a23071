#!/bin/bash
# Starts a pellow-server on a free port, plays TABLES tables of four bot seats on it with
# server_load, and prints the latency figures with the server's memory per table (its peak
# resident memory less what it held before the first table, over the tables).
#   run_load.sh BIN_DIR [TABLES [THINK_MS]]
set -u
bin=$1
tables=${2:-1000}
think=${3:-0}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
connections=$((tables * 4 + 100))
"$bin/pellow-server" --listen 127.0.0.1:0 --max-tables $((tables + 10)) --max-connections $connections \
    --max-per-address $connections 2> "$log" &
server=$!
for _ in $(seq 100); do
    port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the server did not start"; kill $server; exit 1; }
before=$(awk '/^VmRSS/ {print $2}' /proc/$server/status)
"$bin/server_load" --server ws://127.0.0.1:$port --tables "$tables" --think-ms "$think"
status=$?
peak=$(awk '/^VmHWM/ {print $2}' /proc/$server/status)
cpu=$(awk '{print ($14 + $15) / 100}' /proc/$server/stat)
echo "server: resident $before kB before the tables, peak $peak kB: $(( (peak - before) / tables )) kB a table; CPU ${cpu} s"
kill -TERM $server
wait $server
exit $status
