#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the release need, when
# anything is missing, and lets this machine run 32-bit Wine. Needs root (or
# sudo) only when something must change. Idempotent: a second run changes
# nothing and takes well under a second.
#
# The 32-bit side (the tests of the shipping i686 DLL): wine32 from the i386
# architecture. Where the kernel refuses i386 ELF programs, as some of our
# machines' kernels do, the 32-bit Wine loader runs through qemu-user, which
# binfmt_misc starts for every i386 ELF program. Debian 12's own qemu (7.2)
# spins for about a minute in its mmap emulation on every 32-bit Wine process;
# 8 or later (bookworm-backports) works. TAVRIN_QEMU_I386=1 registers qemu even
# where the kernel runs i386 programs itself, to reproduce the slower path.
set -eu

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive

missing=()
need() { # need COMMAND-OR-PATH PACKAGE
  if [[ $1 == /* ]]; then [ -e "$1" ] || missing+=("$2"); else command -v "$1" >/dev/null 2>&1 || missing+=("$2"); fi
}
need cmake cmake
need make make
need zip zip
need clang++ clang
need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
need /usr/src/googletest/CMakeLists.txt googletest
need /usr/lib/x86_64-linux-gnu/cmake/GTest/GTestConfig.cmake libgtest-dev
need /usr/lib/x86_64-linux-gnu/cmake/benchmark/benchmarkConfig.cmake libbenchmark-dev
need /usr/lib/wine/wine64 wine64
need /usr/share/wine/fonts/tahoma.ttf fonts-wine
need Xvfb xvfb
need xvfb-run xvfb
need xauth xauth
need x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64-win32
need i686-w64-mingw32-g++ g++-mingw-w64-i686-win32
need x86_64-w64-mingw32-widl mingw-w64-tools
need import imagemagick

qemu=/usr/bin/qemu-i386-static
qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p'; }
has_i386=1
dpkg --print-foreign-architectures | grep -qx i386 || has_i386=0
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || missing+=("wine32:i386")
major=$(qemu_major)
new_qemu=1
[ -n "$major" ] && [ "$major" -ge 8 ] || new_qemu=0

if [ ${#missing[@]} -gt 0 ] || [ $has_i386 -eq 0 ] || [ $new_qemu -eq 0 ]; then
  if [ $has_i386 -eq 0 ]; then
    echo "Adding the i386 architecture (for wine32)"
    $sudo dpkg --add-architecture i386
  fi
  if [ $new_qemu -eq 0 ] && ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # The same archive as the machine's own bookworm entry (deb822 or one-line format).
    mirror=$(awk '/^URIs:/ { u = $2 } /^Suites:/ && / bookworm( |$)/ && u { print u; exit }' \
      /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
    [ -n "$mirror" ] || { echo "ensure-packages: no bookworm entry in the apt sources to add backports beside" >&2; exit 1; }
    echo "Adding bookworm-backports from $mirror (for qemu-user 8 or later)"
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$mirror" | $sudo tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
  fi
  $sudo apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    packages=$(printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' ')
    echo "Installing missing packages: $packages"
    # --no-install-recommends: wine64 would otherwise pull in far more than the tests use.
    # shellcheck disable=SC2086
    $sudo apt-get install -y -qq --no-install-recommends $packages >/dev/null
  fi
  if [ $new_qemu -eq 0 ]; then
    echo "Installing qemu-user-static from bookworm-backports"
    $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
    major=$(qemu_major)
    [ -n "$major" ] && [ "$major" -ge 8 ] || { echo "ensure-packages: $qemu is not version 8 or later" >&2; exit 1; }
  fi
fi

# binfmt_misc: i386 ELF programs go to qemu. The registration is machine-wide
# and lasts until reboot. Its F flag makes the kernel open the interpreter at
# registration and keep that file, so after a qemu upgrade the entry still
# runs the old binary: a stamp (in /run, which goes with the boot as the
# registration does) names the binary it was made for.
wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
stamp=/run/tavrin-qemu-i386.registered
want="$(readlink -f "$qemu") $(sha256sum "$qemu" | cut -d' ' -f1)"
if [ -e $binfmt/qemu-i386 ]; then
  grep -qx enabled $binfmt/qemu-i386 && [ "$(cat $stamp 2>/dev/null)" = "$want" ] && exit 0
elif [ "${TAVRIN_QEMU_I386:-0}" != 1 ] && "$wine32" --version >/dev/null 2>&1; then
  exit 0  # this kernel runs i386 programs itself
fi
echo "Registering $qemu for i386 programs (binfmt_misc)"
[ -e $binfmt/register ] || $sudo mount -t binfmt_misc binfmt_misc $binfmt
[ -e $binfmt/qemu-i386 ] && echo -1 | $sudo tee $binfmt/qemu-i386 >/dev/null
# Magic and mask: a 32-bit little-endian ELF executable or shared object for i386.
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
  | $sudo tee $binfmt/register >/dev/null
echo "$want" | $sudo tee $stamp >/dev/null
"$wine32" --version >/dev/null 2>&1 || { echo "ensure-packages: the 32-bit Wine loader does not run through $qemu" >&2; exit 1; }
