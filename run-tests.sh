#!/usr/bin/env bash
# Builds every preset and runs every test on every host: natively with the
# stand-ins (AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded
# tests under ThreadSanitizer), under wine64 against real Win32, in GNU Octave,
# a bounded libFuzzer run per MEX library (clang), and links the 32-bit
# Windows build. Each of the Linux, x86-64 and i686 builds also makes a
# MATLAB root from the stand-in; a second build tree finds it with
# FindMatlab, builds the MEX libraries as against a real MATLAB, and runs
# the tests that load them (natively and under wine64), and the x86-64 one
# makes the toolbox zip. Installs what is missing first; safe to run again.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

cmake/install-deps.sh all

passed=0
failed=0
status=0

build() {
  echo "== configure and build: $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

# Runs one preset's tests and adds its counts to the totals.
run_tests() {
  local preset=$1 log
  log=$(mktemp)
  echo "== tests: $preset"
  if ctest --preset "$preset" 2>&1 | tee "$log"; then :; else status=1; fi
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then
      echo "   ($preset has no tests yet)"
    else
      status=1
    fi
  else
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" -eq 0 ] || status=1
  fi
  rm -f "$log"
}

build dev
run_tests dev
build matlab-linux
run_tests matlab-linux
build tsan
run_tests tsan
build windows-x64
run_tests windows-x64
build matlab-windows-x64
run_tests matlab-windows-x64
build windows-x86
build matlab-windows-x86
build release
build fuzz
run_tests fuzz
if [ -d octave ] && [ -f octave/CMakeLists.txt ]; then
  build octave
  run_tests octave
fi

echo "== summary"
echo "$passed passed, $failed failed"
exit $status
