#!/bin/bash
# The headless station's web view: served on the port it is given, shown in
# the status line, read-only; a port already taken is said once and the
# station runs on without it.
#   StationWebTest.sh CLI WORK
set -u
cli=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
. "$(dirname "$0")/StationWebChecks.sh"

# Serving on --web PORT.
port=$(free_port)
mkfifo "$work/in"
XDG_CONFIG_HOME="$work" timeout 30 "$cli" station --commands --registry "$work/my.reg" \
  --web "$port" < "$work/in" 2> "$work/serve.log" &
station=$!
exec 3> "$work/in"
check_serving "$port" "$work/serve.log"
curl -sf -m 5 "http://127.0.0.1:$port/status.json" | grep -q '"transmitter":{"kind":""' \
  || fail "status.json"
echo status >&3
for _ in $(seq 100); do grep -q '| web view:' "$work/serve.log" && break; sleep 0.1; done
grep -q "| web view: http://127.0.0.1:$port/\$" "$work/serve.log" || fail "status line without the address"
echo quit >&3
exec 3>&-
wait $station || fail "station ended with $?"

# The Web key's Port, already taken by another program.
hold_port "$port" 30
"$cli" reg set --registry "$work/taken.reg" 'SOFTWARE\TorvaneTX\Web' Port "$port" || fail "reg set"
printf 'status\nquit\n' | XDG_CONFIG_HOME="$work" timeout 30 "$cli" station --commands \
  --registry "$work/taken.reg" 2> "$work/taken.log"
rc=$?
kill $holder
test $rc -eq 0 || fail "station with a taken port ended with $rc"
check_taken_port "$port" "$work/taken.log"

# A --web that is not PORT[:BIND] is refused before anything runs.
XDG_CONFIG_HOME="$work" "$cli" station --registry "$work/bad.reg" --web 80x 2> "$work/bad.log"
test $? -eq 2 || fail "--web 80x accepted"
echo "web view served, shown, and a taken port reported once"
