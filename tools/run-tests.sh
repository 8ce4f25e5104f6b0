#!/usr/bin/env bash
# Builds all three presets and runs every test tier: native unit tests and
# fuzz-corpus replays, the shipping DLL's inspection, and the Windows-side
# tests under wine64 + Xvfb. Installs missing Debian packages first.
set -eu
cd "$(dirname "$0")/.."

tools/ensure-packages.sh

jobs=$(nproc)
for preset in native win32 win64-test; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
echo "== tests: native"
ctest --preset native -j "$jobs" --no-tests=error || status=1
echo "== tests: win32"
ctest --preset win32 || status=1
echo "== tests: win64-test (wine64 + Xvfb)"
tools/with-display.sh "$PWD/build/win64-test/wineprefix" ctest --preset win64-test -j "$jobs" --no-tests=error || status=1

if [ $status -ne 0 ]; then
  echo "run-tests: FAILED" >&2
  exit 1
fi
echo "run-tests: all tiers passed"
