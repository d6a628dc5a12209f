#!/bin/sh
# Makes app/gui/torvanetx.png: the main window with the page editor and the
# receiver preview, offscreen, from a throw-away settings folder with a few
# demonstration pages, the transmitter simulator acknowledging on COM1 so the
# receiver view has a card's image to show.
# With a TOOL (a menu item's name, such as miLinkHealth) that item is chosen
# first, so the picture shows what it opens.
# Usage: make-screenshot.sh BUILD_DIR [OUTPUT.png [TOOL]]
set -eu
build=${1:?usage: make-screenshot.sh BUILD_DIR [OUTPUT.png [TOOL]]}
out=${2:-app/gui/torvanetx.png}
tool=${3:-}
settings=$(mktemp -d)
txsim_pid=""
trap '[ -n "$txsim_pid" ] && kill "$txsim_pid" 2>/dev/null; rm -rf "$settings"' EXIT
mkdir -p "$settings/TorvaneTX" "$(dirname "$out")"
"$build/bin/torvanetx-txsim" --pty >"$settings/txsim.log" 2>&1 &
txsim_pid=$!
tx_pty=""
for _ in $(seq 50); do
  tx_pty=$(sed -n 's/^pty: //p' "$settings/txsim.log" | head -n1)
  [ -n "$tx_pty" ] && break
  sleep 0.1
done
test -n "$tx_pty" || { echo "no pty from torvanetx-txsim" >&2; exit 1; }
page='HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings'
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Ports]\r\n"COM1"="%s"\r\n\r\n' "$tx_pty"
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Transmitter]\r\n"0"="1"\r\n"1"="8"\r\n"2"="0"\r\n"3"="4"\r\n"4"="0"\r\n"5"="0"\r\n"6"="None"\r\n"7"="None"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings]\r\n"MaxPages"="5"\r\n\r\n'
  printf '[%s\\0]\r\n"PageSize"="6"\r\n"Title"="WELCOME"\r\n' "$page"
  i=0
  for line in "TORVANE RACEWAY" "SATURDAY NIGHT" "DRAGS" "" "GATES OPEN 4 PM" "FIRST ROUND 6 PM" "PAGE 2: CLASSES"; do
    printf '"P%d"="%s"\r\n"L%d"="255"\r\n' "$i" "$line" "$i"
    i=$((i + 1))
  done
  printf '\r\n'
} > "$settings/TorvaneTX/HKEY_CURRENT_USER.reg"
# The first block goes out after three silent seconds; a few more pass the whole image.
XDG_CONFIG_HOME=$settings QT_QPA_PLATFORM=offscreen TORVANETX_SCREENSHOT=$out \
  TORVANETX_SCREENSHOT_AFTER_MS=6000 TORVANETX_SCREENSHOT_TOOL=$tool \
  "$build/bin/torvanetx" 2>/dev/null || true
test -s "$out" && echo "wrote $out"
