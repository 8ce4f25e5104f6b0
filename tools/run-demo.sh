#!/usr/bin/env bash
# The plug-in's main job, on the stand-ins: the stand-in player plays its
# built-in playlist (several tracks, a seek, a stream that buffers) with the
# real gen_Tavrin.dll loaded, the stand-in messenger shows every status it is
# handed, and the timeline of both is printed. On the way the player opens the
# plug-in's settings dialog once, and build/demo/settings-dialog.png is taken
# of it. Installs the Debian packages it needs when missing.
set -eu
cd "$(dirname "$0")/.."
root=$PWD

tools/ensure-packages.sh

# Another build tree or demo folder can be chosen (a developer's own).
build=${TAVRIN_DEMO_BUILD_DIR:-$root/build/win64-test}
demo=${TAVRIN_DEMO_DIR:-$root/build/demo}

echo "== building the x86_64 plug-in and the stand-ins (win64-test)"
cmake --preset win64-test -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target gen_Tavrin standin_player standin_messenger >/dev/null

rm -rf "$demo"
mkdir -p "$demo/Plugins"
# The plug-in in a Plugins folder of its own, as in the player's install,
# with its settings file: the default template, the idle icon and headphones,
# and an interval of 0 (the shortest timer) because the playlist runs 20x fast.
cp "$build/gen_Tavrin.dll" "$demo/Plugins/"
printf '$A - $T ($D) $P\003\001\002\001\000\000\000' >"$demo/Plugins/gen_Tavrin.ini"

echo "== the demo (Xvfb + wine64): player time runs 20x faster than real time"
tools/with-display.sh "$build/wineprefix" tools/demo-session.sh "$build" "$demo"
echo "== screenshot of the settings dialog: ${demo#$root/}/settings-dialog.png"
