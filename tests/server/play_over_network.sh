#!/bin/bash
# Tables played over loopback by pellow-client bots on a pellow-server started on port 0: a
# seat that drops and returns, four bot seats of every kind, a wrong code, a table over wss://
# with a throw-away certificate and the clients that must refuse it, a flood of connections that
# never finish their handshake, and the server going away under a waiting client (told on
# SIGTERM, noticed on SIGKILL).
# Usage: play_over_network.sh BIN_DIR WORK_DIR
set -u
bin=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
servers=()
# A failing run leaves no server behind.
trap 'kill "${servers[@]}" 2> /dev/null' EXIT
fail() { echo "FAIL: $*"; for f in *.log; do echo "--- $f"; tail -5 "$f"; done; exit 1; }

start_server() {  # name [server options]
    local name=$1
    shift
    "$bin/pellow-server" --listen 127.0.0.1:0 "$@" 2> "$name.log" &
    server=$!
    servers+=($server)
    for _ in $(seq 100); do
        port=$(sed -n '1s/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)\( (TLS)\)\{0,1\}$/\1/p' "$name.log")
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

# Over TLS: a certificate made for this run, for the address only. Four bots that trust it play
# the match through; a client that does not, or that reaches the server by a name the
# certificate does not carry, refuses it with its reason in one line.
plain_server=$server
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=pellow-test \
    -addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out cert.pem 2> openssl.log || fail "openssl could not make a certificate"
start_server tls --tls-cert cert.pem --tls-key key.pem
wss=wss://127.0.0.1:$port
"$bin/pellow-client" --server "$wss" --ca cert.pem --create --bot rules --record tls0.jsonl > tls.out 2> tls0.log &
pids=($!)
code=$(first_line tls.out)
for seat in 1 2 3; do
    "$bin/pellow-client" --server "$wss" --ca cert.pem --join "$code" --seat $seat --bot random --seed $seat \
        --record tls$seat.jsonl 2> tls$seat.log &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a bot of the table over TLS"; done
for seat in 0 1 2 3; do grep -q '"type":"match_end"' tls$seat.jsonl || fail "bot $seat over TLS never saw the match end"; done
refused() {  # log reason: a non-zero exit already seen, one line naming the reason
    grep -q "$2" "$1" || fail "no reason '$2' in $1"
    [ "$(wc -l < "$1")" -eq 1 ] || fail "more than one line in $1"
}
# (A client that wrongly got through would ask for a table no one made, and still end.)
nothing=AAAA-BBBB-CCCC-DDDD
if "$bin/pellow-client" --server "$wss" --join $nothing 2> untrusted.log; then fail "a client took an untrusted certificate"; fi
refused untrusted.log "certificate is not trusted (self-signed certificate)"
if "$bin/pellow-client" --server "wss://localhost:$port" --ca cert.pem --join $nothing 2> misnamed.log; then
    fail "a client took a certificate for another name"
fi
refused misnamed.log "certificate is not trusted (.*mismatch)"
if "$bin/pellow-client" --server "$wss" --ca key.pem --join $nothing 2> noca.log; then fail "a key was taken for a certificate"; fi
refused noca.log "cannot use the trusted certificates"
kill -TERM $server
wait $server || fail "the server over TLS did not end cleanly"
server=$plain_server

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

# Connections that open and never finish the handshake are bounded per address as open ones
# are: beyond the bound the next is closed at once instead of held for the handshake's time,
# and once they are gone a client is served again.
start_server flood --max-per-address 4
silent=()
for _ in 1 2 3 4; do
    exec {fd}<>"/dev/tcp/127.0.0.1/$port" || fail "could not open a silent connection"
    silent+=("$fd")
done
exec {extra}<>"/dev/tcp/127.0.0.1/$port" || fail "could not reach the server"
timeout 3 cat <&"$extra" > /dev/null
[ $? -eq 124 ] && fail "a connection past the bound was held for its handshake"
exec {extra}<&-
grep -q 'too many connections opening from 127.0.0.1' flood.log || fail "the flood was not logged"
for fd in "${silent[@]}"; do exec {fd}<&-; done
sleep 0.5
"$bin/pellow-client" --server ws://127.0.0.1:$port --create > after.out 2> after.log &
after=$!
first_line after.out > /dev/null
kill $after
kill -TERM $server
wait $server || fail "the flooded server did not end cleanly"

# SIGKILL: the client notices the server is gone.
start_server killed
"$bin/pellow-client" --server ws://127.0.0.1:$port --create > gone.out 2> gone.log &
gone=$!
first_line gone.out > /dev/null
kill -KILL $server
if wait $gone; then fail "the client did not fail when the server was killed"; fi
grep -q 'server is gone\|closed the connection' gone.log || fail "the client did not say the server is gone"
echo "ok"
