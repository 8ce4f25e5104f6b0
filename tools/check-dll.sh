#!/usr/bin/env bash
# Checks a built gen_Tavrin.dll: machine, the undecorated exports, imports only
# from the list of what Windows XP offers (tools/xp-imports.txt), headers that
# ask for no newer Windows, nothing that needs C runtime start-up code (the DLL
# has none), no time stamp, and for the shipping i386 DLL its size budget.
# Prints its size. Usage: check-dll.sh DLL i386|x86-64
set -u
dll=$1
arch=$2
objdump=x86_64-w64-mingw32-objdump
allowed_imports=$(dirname "$0")/xp-imports.txt
budget=28672  # bytes, for the i386 DLL users download
fail() { echo "check-dll: $*" >&2; exit 1; }

[ -f "$dll" ] || fail "$dll does not exist"
headers=$("$objdump" -p "$dll") || fail "objdump cannot read $dll"
sections=$("$objdump" -h "$dll" | awk '/^ +[0-9]+ /{ print $2 }')

case $arch in
  i386) grep -q 'file format pei-i386' <<<"$headers" || fail "$dll is not PE32 i386" ;;
  x86-64) grep -q 'file format pei-x86-64' <<<"$headers" || fail "$dll is not PE32+ x86-64" ;;
  *) fail "unknown architecture $arch" ;;
esac

# The export table lists names as "[ordinal] name"; the host looks up the plain names.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | grep -oE '^\s*\[ *[0-9]+\] [^ ]+$' | sed -E 's/.*\] //' | tr '\n' ' ')
expected="winampGetGeneralPurposePlugin winampUninstallPlugin "
[ "$exports" = "$expected" ] || fail "exports are '$exports', expected only $expected"

# The loader finds them through the export directory alone (objdump also finds
# a section named .edata without one), and takes an export whose address lies
# inside that directory for a forwarder to another DLL, as objdump does.
dir_rva=$(awk '$1 == "Entry" && $2 == 0 { print $3 }' <<<"$headers")
[ $((16#${dir_rva:-0})) -ne 0 ] || fail "$dll has no export directory"
grep -q 'Forwarder RVA' <<<"$headers" && fail "$dll has an export inside its export directory, a forwarder to the loader"

# Imports as "dll function": a "DLL Name:" line, then one line per function
# (hint-table address, hint, name).
imports=$(awk '/^\tDLL Name: / { dll = tolower($3); next }
               dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3; next }
               /^$/ { dll = "" }' <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no imports found in $dll"
unlisted=$(comm -23 <(echo "$imports") <(grep -v '^#' "$allowed_imports" | sort -u))
[ -z "$unlisted" ] || fail "imports not on the Windows XP list ($allowed_imports): $(echo $unlisted)"

# Windows refuses to load an image whose headers ask for a newer Windows:
# XP is 5.1 (its x64 edition 5.2).
newest=501
[ "$arch" = x86-64 ] && newest=502
for field in MajorOSystemVersion MajorSubsystemVersion; do
  major=$(awk -v f="$field" '$1 == f { print $2 }' <<<"$headers")
  minor=$(awk -v f="${field/Major/Minor}" '$1 == f { print $2 }' <<<"$headers")
  [ $((major * 100 + minor)) -le $newest ] || fail "$field is $major.$minor, newer than Windows XP"
done

# No start-up code runs thread-local storage callbacks or the CRT's tables.
for name in .tls .CRT; do
  grep -qx -- "$name" <<<"$sections" && fail "$dll has a $name section, which nothing would initialise"
done
grep -qE 'Entry 9 0+ 0+ Thread Storage Directory' <<<"$headers" || fail "$dll has a thread storage directory"

# Reproducible: no link time in the headers or the export table.
grep -qE '^Time/Date\s+Thu Jan  1 00:00:00 1970$' <<<"$headers" || fail "$dll has a link time stamp"
grep -qE '^Time/Date stamp\s+0$' <<<"$headers" || fail "$dll's export table has a time stamp"

size=$(stat -c %s "$dll")
note=
if [ "$arch" = i386 ]; then
  [ "$size" -le $budget ] || fail "$dll is $size bytes, over its budget of $budget"
  note=" (budget $budget, $((budget - size)) to spare)"
fi
echo "$dll: $arch, exports ${exports% }, $(wc -l <<<"$imports") imports from" \
  "$(cut -d' ' -f1 <<<"$imports" | sort -u | tr '\n' ' ')- all on the XP list, $size bytes$note"
