#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Needs root (or sudo) only when something must be installed.
set -eu

missing=()
need() { # need COMMAND-OR-PATH PACKAGE
  if [[ $1 == /* ]]; then [ -e "$1" ] || missing+=("$2"); else command -v "$1" >/dev/null 2>&1 || missing+=("$2"); fi
}
need cmake cmake
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

[ ${#missing[@]} -eq 0 ] && exit 0

# Deduplicate; --no-install-recommends keeps wine64 from pulling in the 32-bit wine this kernel cannot run.
packages=$(printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' ')
echo "Installing missing packages: $packages"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $packages >/dev/null
