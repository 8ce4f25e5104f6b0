#!/usr/bin/env bash
# Checks a built gen_Tavrin.dll: machine, the undecorated export, imports only
# from system DLLs. Prints its size. Usage: check-dll.sh DLL i386|x86-64
set -u
dll=$1
arch=$2
objdump=x86_64-w64-mingw32-objdump
fail() { echo "check-dll: $*" >&2; exit 1; }

[ -f "$dll" ] || fail "$dll does not exist"
headers=$("$objdump" -p "$dll") || fail "objdump cannot read $dll"

case $arch in
  i386) grep -q 'file format pei-i386' <<<"$headers" || fail "$dll is not PE32 i386" ;;
  x86-64) grep -q 'file format pei-x86-64' <<<"$headers" || fail "$dll is not PE32+ x86-64" ;;
  *) fail "unknown architecture $arch" ;;
esac

# The export table lists names as "[ordinal] name"; the host looks up the plain name.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | grep -oE '^\s*\[ *[0-9]+\] [^ ]+$' | sed -E 's/.*\] //')
[ "$exports" = "winampGetGeneralPurposePlugin" ] || fail "exports are '$exports', expected only winampGetGeneralPurposePlugin"

allowed='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|msvcrt)\.dll$'
imports=$(grep -oE 'DLL Name: .+' <<<"$headers" | cut -c11- | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
  grep -qE "$allowed" <<<"$name" || fail "imports from non-system DLL $name"
done

echo "$dll: $arch, exports winampGetGeneralPurposePlugin, imports $(echo $imports | tr '\n' ' '), $(stat -c %s "$dll") bytes"
