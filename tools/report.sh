#!/usr/bin/env bash
# Size and speed report: the two DLLs as inspected, the instructions of one
# unchanged tick under callgrind, and the composer benchmarks' medians (cost
# of one tick with an unchanged title and of one expansion of the default
# template), and how long the player's UI thread stalls on a busy or hung
# messenger (tools/report-stalls.sh). Builds what it reports on; run
# tools/run-tests.sh first on a fresh machine (it installs the packages).
set -eu
cd "$(dirname "$0")/.."

for preset in native win32 win64-test; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset win32 -j "$(nproc)" --target gen_Tavrin >/dev/null
cmake --build --preset win64-test -j "$(nproc)" --target gen_Tavrin >/dev/null
cmake --build --preset native -j "$(nproc)" --target tavrin_bench tick_driver >/dev/null

echo "== DLLs"
tools/check-dll.sh build/win32/gen_Tavrin.dll i386
tools/check-dll.sh build/win64-test/gen_Tavrin.dll x86-64

# Instructions are the measure that holds on a shared machine: callgrind
# counts those inside TavrinUnchangedTick over the driver's ticks.
echo "== one unchanged tick with the default template (callgrind, native build)"
out=$(mktemp)
ticks=$(valgrind --tool=callgrind --toggle-collect=TavrinUnchangedTick --callgrind-out-file="$out" \
  build/native/tick_driver 2>/dev/null | sed -n 's/^ticks \([0-9]*\) .*/\1/p')
total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
rm -f "$out"
echo "$((total / ticks)) instructions per tick ($total over $ticks ticks)"

echo "== composer benchmarks (medians of 5 repetitions; the machine is shared, so compare ratios)"
build/native/tavrin_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='.' 2>/dev/null | grep -E '^(Benchmark|-|BM_.*_median)'

# The player's UI thread while the plug-in talks to a busy or hung messenger:
# two scenes under Wine, five runs each (about three minutes).
tools/report-stalls.sh
