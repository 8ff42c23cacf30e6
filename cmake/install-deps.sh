#!/usr/bin/env bash
# Installs the Debian packages a build needs, and only those missing; with
# all, also 32-bit Wine where the machine can run 32-bit programs.
# Usage: cmake/install-deps.sh demo|all
# Runs apt-get as root; as another user it prefixes sudo.
set -euo pipefail

demo_packages=(cmake ninja-build g++ pkg-config libgtest-dev googletest libtiff-dev libpng-dev
  octave liboctave-dev)
# llvm-14 gives llvm-dlltool, which writes the import libraries in
# Microsoft's format that a 32-bit MATLAB root holds.
all_packages=("${demo_packages[@]}" libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 clang libclang-rt-14-dev clang-format llvm-14)

case "${1:-all}" in
  demo) wanted=("${demo_packages[@]}") ;;
  all) wanted=("${all_packages[@]}") ;;
  *) echo "usage: $0 demo|all" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

if [ ${#missing[@]} -eq 0 ]; then
  echo "== packages: all present"
else
  echo "== packages: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine runs the i686 build's tests, where the machine runs 32-bit
# programs at all. Going without it is no error: run-tests.sh then counts
# those tests as skipped and says why.
if [ "${1:-all}" = all ]; then
  if ! why=$("$(dirname "$0")/probe-32bit.sh" kernel); then
    echo "== 32-bit Wine: not installed: $why"
  elif dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
       dpkg-query -W -f='${Status}' wine 2>/dev/null | grep -q 'install ok installed'; then
    echo "== 32-bit Wine: present"
  else
    echo "== 32-bit Wine: installing wine32:i386 wine"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo[@]}" dpkg --add-architecture i386
    fi
    if ! { "${sudo[@]}" apt-get update -q &&
           DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends wine32:i386 wine; }; then
      echo "== 32-bit Wine: the packages could not be installed; the 32-bit tests will be skipped"
    fi
  fi
fi
