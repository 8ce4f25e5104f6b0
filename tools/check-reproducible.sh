#!/usr/bin/env bash
# Checks that the release is reproducible: tools/release.sh run on this tree
# and, a little later, on a copy of it in another folder (so every source and
# build path differs) gives byte-identical zips and setup programs. With a DLL
# argument, also checks that the zip's DLL is that one, byte for byte, and with
# a setup argument that the setup program is that one: what the tests ran is
# what users get.
#   tools/check-reproducible.sh [TESTED_DLL [TESTED_SETUP]]
set -eu -o pipefail
cd "$(dirname "$0")/.."
root=$PWD
tested=${1:-}
tested_setup=${2:-}
fail() { echo "check-reproducible: $*" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Both builds get the same entry time; the copy has no git history to take it from.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}
export SOURCE_DATE_EPOCH

mkdir "$work/copy"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$work/copy" -xf -
tools/release.sh "$work/a" >"$work/a.log" 2>&1 || { cat "$work/a.log" >&2; fail "the first build failed"; }
"$work/copy/tools/release.sh" "$work/b" >"$work/b.log" 2>&1 || { cat "$work/b.log" >&2; fail "the second build failed"; }

zips=("$work"/a/Tavrin-*.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "no zip from the first build"
name=$(basename "${zips[0]}")
cmp "$work/a/$name" "$work/b/$name" || fail "two builds of the same sources gave different zips"
setup=${name%.zip}-setup.exe
[ -f "$work/a/$setup" ] || fail "no $setup from the first build"
cmp "$work/a/$setup" "$work/b/$setup" || fail "two builds of the same sources gave different setup programs"
if [ -n "$tested_setup" ]; then
  cmp "$work/a/$setup" "$tested_setup" || fail "the release's $setup is not the tested $tested_setup"
fi
mkdir "$work/unzipped"
unzip -q "$work/a/$name" -d "$work/unzipped"
if [ -n "$tested" ]; then
  cmp "$work/unzipped/gen_Tavrin.dll" "$tested" || fail "the zip's DLL is not the tested $tested"
fi
echo "check-reproducible: $name and $setup built twice in different folders: identical" \
  "($(sha256sum "$work/a/$name" | cut -c1-16)..., $(sha256sum "$work/a/$setup" | cut -c1-16)...)"
