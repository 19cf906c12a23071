#!/bin/bash
# Tables played over loopback by pellow-client bots on a pellow-server started on port 0: a
# seat that drops and returns, four bot seats of every kind, a wrong code, and the server going
# away under a waiting client (told on SIGTERM, noticed on SIGKILL).
# Usage: play_over_network.sh BIN_DIR WORK_DIR
set -u
bin=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; for f in *.log; do echo "--- $f"; tail -5 "$f"; done; exit 1; }

start_server() {  # name
    "$bin/pellow-server" --listen 127.0.0.1:0 2> "$1.log" &
    server=$!
    for _ in $(seq 100); do
        port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$1.log")
        [ -n "$port" ] && return
        sleep 0.1
    done
    fail "no 'listening on' line from the server"
}
first_line() {  # file: waits for the invite code
    for _ in $(seq 100); do
        [ -s "$1" ] && { head -1 "$1"; return; }
        sleep 0.1
    done
    fail "no invite code in $1"
}

start_server server
url=ws://127.0.0.1:$port

# A person drops after five tricks and comes back with the token.
"$bin/pellow-client" --server "$url" --create --computer-seats 1,3 --level expert --record host.jsonl > host.out 2> host.log &
host=$!
code=$(first_line host.out)
"$bin/pellow-client" --server "$url" --join "$code" --bot rules --leave-after-tricks 5 --rejoin --record guest.jsonl 2> guest.log \
    || fail "the returning guest"
wait $host || fail "the host"
grep -q '"type":"match_end"' guest.jsonl || fail "the guest never saw the match end"
grep -q 'seat 2 dropped' server.log || fail "the server did not log the drop"

# Four bot seats of three kinds.
"$bin/pellow-client" --server "$url" --create --bot random --seed 3 --record four0.jsonl > four.out 2> four0.log &
pids=($!)
code=$(first_line four.out)
for seat in 1 2 3; do
    bot=(rules expert random)
    "$bin/pellow-client" --server "$url" --join "$code" --seat $seat --bot ${bot[$((seat - 1))]} --record four$seat.jsonl 2> four$seat.log &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a bot of the four-seat table"; done
for seat in 0 1 2 3; do
    grep -q "\"seat\":$seat,\"token\"" four$seat.jsonl || fail "bot $seat not at seat $seat"
done

# A wrong code: a clear one-line reason and a non-zero exit.
if "$bin/pellow-client" --server "$url" --join AAAA-BBBB-CCCC-DDDD 2> wrong.log; then fail "a wrong code was taken"; fi
grep -q 'no_such_code' wrong.log || fail "no reason for the wrong code"
[ "$(wc -l < wrong.log)" -eq 1 ] || fail "more than one line for the wrong code"

# SIGTERM: the waiting client is told, the server ends cleanly.
"$bin/pellow-client" --server "$url" --create > lone.out 2> lone.log &
lone=$!
first_line lone.out > /dev/null
kill -TERM $server
wait $server || fail "the server did not end cleanly on SIGTERM"
if wait $lone; then fail "the client did not fail when the server stopped"; fi
grep -q 'server is stopping' lone.log || fail "the client was not told the server stopped"

# SIGKILL: the client notices the server is gone.
start_server killed
"$bin/pellow-client" --server ws://127.0.0.1:$port --create > gone.out 2> gone.log &
gone=$!
first_line gone.out > /dev/null
kill -KILL $server
if wait $gone; then fail "the client did not fail when the server was killed"; fi
grep -q 'server is gone\|closed the connection' gone.log || fail "the client did not say the server is gone"
echo "ok"
