#!/usr/bin/env bash
# The station on a terminal of its own (script(1) makes a pty its controlling
# terminal), given a ticker entry through --commands; then the terminal goes
# away: script is killed, so the pty's master closes and the station gets its
# hang-up. Its settings file must hold what only the shutdown writes: the
# ticker list and the link settings.
# Usage: StationHangupTest.sh CLI WORK_FOLDER
set -u
cli=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
mkfifo "$work/in"
exec 3<>"$work/in"  # held open: no end of input reaches the terminal
XDG_CONFIG_HOME="$work" SHELL=/bin/sh \
  script -q -c "exec '$cli' station --commands --registry '$work/my.reg'" /dev/null \
  <&3 >"$work/terminal" 2>&1 &
scriptPid=$!

fail() {
  echo "FAIL: $*"
  echo "--- terminal:"
  cat "$work/terminal"
  echo "--- settings:"
  cat "$work/my.reg" 2>/dev/null
  [ -n "${station:-}" ] && kill -KILL "$station" 2>/dev/null
  kill -KILL "$scriptPid" 2>/dev/null
  exit 1
}

printf 'ticker start TERMINAL CLOSED\nstatus\n' >&3
for _ in $(seq 200); do
  grep -q 'lamps hold=' "$work/terminal" && break
  sleep 0.05
done
grep -q 'lamps hold=' "$work/terminal" || fail "the station did not answer status"
station=$(ps -o pid= --ppid "$scriptPid" | tr -d ' ')
[ -n "$station" ] || fail "no station under script"
kill -KILL "$scriptPid"
wait "$scriptPid" 2>/dev/null
for _ in $(seq 200); do
  kill -0 "$station" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$station" 2>/dev/null && fail "the station still runs 10 s after its terminal went away"
grep -q '"0"="TERMINAL CLOSED"' "$work/my.reg" 2>/dev/null || fail "ticker list not saved"
grep -q '"1"=""' "$work/my.reg" || fail "ticker list terminator not saved"
grep -q '"6"="None"' "$work/my.reg" || fail "link settings not saved"
echo "saved after the terminal went away"
