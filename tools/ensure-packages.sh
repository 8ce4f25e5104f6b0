#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the release need, when
# anything is missing, and makes sure 32-bit Wine runs. Needs root (or sudo)
# only when something must change. Idempotent: once all is there it changes
# nothing and takes a fraction of a second.
#
# The 32-bit side (the tests of the shipping i686 DLL) needs wine32 from the
# i386 architecture. Where the kernel refuses i386 programs, as some of our
# machines' kernels do, the 32-bit Wine loader runs through qemu-user, which
# binfmt_misc starts for every i386 program. Debian 12's own qemu (7.2) spins
# for about a minute in its mmap emulation on every 32-bit Wine process; 8 or
# later, from bookworm-backports, works. TAVRIN_QEMU_I386=1 puts qemu in
# between even where the kernel runs i386 programs itself, to reproduce the
# slower path.
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
need unzip unzip
need clang++ clang
need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
need /usr/src/googletest/CMakeLists.txt googletest
need /usr/lib/x86_64-linux-gnu/cmake/GTest/GTestConfig.cmake libgtest-dev
need /usr/lib/x86_64-linux-gnu/cmake/benchmark/benchmarkConfig.cmake libbenchmark-dev
need /usr/lib/wine/wine64 wine64
need /usr/lib/wine/wine wine32:i386
need /usr/share/wine/fonts/tahoma.ttf fonts-wine
need Xvfb xvfb
need xvfb-run xvfb
need xauth xauth
need x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64-win32
need i686-w64-mingw32-g++ g++-mingw-w64-i686-win32
need x86_64-w64-mingw32-widl mingw-w64-tools
need import imagemagick
need makensis nsis
need valgrind valgrind  # the report's instruction counts

if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for wine32)"
    $sudo dpkg --add-architecture i386
  fi
  packages=$(printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' ')
  echo "Installing missing packages: $packages"
  $sudo apt-get update -qq
  # --no-install-recommends: wine64 and wine32 would otherwise pull in far more than the tests use.
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq --no-install-recommends $packages >/dev/null
fi

wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386-static
if [ ! -e $binfmt/qemu-i386 ] && [ "${TAVRIN_QEMU_I386:-0}" != 1 ] && "$wine32" --version >/dev/null 2>&1; then
  exit 0  # the kernel runs i386 programs itself
fi

qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p'; }
major=$(qemu_major)
if [ -z "$major" ] || [ "$major" -lt 8 ]; then
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
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
  echo "Installing qemu-user-static from bookworm-backports (32-bit Wine runs through it here)"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
  major=$(qemu_major)
  [ -n "$major" ] && [ "$major" -ge 8 ] || { echo "ensure-packages: $qemu is not version 8 or later" >&2; exit 1; }
fi

# binfmt_misc hands i386 programs to qemu. The registration is machine-wide
# and lasts until reboot. Its F flag makes the kernel open the interpreter at
# registration and keep that file, so after a qemu upgrade the entry still
# runs the old binary: a stamp (in /run, which goes with the boot as the
# registration does) names the binary it was made for.
stamp=/run/tavrin-qemu-i386.registered
want="$(readlink -f "$qemu") $(sha256sum "$qemu" | cut -d' ' -f1)"
if [ -e $binfmt/qemu-i386 ] && grep -qx enabled $binfmt/qemu-i386 && [ "$(cat $stamp 2>/dev/null)" = "$want" ]; then
  exit 0
fi
echo "Registering $qemu for i386 programs (binfmt_misc)"
[ -e $binfmt/register ] || $sudo mount -t binfmt_misc binfmt_misc $binfmt
[ -e $binfmt/qemu-i386 ] && echo -1 | $sudo tee $binfmt/qemu-i386 >/dev/null
# Magic and mask: a 32-bit little-endian ELF executable or shared object for i386.
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
  | $sudo tee $binfmt/register >/dev/null
echo "$want" | $sudo tee $stamp >/dev/null
"$wine32" --version >/dev/null 2>&1 || { echo "ensure-packages: the 32-bit Wine loader does not run through $qemu" >&2; exit 1; }
