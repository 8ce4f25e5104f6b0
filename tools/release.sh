#!/usr/bin/env bash
# Builds the release users download, dist/Tavrin-<version>.zip:
#   gen_Tavrin.dll   the 32-bit plug-in, built from scratch in a folder of its own
#   README.txt       for users: install, configure, placeholders, settings, troubleshooting
#   LICENSE          MIT
#   CHANGELOG.txt    what each version brought
# and beside it dist/Tavrin-<version>-setup.exe, the setup program that copies
# that same DLL into the player's Plugins folder (tools/setup.nsi, built by
# the win32 build's "setup" target).
# The texts get Windows line ends. The same sources give the same zip and
# setup program, byte for byte, wherever and whenever they are built: the DLL
# carries no time stamp or build path, the setup no file time, and the zip's
# entries have a fixed order, fixed permissions and one fixed time,
# SOURCE_DATE_EPOCH when set, otherwise the last commit's.
#   tools/release.sh [OUT_DIR]    (default: dist)
# Installs the Debian packages it needs when missing.
set -eu -o pipefail
fail() { echo "release: $*" >&2; exit 1; }
out=${1:-$(dirname "$0")/../dist}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$(dirname "$0")/.."
root=$PWD

tools/ensure-packages.sh

# The version is said once, in CMakeLists.txt's project().
version=$(sed -n 's/^project(Tavrin VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt's project()"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) \
    || fail "not a git checkout: set SOURCE_DATE_EPOCH to the time the zip's entries should carry"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "== building gen_Tavrin.dll $version and its setup program (i686, in $work)"
cmake --preset win32 -B "$work/build" -D TAVRIN_WINDOWS_TESTS=OFF >"$work/build.log" 2>&1 \
  && cmake --build "$work/build" -j 2 --target gen_Tavrin setup >>"$work/build.log" 2>&1 \
  || { tail -30 "$work/build.log" >&2; fail "the build failed"; }
dll=$work/build/gen_Tavrin.dll
tools/check-dll.sh "$dll" i386
grep -qaF "Tavrin v$version" "$dll" || fail "the DLL does not call itself \"Tavrin v$version\", as CMakeLists.txt says"

stage=$work/stage
mkdir "$stage"
cp "$dll" "$stage/gen_Tavrin.dll"
crlf() { sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$1" >"$2"; }
crlf docs/README.txt "$stage/README.txt"
crlf LICENSE "$stage/LICENSE"
crlf CHANGELOG.md "$stage/CHANGELOG.txt"
files=(gen_Tavrin.dll README.txt LICENSE CHANGELOG.txt)
for f in "${files[@]}"; do
  chmod 644 "$stage/$f"
  touch -d "@$SOURCE_DATE_EPOCH" "$stage/$f"
done

# -X: no extra fields (owner, precise times); the entries' DOS times are
# local times, hence UTC.
zip=$out/Tavrin-$version.zip
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -q "$work/release.zip" "${files[@]}")
mv "$work/release.zip" "$zip"
setup=$out/Tavrin-$version-setup.exe
cp "$work/build/Tavrin-$version-setup.exe" "$setup"
for made in "$zip" "$setup"; do
  echo "== ${made#$root/}: $(stat -c %s "$made") bytes, sha256 $(sha256sum "$made" | cut -d' ' -f1)"
done
