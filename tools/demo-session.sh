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

run "$build/standin_messenger.exe" "--log=Z:$demo/messenger.log" >"$demo/messenger.out" 2>&1 &
messenger=$!
for _ in $(seq 200); do
  grep -q '^ready' "$demo/messenger.log" 2>/dev/null && break
  sleep 0.1
done
if ! grep -q '^ready signed-in' "$demo/messenger.log" 2>/dev/null; then
  echo "run-demo: the stand-in messenger did not come up:" >&2
  cat "$demo/messenger.out" >&2
  exit 1
fi

# The player writes dialog-open (the dialog's rectangle) once the dialog is
# drawn, and waits for screenshot-done before it cancels the dialog.
(
  for _ in $(seq 600); do
    if [ -f "$demo/dialog-open" ]; then
      read -r x y w h <"$demo/dialog-open"
      import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$demo/settings-dialog.png" 2>/dev/null
      touch "$demo/screenshot-done"
      exit 0
    fi
    sleep 0.1
  done
) &
shooter=$!

# The player prints the timeline: its own events and, as they arrive, what the
# messenger logged (its COM bookkeeping left out).
status=0
run "$build/standin_player.exe" "--plugin=Z:$demo/Plugins/gen_Tavrin.dll" "--messenger-log=Z:$demo/messenger.log" \
  --speed=20 --configure-at=95000 "--screenshot-dir=Z:$demo" | tr -d '\r' | grep -v '  messenger  automation ' \
  || status=1

run taskkill /im standin_messenger.exe >/dev/null 2>&1
wait "$messenger" 2>/dev/null
kill "$shooter" 2>/dev/null
wait "$shooter" 2>/dev/null
[ -f "$demo/settings-dialog.png" ] || { echo "run-demo: no screenshot was taken" >&2; status=1; }
exit $status
