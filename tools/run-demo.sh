#!/usr/bin/env bash
# The plug-in's main job, on the stand-ins: the stand-in player plays its
# built-in playlist (several tracks, a seek, a stream that buffers, Japanese
# and Cyrillic titles, albums and years from the tags, a pause and a stop)
# with the real gen_Tavrin.dll loaded,
# the stand-in messenger shows every status it is handed, and the timeline of
# both is printed; short scenes after it show $M saying "paused" and
# "stopped", the status cleared while paused or stopped, a busy messenger, and
# the privacy settings (tools/demo-session.sh). On the way the player opens
# the plug-in's settings dialog: build/demo/settings-dialog.png is taken of it
# as it opens, and build/demo/settings-dialog-preview.png after a template has
# been typed into it, its preview following. Installs the Debian packages it
# needs when missing.
#   tools/run-demo.sh           x86_64 DLL and stand-ins, under wine64
#   tools/run-demo.sh --i686    the 32-bit DLL users download and 32-bit
#                               stand-ins, under 32-bit Wine (build/demo-i686)
set -eu
cd "$(dirname "$0")/.."
root=$PWD

preset=win64-test
what="x86_64 plug-in and stand-ins"
demo_default=$root/build/demo
case ${1:-} in
  "") ;;
  --i686)
    preset=win32
    what="32-bit plug-in and stand-ins (i686)"
    demo_default=$root/build/demo-i686 ;;
  *) echo "usage: tools/run-demo.sh [--i686]" >&2; exit 2 ;;
esac

tools/ensure-packages.sh

# Another build tree or demo folder can be chosen (a developer's own).
build=${TAVRIN_DEMO_BUILD_DIR:-$root/build/$preset}
demo=${TAVRIN_DEMO_DIR:-$demo_default}

echo "== building the $what ($preset)"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target gen_Tavrin standin_player standin_messenger >/dev/null

rm -rf "$demo"
mkdir -p "$demo/Plugins"
# The plug-in in a Plugins folder of its own, as in the player's install,
# with its settings file: a template with the title, the album and the year
# in sections (each goes where it is empty: the title without a hyphen, the
# album of the track without one, all of the stream's), the idle icon and
# headphones,
# an interval of 0 (the shortest timer) because the playlist runs 20x fast,
# Unicode titles (the YM 8.0 box) and "Mark status" when paused or stopped.
# The later scenes write settings of their own.
cp "$build/gen_Tavrin.dll" "$demo/Plugins/"
printf '$A$( - $T$)$( from $R$)$( ($Y)$) $P\003\001\002\001\000\001\000\001' >"$demo/Plugins/gen_Tavrin.ini"

echo "== the demo (Xvfb + Wine, $what): player time runs 20x faster than real time"
tools/with-display.sh "$build/wineprefix" tools/demo-session.sh "$build" "$demo"
echo "== screenshots of the settings dialog: ${demo#$root/}/settings-dialog.png, ${demo#$root/}/settings-dialog-preview.png"
