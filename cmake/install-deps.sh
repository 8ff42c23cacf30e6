#!/usr/bin/env bash
# Installs the Debian packages a build needs, and only those missing.
# Usage: cmake/install-deps.sh demo|all
# Runs apt-get as root; as another user it prefixes sudo.
set -euo pipefail

demo_packages=(cmake ninja-build g++ pkg-config libgtest-dev googletest libtiff-dev libpng-dev
  octave liboctave-dev)
all_packages=("${demo_packages[@]}" libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 clang libclang-rt-14-dev)

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

if [ ${#missing[@]} -eq 0 ]; then
  echo "== packages: all present"
  exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "== packages: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
