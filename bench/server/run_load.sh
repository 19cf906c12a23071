#!/bin/bash
# Starts a pellow-server on a free port and plays TABLES tables of four bot seats on it, shared
# out among CLIENTS pellow-client processes (--tables: each seat its own WebSocket, each seat
# answering its turn after THINK_MS/2 to 3*THINK_MS/2 milliseconds). Prints, over all of them,
# the time from a card sent to the last of its table's seats told (p50, p99), the errors, the
# lost and doubled messages, and the server's memory per table (its peak resident memory less
# what it held before the first table, over the tables) and the CPU each side used.
#   run_load.sh BIN_DIR [TABLES [THINK_MS [CLIENTS]]]
set -u
bin=$1
tables=${2:-1000}
think=${3:-1000}
clients=${4:-4}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
connections=$((tables * 4 + 100))
"$bin/pellow-server" --listen 127.0.0.1:0 --max-tables $((tables + 10)) --max-connections $connections \
    --max-per-address $connections 2> "$dir/server.log" &
server=$!
for _ in $(seq 100); do
    port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$dir/server.log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the server did not start"; kill $server; exit 1; }
before=$(awk '/^VmRSS/ {print $2}' /proc/$server/status)
begin=$(date +%s.%N)
pids=()
for i in $(seq 0 $((clients - 1))); do
    share=$(( tables / clients + (i < tables % clients ? 1 : 0) ))
    [ "$share" -gt 0 ] || continue
    "$bin/pellow-client" --server ws://127.0.0.1:$port --tables $share --think-ms "$think" --seed $((i * 100000 + 1)) \
        --latencies "$dir/$i.ms" > "$dir/$i.out" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
end=$(date +%s.%N)
peak=$(awk '/^VmHWM/ {print $2}' /proc/$server/status)
cpu=$(awk '{print ($14 + $15) / 100}' /proc/$server/stat)
kill -TERM $server
wait $server

# The processes' own lines, summed.
sum() { sed -n "s/.*$1 \([0-9.][0-9.]*\).*/\1/p" "$dir"/*.out | awk '{s += $1} END {print s + 0}'; }
echo "tables: $tables in ${#pids[@]} pellow-client processes, matches finished: $(sum 'matches finished:'), cards played:" \
    "$(sum 'cards played:') in $(awk -v a="$begin" -v b="$end" 'BEGIN {printf "%.1f", b - a}') s"
sort -g "$dir"/*.ms | awk '{v[NR] = $1} END {
    if (NR == 0) { print "no card was timed"; exit }
    i50 = int(0.5 * NR) + 1; i99 = int(0.99 * NR) + 1; if (i99 > NR) i99 = NR
    printf "card sent to the last seat told: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%d cards)\n", v[i50], v[i99], v[NR], NR }'
echo "errors: $(sum 'errors:'), lost: $(sum 'lost:'), told twice: $(sum 'told twice:'), connections refused: $(sum 'connections refused:')"
echo "server: resident $before kB before the tables, peak $peak kB: $(( (peak - before) / tables )) kB a table; CPU ${cpu} s;" \
    "the clients' CPU $(sum 'client CPU:') s"
grep -h '^first error' "$dir"/*.out | head -3
exit $status
