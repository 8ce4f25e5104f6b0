#!/usr/bin/env bash
# Stall report: how long the player's UI thread stands still while the
# plug-in talks to a messenger that is busy or hung. Two scenes, five runs
# each, with the win64-test build's DLL and stand-ins under Wine; prints for
# each run the longest gap between the stand-in player's heartbeats while it
# plays, how long the stop entry took (the plug-in may wait a bounded while
# for the messenger's goodbye there) and the longest gap of the whole run,
# then the medians of five. tools/report.sh runs it; it uses build/win64-test/wineprefix, so
# do not run it while that build's Windows-side tests run.
#   tools/report-stalls.sh              the plug-in built here
#   TAVRIN_STALL_DLL=PATH tools/report-stalls.sh   another build of it
set -eu
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/win64-test
work=$build/stall-report
runs=5
wineserver=/usr/lib/wine/wineserver

# One run: the stand-in messenger with the scene's options, then the player
# with the heartbeat; sets $figure to the run's longest gap, "N ms" or "at
# least N ms" (the player's watchdog ended it, still stalled), or to nothing
# with the reason in $note; for a stalled run, $note is what the player said
# last. $playing is the longest gap while playing (a stall that never ended
# during playback counts as that), $stopping how long the stop entry took
# ("-" when it never returned). Every Wine process
# of the prefix ends with the run, the wineserver too: a hung messenger does
# not close when asked, and Wine's rpcss would keep a killed COM server's
# registration.
run_once() {  # NAME "MESSENGER OPTIONS" PLAYER OPTIONS...
  local name=$1 messenger_options=$2 messenger
  shift 2
  # shellcheck disable=SC2086  # the scene's options are words
  tools/wine-run.sh "$WINEPREFIX" "$build/standin_messenger.exe" "--log=Z:$work/$name.messenger.log" \
    $messenger_options >"$work/$name.messenger.out" 2>&1 &
  messenger=$!
  for _ in $(seq 200); do
    grep -q '^ready' "$work/$name.messenger.log" 2>/dev/null && break
    sleep 0.1
  done
  figure='' playing='' stopping=-
  note="the stand-in messenger did not come up"
  if grep -q '^ready signed-in' "$work/$name.messenger.log" 2>/dev/null; then
    tools/wine-run.sh "$WINEPREFIX" "$build/standin_player.exe" "--plugin=Z:$work/Plugins/gen_Tavrin.dll" \
      "--script=Z:$work/scene.txt" --speed=1 --heartbeat "$@" >"$work/$name.player.out" 2>&1 || true
  fi
  "$wineserver" -k >/dev/null 2>&1 || true
  wait "$messenger" 2>/dev/null || true
  "$wineserver" -w
  [ -s "$work/$name.player.out" ] || return 0
  note="no figure; see ${work#"$root"/}/$name.player.out"
  local said
  said=$(tr -d '\r' <"$work/$name.player.out")
  figure=$(sed -n 's/.*longest gap between heartbeats: \(.* ms\).*/\1/p' <<<"$said" | tail -n 1)
  playing=$(sed -n 's/.*longest gap between heartbeats while playing: \(.* ms\).*/\1/p' <<<"$said" | tail -n 1)
  stopping=$(sed -n 's/.*stop entry returned after \(.* ms\).*/\1/p' <<<"$said" | tail -n 1)
  [ -n "$playing" ] || playing=$figure
  [ -n "$stopping" ] || stopping=-
  [[ $figure == "at least"* ]] || return 0
  note="stalled after: $(tr -d '\r' <"$work/$name.player.out" | grep -v 'longest gap' | tail -n 1 | cut -c22-)"
}

# Five runs of a scene: each run's figures, then their medians.
scene() {  # TITLE NAME "MESSENGER OPTIONS" PLAYER OPTIONS...
  local title=$1 name=$2 messenger_options=$3 i figures=() playings=() stoppings=()
  shift 3
  echo "== $title"
  for i in $(seq $runs); do
    run_once "$name-$i" "$messenger_options" "$@"
    if [ -z "$figure" ]; then
      echo "run $i: $note"
      continue
    fi
    figures+=("$figure")
    playings+=("$playing")
    stoppings+=("$stopping")
    local line="run $i: while playing $playing, stop entry $stopping, longest gap $figure"
    case $figure in
      "at least"*) echo "$line ($note)" ;;
      *) echo "$line" ;;
    esac
  done
  if [ ${#figures[@]} -eq $runs ]; then
    echo "medians of $runs: while playing $(median "${playings[@]}"), stop entry $(median "${stoppings[@]}")," \
      "longest gap $(median "${figures[@]}")"
  else
    echo "medians of $runs: none (only ${#figures[@]} runs reported a gap)"
  fi
}

# The middle figure, by its milliseconds ("at least N ms" sorts as N, "-"
# last).
median() {
  local figure
  for figure in "$@"; do
    local ms=${figure//[!0-9]/}
    echo "${ms:-999999999} $figure"
  done | sort -n | sed -n "$((($# + 1) / 2))p" |
    cut -d' ' -f2-
}

if [ "${1:-}" = --in-display ]; then
  # Creates the prefix before anything is timed.
  tools/wine-run.sh "$WINEPREFIX" cmd /c exit 0 >/dev/null 2>&1
  scene "messenger busy 8 s on an apply command" busy "--slow-apply-ms=8000"
  scene "messenger's window thread hangs with COM served from it" hung \
    "--hung-after-open --com-on-window-thread" --max-stall-seconds=15
  exit 0
fi

cmake --preset win64-test >/dev/null
cmake --build --preset win64-test -j "$(nproc)" --target gen_Tavrin standin_player standin_messenger >/dev/null

rm -rf "$work"
mkdir -p "$work/Plugins"
# The plug-in in a Plugins folder, its settings beside it: the artist and
# the title only (the status changes with the entry and nothing else), the
# default icons, an interval of 0 (the shortest timer).
# TAVRIN_STALL_DLL measures another build of the plug-in (an older one, say)
# with the same stand-ins.
cp "${TAVRIN_STALL_DLL:-$build/gen_Tavrin.dll}" "$work/Plugins/gen_Tavrin.dll"
printf '$A - $T\003\001\000\001\000\000\000' >"$work/Plugins/gen_Tavrin.ini"
# At real-time speed: the status changes twice while the messenger is still
# busy with the first one.
cat >"$work/scene.txt" <<'SCENE'
entry 300 192 44 First Artist - First Song
entry 300 192 44 Second Artist - Second Song
entry 300 192 44 Third Artist - Third Song
at 0 play 0
at 2000 play 1
at 4000 play 2
at 12000 end
SCENE

tools/with-display.sh "$build/wineprefix" "$0" --in-display
