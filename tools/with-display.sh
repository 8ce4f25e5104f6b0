#!/usr/bin/env bash
# Runs a command with one Xvfb display for all the Windows programs it starts,
# then ends the prefix's wineserver (if one still runs) and the display:
#   tools/with-display.sh PREFIX COMMAND [ARGS...]
set -u
prefix=$1
shift
wineserver=/usr/lib/wine/wineserver

display_number=$(( 90 + RANDOM % 400 ))
while [ -e "/tmp/.X${display_number}-lock" ]; do display_number=$((display_number + 1)); done
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.05; done

export WINEPREFIX=$prefix
finish() {
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
}
trap finish EXIT
"$@"
