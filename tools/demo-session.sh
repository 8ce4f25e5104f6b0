#!/usr/bin/env bash
# The demo's part inside one display session (tools/run-demo.sh starts it
# under tools/with-display.sh): the stand-in messenger in the background, a
# screenshot taker waiting for the settings dialog, and the stand-in player.
#   tools/demo-session.sh BUILD_DIR DEMO_DIR
set -u -o pipefail
build=$1
demo=$2
cd "$(dirname "$0")/.."
run() { tools/wine-run.sh "$build/wineprefix" "$@"; }

# Creates the prefix on the first run, before anything else is timed.
run cmd /c exit 0 >/dev/null 2>&1

# Starts the stand-in messenger with a log of its own:
#   start_messenger NAME [OPTION...]
messenger=
start_messenger() {
  run "$build/standin_messenger.exe" "--log=Z:$demo/$1.log" "${@:2}" >"$demo/$1.out" 2>&1 &
  messenger=$!
  for _ in $(seq 200); do
    grep -q '^ready' "$demo/$1.log" 2>/dev/null && break
    sleep 0.1
  done
  if ! grep -q '^ready signed-in' "$demo/$1.log" 2>/dev/null; then
    echo "run-demo: the stand-in messenger did not come up:" >&2
    cat "$demo/$1.out" >&2
    exit 1
  fi
}
stop_messenger() {
  run taskkill /im standin_messenger.exe >/dev/null 2>&1
  wait "$messenger" 2>/dev/null
}

start_messenger messenger

# The player writes dialog-open (the dialog's rectangle) once the dialog is
# drawn, and waits for screenshot-done before it goes on; it takes both away
# (the answer last) once it has seen the answer. It shows the dialog twice:
# as it opens, and after typing a template into it (the preview follows).
(
  for shot in settings-dialog settings-dialog-preview; do
    taken=0
    for _ in $(seq 600); do
      if [ -f "$demo/dialog-open" ]; then
        read -r x y w h <"$demo/dialog-open"
        import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$demo/$shot.png" 2>/dev/null
        touch "$demo/screenshot-done"
        taken=1
        break
      fi
      sleep 0.1
    done
    [ $taken -eq 1 ] || exit 0
    for _ in $(seq 600); do
      [ -f "$demo/screenshot-done" ] || break
      sleep 0.1
    done
  done
) &
shooter=$!

# The player prints the timeline: its own events and, as they arrive, what the
# messenger logged (its COM bookkeeping left out). During the second song it
# opens the settings dialog and types a template into it: a section around
# $M, a line break (as Ctrl+Enter gives it) and $E. The preview follows each
# character; nothing is published, and Cancel keeps the settings.
typed='$A - $T$( ($M)$)'$'\n''at $E'
status=0
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger.log" \
  --speed=20 --configure-at=68000 "--screenshot-dir=Z:$demo" "--type-in-dialog=$typed" \
  | tr -d '\r' | grep -v '  messenger  automation ' \
  || status=1

stop_messenger

# The second scene: "Keep status", and the template tells what the player
# does: $M is "paused" or "stopped" while it is and empty while it plays, and
# the section around it goes with it.
echo '== second scene: "Keep status" and the template $A - $T$( ($M)$)'
settings=$demo/Plugins/gen_Tavrin.ini
printf '$A - $T$( ($M)$)\003\001\002\001\000\001\000' >"$settings"
cat >"$demo/state-scene.txt" <<'SCENE'
entry 200 192 44 Some Artist - Some Song
at 0 play 0 30000
at 5000 pause
at 10000 resume
at 15000 stop
at 20000 end
SCENE
start_messenger messenger-state
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger-state.log" \
  "--script=Z:$demo/state-scene.txt" --speed=20 | tr -d '\r' | grep -v '  messenger  automation ' || status=1
stop_messenger

# The third scene: "Clear status". The status goes once when playback pauses
# or stops (the closing command) and comes back as soon as it plays again.
echo "== third scene: \"When paused or stopped\" set to \"Clear status\""
printf '$A - $T ($D) $P\003\001\002\001\000\001\000\002' >"$settings"
cat >"$demo/clear-scene.txt" <<'SCENE'
entry 200 192 44 Ирина Светлова - Тёплый ветер
at 0 play 0 30000
at 10000 pause
at 20000 resume
at 30000 stop
at 40000 play 0 30000
at 50000 end
SCENE
start_messenger messenger-clear
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger-clear.log" \
  "--script=Z:$demo/clear-scene.txt" --speed=20 | tr -d '\r' | grep -v '  messenger  automation ' || status=1
stop_messenger

# The fourth scene: a messenger busy for 3 s with every status. The player
# plays on and answers meanwhile (its heartbeat says how long it ever stood
# still), and once the messenger is back it gets the newest status only.
echo "== fourth scene: the messenger takes 3 s over every status it is handed"
printf '$A - $T\003\001\002\001\000\001\000' >"$settings"
cat >"$demo/busy-scene.txt" <<'SCENE'
entry 200 192 44 Some Artist - Some Song
entry 200 192 44 Alpha-Beta - Gamma
entry 200 192 44 Ирина Светлова - Тёплый ветер
at 0 play 0
at 20000 play 1
at 40000 play 2
at 160000 end
SCENE
start_messenger messenger-busy --slow-apply-ms=3000
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger-busy.log" \
  "--script=Z:$demo/busy-scene.txt" --speed=20 --heartbeat | tr -d '\r' | grep -v '  messenger  automation ' || status=1
stop_messenger

# The fifth scene: what the user keeps to themselves, at real-time speed.
# The status on/off key clears the status and brings it back; a stream is
# never shown ("Hide streams"); and with "Show a new song after 2 seconds"
# the songs skipped through never show, only the one that stays.
echo "== fifth scene: the status key, a hidden stream, and a new song shown only after 2 s"
printf '$A - $T\003\001\002\001\000\001\000\000\001\002\000' >"$settings"
cat >"$demo/privacy-scene.txt" <<'SCENE'
entry 200 192 44 Some Artist - Some Song
entry -1 128 44 Kestrel FM - Night Drive
  file http://radio.example/kestrel
entry 200 192 44 Alpha-Beta - Gamma
entry 200 192 44 Instrumental
entry 200 192 44 Ирина Светлова - Тёплый ветер
at 0 play 0
at 3000 press Tavrin_StatusOnOff
at 4000 press Tavrin_StatusOnOff
at 5000 play 1
at 6000 play 2
at 6500 play 3
at 7000 play 4
at 10000 end
SCENE
start_messenger messenger-privacy
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger-privacy.log" \
  "--script=Z:$demo/privacy-scene.txt" --speed=1 | tr -d '\r' | grep -v '  messenger  automation ' || status=1
stop_messenger

kill "$shooter" 2>/dev/null
wait "$shooter" 2>/dev/null
for shot in settings-dialog settings-dialog-preview; do
  [ -f "$demo/$shot.png" ] || { echo "run-demo: no screenshot $shot.png was taken" >&2; status=1; }
done
exit $status
