#!/bin/bash
# The headless station's web view: served on the port it is given, shown in
# the status line, read-only; a port already taken is said once and the
# station runs on without it.
#   StationWebTest.sh CLI WORK
set -u
cli=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "== $f"; cat "$f"; done; exit 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# Serving on --web PORT.
port=$(free_port)
mkfifo "$work/in"
XDG_CONFIG_HOME="$work" timeout 30 "$cli" station --commands --registry "$work/my.reg" \
  --web "$port" < "$work/in" 2> "$work/serve.log" &
station=$!
exec 3> "$work/in"
for _ in $(seq 100); do grep -q 'web view on' "$work/serve.log" && break; sleep 0.1; done
grep -q "web view on http://127.0.0.1:$port/" "$work/serve.log" || fail "no address announced"
curl -sf -m 5 -o "$work/page.html" "http://127.0.0.1:$port/" || fail "GET / failed"
grep -q 'new EventSource("/events")' "$work/page.html" || fail "not the cards page"
code=$(curl -s -m 5 -o /dev/null -w '%{http_code}' -X POST --data 'x=1' "http://127.0.0.1:$port/status")
test "$code" = 405 || fail "POST answered $code"
curl -sf -m 5 "http://127.0.0.1:$port/status.json" | grep -q '"transmitter":{"kind":""' \
  || fail "status.json"
echo status >&3
for _ in $(seq 100); do grep -q '| web view:' "$work/serve.log" && break; sleep 0.1; done
grep -q "| web view: http://127.0.0.1:$port/\$" "$work/serve.log" || fail "status line without the address"
echo quit >&3
exec 3>&-
wait $station || fail "station ended with $?"

# The Web key's Port, already taken by another program.
python3 -c 'import socket,sys,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(30)' "$port" &
holder=$!
for _ in $(seq 50); do python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null && break; sleep 0.1; done
"$cli" reg set --registry "$work/taken.reg" 'SOFTWARE\TorvaneTX\Web' Port "$port" || fail "reg set"
printf 'status\nquit\n' | XDG_CONFIG_HOME="$work" timeout 30 "$cli" station --commands \
  --registry "$work/taken.reg" 2> "$work/taken.log"
rc=$?
kill $holder
test $rc -eq 0 || fail "station with a taken port ended with $rc"
test "$(grep -c "cannot serve the web view on 127.0.0.1:$port" "$work/taken.log")" -eq 1 \
  || fail "the taken port not reported exactly once"
grep -q '^lamps hold=' "$work/taken.log" || fail "no status line after the failure"
! grep -q '| web view:' "$work/taken.log" || fail "an address shown that is not served"

# A --web that is not PORT[:BIND] is refused before anything runs.
XDG_CONFIG_HOME="$work" "$cli" station --registry "$work/bad.reg" --web 80x 2> "$work/bad.log"
test $? -eq 2 || fail "--web 80x accepted"
echo "web view served, shown, and a taken port reported once"
