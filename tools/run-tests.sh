#!/usr/bin/env bash
# Builds all three presets and runs every test tier:
#   native  unit tests and fuzz-corpus replays
#   win32   the shipping i686 DLL: its inspection, the reproducible release,
#           and the Windows-side tests as i686 under 32-bit Wine + Xvfb
#   win64   the same Windows-side tests as x86_64 under wine64 + Xvfb
# Installs missing Debian packages first (and lets 32-bit Wine run; see
# tools/ensure-packages.sh). Prints how long each step took.
set -eu
cd "$(dirname "$0")/.."

start=$(date +%s)
last=$start
took() { # took STEP: the time since the previous step
  local now
  now=$(date +%s)
  printf -- '-- %s: %d s\n' "$1" $((now - last))
  last=$now
}

tools/ensure-packages.sh
took "packages"

jobs=$(nproc)
for preset in native win32 win64-test; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  took "build $preset"
done

status=0
echo "== tests: native"
ctest --preset native -j "$jobs" --no-tests=error || status=1
took "tests native"
echo "== tests: win32 (i686 under 32-bit Wine + Xvfb, DLL inspection, reproducible release)"
tools/with-display.sh "$PWD/build/win32/wineprefix" ctest --preset win32 -j "$jobs" --no-tests=error || status=1
took "tests win32"
echo "== tests: win64-test (x86_64 under wine64 + Xvfb)"
tools/with-display.sh "$PWD/build/win64-test/wineprefix" ctest --preset win64-test -j "$jobs" --no-tests=error || status=1
took "tests win64-test"

echo "-- total: $(( $(date +%s) - start )) s"
if [ $status -ne 0 ]; then
  echo "run-tests: FAILED" >&2
  exit 1
fi
echo "run-tests: all tiers passed"
