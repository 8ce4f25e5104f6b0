#!/usr/bin/env bash
# The setup program, run silently under 32-bit Wine as a user's script would:
#   - into a stand-in player folder (winamp.exe, a Plugins folder holding an
#     older DLL and a settings file): exit 0, the DLL byte for byte the tested
#     one, the settings file untouched, nothing else written (no uninstaller);
#   - into a folder without winamp.exe, and into the stand-in folder while the
#     stand-in player runs (its main window has the player's class): a non-zero
#     exit and nothing written.
#   setup_test.sh SETUP_EXE TESTED_DLL STANDIN_PLAYER_EXE WINEPREFIX
set -u
setup=$1 dll=$2 player=$3 prefix=$4
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../tools/wine-run.sh
# The player and the setup must meet on one display and one wineserver.
[ -n "${DISPLAY:-}" ] || exec "$here/../../tools/with-display.sh" "$prefix" "$0" "$@"
export WINEPREFIX=$prefix
failures=0
fail() { echo "setup_test: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-setup-test.XXXXXX")
player_pid=
finish() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null && wait "$player_pid" 2>/dev/null
  /usr/lib/wine/wineserver -k >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  rm -rf "$work"
}
trap finish EXIT

# A folder as Wine names it (drive Z: is the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Every file with its checksum: what "nothing written" compares.
listing() { (cd "$1" && find . -printf '%y %p\n' -type f -exec sha256sum {} \; | sort); }
# install [FOLDER]: runs the setup silently (into FOLDER), prints its exit code.
install() { "$run" "$prefix" "$setup" /S ${1:+"/D=$(windows_path "$1")"} >/dev/null 2>&1; echo $?; }
# The 32-bit view of the registry, the one the setup (and the player) see.
reg() { "$run" "$prefix" reg "$@" /reg:32 /f >/dev/null 2>&1 || fail "reg $*"; }

player_folder() { # a stand-in player's folder, with an older DLL and a settings file
  mkdir -p "$1/Plugins"
  : >"$1/winamp.exe"
  echo "an older build" >"$1/Plugins/gen_Tavrin.dll"
  printf 'Saved $A\003\001\000\001\001\000\000' >"$1/Plugins/gen_Tavrin.ini"
}

echo "== into a stand-in player folder"
player_folder "$work/player"
settings_before=$(sha256sum <"$work/player/Plugins/gen_Tavrin.ini")
rc=$(install "$work/player")
[ "$rc" = 0 ] || fail "the setup exited with $rc"
cmp -s "$dll" "$work/player/Plugins/gen_Tavrin.dll" || fail "the installed DLL is not the tested $dll"
[ "$(sha256sum <"$work/player/Plugins/gen_Tavrin.ini")" = "$settings_before" ] || fail "the settings file changed"
found=$(cd "$work/player" && find . | sort | tr '\n' ' ')
[ "$found" = ". ./Plugins ./Plugins/gen_Tavrin.dll ./Plugins/gen_Tavrin.ini ./winamp.exe " ] \
  || fail "the folder holds $found"

echo "== into the folder the registry names: the player's own key, else its uninstaller's folder"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp'
player_folder "$work/by-key"
player_folder "$work/by uninstaller"
reg add 'HKCU\Software\Winamp' /ve /d "$(windows_path "$work/by-key")"
reg add "$uninstall_key" /v UninstallString /d "\"$(windows_path "$work/by uninstaller")\\UninstWA.exe\" /S"
rc=$(install)
reg delete 'HKCU\Software\Winamp'
rc=$rc$(install)
reg delete "$uninstall_key"
[ "$rc" = 00 ] || fail "the setups exited with ${rc:0:1} and ${rc:1}"
for folder in by-key "by uninstaller"; do
  cmp -s "$dll" "$work/$folder/Plugins/gen_Tavrin.dll" || fail "no DLL in the folder found as \"$folder\""
done

echo "== into a folder without winamp.exe"
mkdir -p "$work/elsewhere/Plugins"
before=$(listing "$work/elsewhere")
rc=$(install "$work/elsewhere")
[ "$rc" != 0 ] || fail "the setup succeeded without winamp.exe"
[ "$(listing "$work/elsewhere")" = "$before" ] || fail "the setup wrote into a folder without winamp.exe"

echo "== over a running stand-in player"
player_folder "$work/running"
before=$(listing "$work/running")
"$run" "$prefix" "$player" --speed=1 --max-seconds=60 >"$work/player.log" 2>&1 &
player_pid=$!
for _ in $(seq 600); do
  grep -q 'start entry returned' "$work/player.log" && break
  kill -0 "$player_pid" 2>/dev/null || break
  sleep 0.1
done
if grep -q 'start entry returned' "$work/player.log"; then
  rc=$(install "$work/running")
  [ "$rc" != 0 ] || fail "the setup succeeded while the player ran"
  [ "$(listing "$work/running")" = "$before" ] || fail "the setup wrote while the player ran"
else
  fail "the stand-in player did not come up: $(cat "$work/player.log")"
fi

[ $failures -eq 0 ] || exit 1
echo "setup_test: all passed"
