# Sourced by the stations' web view tests (StationWebTest.sh on Linux,
# win32/StationWebWineTest.sh under Wine); each sets $work first.

fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "== $f"; tr -d '\r' < "$f"; done; exit 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The station announced PORT in LOG and serves the cards page there, read-only.
check_serving() {
  local port=$1 log=$2
  for _ in $(seq 300); do grep -q 'web view on' "$log" && break; sleep 0.1; done
  grep -q "web view on http://127.0.0.1:$port/" "$log" || fail "no address announced"
  curl -sf -m 5 -o "$work/page.html" "http://127.0.0.1:$port/" || fail "GET / failed"
  grep -q 'new EventSource("/events")' "$work/page.html" || fail "not the cards page"
  local code
  code=$(curl -s -m 5 -o /dev/null -w '%{http_code}' -X POST --data 'x=1' "http://127.0.0.1:$port/status")
  test "$code" = 405 || fail "POST answered $code"
}

# Another program listens on PORT for SECONDS; its pid is left in $holder.
hold_port() {
  python3 -c 'import socket,sys,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(int(sys.argv[2]))' "$1" "$2" &
  holder=$!
  for _ in $(seq 50); do python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])))' "$1" 2>/dev/null && break; sleep 0.1; done
}

# LOG is of a station that could not have PORT: said once, no address shown,
# the status line still there.
check_taken_port() {
  local port=$1 log=$2
  test "$(grep -c "cannot serve the web view on 127.0.0.1:$port" "$log")" -eq 1 \
    || fail "the taken port not reported exactly once"
  grep -q '^lamps hold=' "$log" || fail "no status line after the failure"
  ! grep -q '| web view:' "$log" || fail "an address shown that is not served"
}
