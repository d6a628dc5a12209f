#!/bin/bash
# The Windows station's web view under Wine, read from Linux: served on the
# port it is given, shown in the status line, read-only; a port already taken
# (the Web key's Port) is said once and the station runs on without it.
#   StationWebWineTest.sh RUNNER CLI_EXE WORK
set -u
run=$1
cli=$2
work=$3
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "== $f"; tr -d '\r' < "$f"; done; exit 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# Long enough for one status line (every 10 s).
seconds=12

# Serving on --web PORT.
port=$(free_port)
timeout 60 "$run" "$cli" station --web "$port" --seconds "$seconds" < /dev/null 2> "$work/serve.log" &
station=$!
for _ in $(seq 300); do grep -q 'web view on' "$work/serve.log" && break; sleep 0.1; done
grep -q "web view on http://127.0.0.1:$port/" "$work/serve.log" || fail "no address announced"
curl -sf -m 5 -o "$work/page.html" "http://127.0.0.1:$port/" || fail "GET / failed"
grep -q 'new EventSource("/events")' "$work/page.html" || fail "not the cards page"
code=$(curl -s -m 5 -o /dev/null -w '%{http_code}' -X POST --data 'x=1' "http://127.0.0.1:$port/status")
test "$code" = 405 || fail "POST answered $code"
curl -sf -m 5 "http://127.0.0.1:$port/status.json" | grep -q '"transmitter":{"kind":' \
  || fail "status.json"
wait $station || fail "station ended with $?"
tr -d '\r' < "$work/serve.log" | grep -q "| web view: http://127.0.0.1:$port/\$" \
  || fail "status line without the address"
curl -s -m 2 -o /dev/null "http://127.0.0.1:$port/" && fail "still served after the station stopped"

# The Web key's Port, already taken by another program.
python3 -c 'import socket,sys,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(60)' "$port" &
holder=$!
for _ in $(seq 50); do python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null && break; sleep 0.1; done
"$run" reg add 'HKCU\SOFTWARE\TorvaneTX\Web' /v Port /d "$port" /f > /dev/null 2>&1 || fail "reg add"
timeout 60 "$run" "$cli" station --seconds "$seconds" < /dev/null 2> "$work/taken.log"
rc=$?
kill $holder || fail "the port was not held"
# The other tests' stations must not find the port set.
"$run" reg delete 'HKCU\SOFTWARE\TorvaneTX\Web' /f > /dev/null 2>&1
test $rc -eq 0 || fail "station with a taken port ended with $rc"
test "$(grep -c "cannot serve the web view on 127.0.0.1:$port" "$work/taken.log")" -eq 1 \
  || fail "the taken port not reported exactly once"
grep -q "$seconds s are up" "$work/taken.log" || fail "the station did not run on"
grep -q '^lamps hold=' "$work/taken.log" || fail "no status line after the failure"
! grep -q '| web view:' "$work/taken.log" || fail "an address shown that is not served"

# A --web that is not PORT[:BIND] is refused before anything runs.
"$run" "$cli" station --web 80x < /dev/null 2> "$work/bad.log"
test $? -eq 2 || fail "--web 80x accepted"
echo "web view served under Wine, shown, and a taken port reported once"
