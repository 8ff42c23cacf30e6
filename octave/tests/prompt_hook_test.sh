#!/usr/bin/env bash
# Callbacks while Octave waits at its prompt: an interactive Octave on a
# pseudo-terminal (readline calls the input event hooks only there) registers
# a driver-event callback on a free-running camera and is then left waiting
# for input. The callback must keep running through pumpEvents, called by
# Octave's input event hook. Usage: prompt_hook_test.sh OCTAVE ADDPATH-ARGS
set -euo pipefail
octave=$1
paths=$2
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

mkfifo "$work/in"
script -qfec "$octave --norc --no-history --quiet --no-gui --no-window-system" /dev/null <"$work/in" >"$work/out" 2>&1 &
pid=$!
exec 3>"$work/in"
# The marker is built at run time so the echoed command line does not match it.
echo "addpath($paths); camsim('andorReset'); cam = SimulatedAndorCamera(100, 8, 8); camsim('andorSetFramePeriod', 100, 0.02); camsim('andorSetFreeRunning', true); watchDriverSignal(cam, @(c, s) disp(['CALLBACK' '-AT-PROMPT'])); start(cam);" >&3

# Nothing more is typed: every callback now runs from the prompt.
fired=$(timeout 30 grep -m 3 'CALLBACK-AT-PROMPT' <(tail -n +1 -f "$work/out") | wc -l || true)
echo "exit" >&3
exec 3>&-
timeout 30 tail --pid="$pid" -f /dev/null || true

echo "prompt hook: $fired callbacks ran while Octave waited at its prompt (3 wanted)"
if [ "$fired" -lt 3 ]; then
  echo "Octave's output:"
  cat -v "$work/out" | tail -n 20
  exit 1
fi
