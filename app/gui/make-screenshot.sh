#!/bin/sh
# Makes app/gui/torvanetx.png: the main window with the page editor and the
# receiver preview, offscreen, from a throw-away settings folder with a few
# demonstration pages.  Usage: make-screenshot.sh BUILD_DIR [OUTPUT.png]
set -eu
build=${1:?usage: make-screenshot.sh BUILD_DIR [OUTPUT.png]}
out=${2:-app/gui/torvanetx.png}
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
mkdir -p "$settings/TorvaneTX" "$(dirname "$out")"
page='HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings'
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Transmitter]\r\n"0"="25"\r\n"6"="None"\r\n"7"="None"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings]\r\n"MaxPages"="5"\r\n\r\n'
  printf '[%s\\0]\r\n"PageSize"="6"\r\n"Title"="WELCOME"\r\n' "$page"
  i=0
  for line in "TORVANE RACEWAY" "SATURDAY NIGHT" "DRAGS" "" "GATES OPEN 4 PM" "FIRST ROUND 6 PM" "PAGE 2: CLASSES"; do
    printf '"P%d"="%s"\r\n"L%d"="255"\r\n' "$i" "$line" "$i"
    i=$((i + 1))
  done
  printf '\r\n'
} > "$settings/TorvaneTX/HKEY_CURRENT_USER.reg"
XDG_CONFIG_HOME=$settings QT_QPA_PLATFORM=offscreen TORVANETX_SCREENSHOT=$out \
  "$build/bin/torvanetx" 2>/dev/null || true
test -s "$out" && echo "wrote $out"
