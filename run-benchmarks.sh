#!/usr/bin/env bash
# Builds the release preset, runs every benchmark (each in a process of its
# own, so each one's peak memory is its own), then writes bench/results.json
# and bench/RESULTS.md: each figure beside its baseline, the ratio and the
# target. Installs what is missing first. Takes a few minutes.
#   BENCH_BUILD_DIR  build folder of the release preset (default build/release)
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

# Runs every benchmark of one program, one process each.
run_program() {
  local program=$1 dest=$2 n=0 name
  shift 2
  while IFS= read -r name; do
    [ -n "$name" ] || continue
    n=$((n + 1))
    echo "== $name"
    "$@" "$program" --benchmark_filter="^${name}\$" --benchmark_repetitions=3 \
      --benchmark_report_aggregates_only=true \
      --benchmark_out="$dest/$(basename "$program")-$n.json" --benchmark_out_format=json
  done < <("$@" "$program" --benchmark_list_tests | tr -d '\r')
}

for program in corvid_bench watch_bench submit_bench copy_bench; do
  run_program "$build/bin/$program" "$runs/linux"
done

python3 bench/report.py bench "$runs/linux"
echo "== wrote bench/results.json and bench/RESULTS.md"
