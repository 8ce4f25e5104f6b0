#!/usr/bin/env bash
# Runs one x86_64 Windows program under wine64 for CTest and the demo:
#   tools/wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX is created once and reused. With no DISPLAY, the run gets an Xvfb of
# its own and waits for the wineserver to end before the display goes away.
# The exit code is the program's; a run is bounded by TAVRIN_WINE_TIMEOUT seconds.
set -u
prefix=$1
shift

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "wine-run: $wine is missing; run tools/run-tests.sh to install it" >&2; exit 127; }

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# A Western locale, so the ANSI code page is 1252.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$0" "$@"; rc=$?; '"$wineserver"' -w; exit $rc' "$0" "$prefix" "$@"
  exit $?
fi

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.tavrin-ready" ]; then
    "$wine" wineboot -u >/dev/null 2>&1
    # No window manager under Xvfb: let Wine draw its own frames and destroy windows promptly.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$wineserver" -w
    touch "$prefix/.tavrin-ready"
  fi
) 9>"$prefix.lock"

exec timeout --kill-after=5 "${TAVRIN_WINE_TIMEOUT:-180}" "$wine" "$@"
