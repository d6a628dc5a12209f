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
. "$(dirname "$0")/../StationWebChecks.sh"
# Long enough for one status line (every 10 s).
seconds=12

# Serving on --web PORT.
port=$(free_port)
timeout 60 "$run" "$cli" station --web "$port" --seconds "$seconds" < /dev/null 2> "$work/serve.log" &
station=$!
check_serving "$port" "$work/serve.log"
curl -sf -m 5 "http://127.0.0.1:$port/status.json" | grep -q '"transmitter":{"kind":' \
  || fail "status.json"
wait $station || fail "station ended with $?"
tr -d '\r' < "$work/serve.log" | grep -q "| web view: http://127.0.0.1:$port/\$" \
  || fail "status line without the address"
curl -s -m 2 -o /dev/null "http://127.0.0.1:$port/" && fail "still served after the station stopped"

# The Web key's Port, already taken by another program.
hold_port "$port" 60
"$run" reg add 'HKCU\SOFTWARE\TorvaneTX\Web' /v Port /d "$port" /f > /dev/null 2>&1 || fail "reg add"
timeout 60 "$run" "$cli" station --seconds "$seconds" < /dev/null 2> "$work/taken.log"
rc=$?
kill $holder || fail "the port was not held"
# The other tests' stations must not find the port set.
"$run" reg delete 'HKCU\SOFTWARE\TorvaneTX\Web' /f > /dev/null 2>&1
test $rc -eq 0 || fail "station with a taken port ended with $rc"
check_taken_port "$port" "$work/taken.log"
grep -q "$seconds s are up" "$work/taken.log" || fail "the station did not run on"

# A --web that is not PORT[:BIND] is refused before anything runs.
"$run" "$cli" station --web 80x < /dev/null 2> "$work/bad.log"
test $? -eq 2 || fail "--web 80x accepted"
echo "web view served under Wine, shown, and a taken port reported once"
