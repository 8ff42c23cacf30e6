#!/usr/bin/env bash
# Builds the release preset, runs every benchmark (each in a process of its
# own, so each one's peak memory is its own), then writes bench/results.json
# and bench/RESULTS.md: each figure beside its baseline, the ratio and the
# target. Installs what is missing first. Takes a few minutes.
#   BENCH_BUILD_DIR          build folder of the release preset (default build/release)
#   BENCH_WINDOWS=0          skip the Windows build and its runs under wine64
#   BENCH_WINDOWS_BUILD_DIR  its build folder (default build/windows-x64-bench)
#   BENCH_ROUNDS             rounds of every benchmark (default 3)
set -euo pipefail
cd "$(dirname "$0")"

cmake/install-deps.sh all

build=${BENCH_BUILD_DIR:-build/release}
echo "== configure and build: release in $build"
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j2

runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
mkdir -p "$runs/linux"

# Runs every benchmark of one program, one process each, in rounds: each
# round runs them all once, so a figure and its baseline are measured side by
# side again and again, and a slow spell of the machine falls on both. The
# report takes each figure's median over the rounds.
rounds=${BENCH_ROUNDS:-3}
run_program() {
  local program=$1 dest=$2 n round name
  shift 2
  local names=()
  while IFS= read -r name; do
    [ -n "$name" ] && names+=("$name")
  done < <("$@" "$program" --benchmark_list_tests | tr -d '\r')
  for round in $(seq 1 "$rounds"); do
    n=0
    for name in "${names[@]}"; do
      n=$((n + 1))
      echo "== round $round: $name"
      "$@" "$program" --benchmark_filter="^${name}\$" --benchmark_min_time=1 \
        --benchmark_out="$dest/$(basename "$program")-$n-round$round.json" --benchmark_out_format=json
    done
  done
}

for program in corvid_bench watch_bench submit_bench copy_bench; do
  run_program "$build/bin/$program" "$runs/linux"
done

windows_runs=
if [ "${BENCH_WINDOWS:-1}" != 0 ]; then
  # The windows-x64 toolchain, optimised as the release preset is.
  winbuild=${BENCH_WINDOWS_BUILD_DIR:-build/windows-x64-bench}
  echo "== configure and build: windows-x64, optimised, in $winbuild"
  cmake --preset windows-x64 -B "$winbuild" -DCMAKE_BUILD_TYPE=Release -DCAMERA_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$winbuild" -j2 --target corvid_bench watch_bench submit_bench copy_bench
  mkdir -p "$runs/windows"
  root=$PWD
  # Under wine64, from the folder of the DLLs the programs load.
  for program in corvid_bench watch_bench submit_bench copy_bench; do
    (cd "$winbuild/bin" && run_program "./$program.exe" "$runs/windows" "$root/cmake/wine-run.sh")
  done
  windows_runs="$runs/windows"
fi

python3 bench/report.py bench "$runs/linux" $windows_runs
echo "== wrote bench/results.json and bench/RESULTS.md"
