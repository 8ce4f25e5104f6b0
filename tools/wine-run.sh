#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest and the demo:
#   tools/wine-run.sh [--own-session] PREFIX [PROGRAM [ARGS...]]
# PREFIX is created once and reused; with no PROGRAM, that is all it does.
# wine64 runs x86_64 programs itself and hands 32-bit (i686) ones to the 32-bit
# loader, so the prefix is a 64-bit one with its 32-bit half, as on 64-bit
# Windows. With no DISPLAY, the run gets an Xvfb of its own and waits for the
# wineserver to end before the display goes away. The exit code is the
# program's; a run is bounded by TAVRIN_WINE_TIMEOUT seconds.
#
# --own-session (CTest's runs): the program gets a wineserver and Wine services
# of their own, ended as soon as it exits. Nothing one test program leaves in
# them reaches the next (Wine's rpcss keeps a killed COM server's class
# registration until it restarts, so every later create fails with
# RPC_S_SERVER_UNAVAILABLE), and no lingering Wine process holds the test's
# output pipes, which CTest waits for (about 3 s a test otherwise).
set -u
own_session=0
if [ "${1:-}" = --own-session ]; then
  own_session=1
  shift
fi
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
  session=()
  [ $own_session -eq 1 ] && session=(--own-session)
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$0" "$@"; rc=$?; '"$wineserver"' -w; exit $rc' \
    "$0" "${session[@]}" "$prefix" "$@"
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
[ $# -gt 0 ] || exit 0

if [ $own_session -eq 0 ]; then
  exec timeout --kill-after=5 "${TAVRIN_WINE_TIMEOUT:-180}" "$wine" "$@"
fi
timeout --kill-after=5 "${TAVRIN_WINE_TIMEOUT:-180}" "$wine" "$@"
rc=$?
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w
exit $rc
