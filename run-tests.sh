#!/usr/bin/env bash
# Builds every preset and runs every test on every host: natively with the
# stand-ins (AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded
# tests under ThreadSanitizer), under wine64 against real Win32, under 32-bit
# Wine where the machine runs 32-bit programs (otherwise those tests count as
# skipped; CAMERA_NO_32BIT=1 skips them on purpose), in GNU Octave, and a
# bounded libFuzzer run per MEX library (clang). Each of the Linux, x86-64
# and i686 builds also makes a MATLAB root from the stand-in; a second build
# tree finds it with FindMatlab, builds the MEX libraries as against a real
# MATLAB, runs the tests that load them and checks what ships (the
# binaries' imports and versions, the toolbox zip). First of all, every C
# and C++ file must match .clang-format (cmake/check-format.sh). Installs
# what is missing first; safe to run again. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

cmake/install-deps.sh all

passed=0
failed=0
skipped=0
status=0

# The format check counts as one test, run first since it takes seconds.
echo "== format"
if cmake/check-format.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

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

# Counts a preset's tests as skipped, never as passed, and says why.
skip_tests() {
  local count
  count=$(ctest --preset "$1" -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
  echo "== tests: $1 skipped (${count:-0} tests): $2"
  skipped=$((skipped + ${count:-0}))
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
if why=$(cmake/probe-32bit.sh wine); then
  run_tests windows-x86
  run_tests matlab-windows-x86
else
  skip_tests windows-x86 "$why"
  skip_tests matlab-windows-x86 "$why"
fi
build release
build fuzz
run_tests fuzz
build octave
run_tests octave

echo "== summary"
echo "$passed passed, $failed failed, $skipped skipped"
exit $status
