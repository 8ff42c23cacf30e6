#!/usr/bin/env bash
# The installed toolbox folder on its own, as a user who copied it gets it:
#   toolbox_copy_test.sh OCTAVE PREFIX SOURCE_DIR BUILD_DIR
# copies PREFIX (a fresh install of the Octave build) into a folder of its
# own, checks that no ELF file there has a RUNPATH that leaves the folder,
# then hides the build and source trees (a mount namespace with an empty
# tmpfs over each) and, there, checks what each MEX file and library loads
# and runs test_toolbox_copy.m, which runs the toolbox README's session and
# every example from the copy. Where no mount namespace can be made, the
# trees stay, and the loader's own trace must show nothing read from them.
set -euo pipefail
octave=$1 prefix=$2 source=$(realpath "$3") build=$(realpath "$4")
here=$(dirname "$(realpath "$0")")
fail() { echo "toolbox_copy_test: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/camera-toolbox-copy.XXXXXX)
trap 'rm -rf "$work"' EXIT
case "$work/" in "$source/"* | "$build/"*) fail "the copy's folder $work lies in a tree to hide" ;; esac
copy=$work/toolbox
cp -a "$prefix" "$copy"
mkdir "$work/checks" "$work/run"
cp "$here/test_toolbox_copy.m" "$here/support/runOctaveTest.m" "$here/support/check.m" \
   "$here/support/checkEqual.m" "$work/checks/"

# RUNPATH: only $ORIGIN-relative entries that stay inside the copy.
elves=0
while IFS= read -r -d '' file; do
  head -c 4 "$file" | grep -q $'\x7fELF' || continue
  elves=$((elves + 1))
  runpath=$(readelf -d "$file" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  IFS=: read -r -a entries <<< "$runpath"
  for entry in "${entries[@]}"; do
    case "$entry" in
      '$ORIGIN' | '$ORIGIN/'*) ;;
      *) fail "${file#$copy/}: RUNPATH entry '$entry' is not relative to the file's folder" ;;
    esac
    target=$(realpath -m "$(dirname "$file")/${entry#\$ORIGIN}")
    case "$target/" in "$copy/"*) ;; *) fail "${file#$copy/}: RUNPATH entry '$entry' leaves the folder ($target)" ;; esac
  done
  echo "RUNPATH ${file#$copy/}: ${runpath:-none}"
done < <(find "$copy" -type f -print0)
[ "$elves" -ge 6 ] || fail "only $elves ELF files in the installed folder"

# Unset: a new user's shell sets none of the simulators' variables.
for variable in $(compgen -e | grep -E '^(ANDOR|QCAM)_SIM_' || true); do unset "$variable"; done
export CAMERA_TOOLBOX_COPY=$copy CAMERA_OCTAVE=$octave

# What each file loads: its libraries from the copy or the system, none
# missing. corvid is for MATLAB's Image Acquisition Toolbox, whose own
# library (libimaqmex) MATLAB provides and Octave has not: it is not loaded
# here, and only its RUNPATH is checked.
check_loads() {
  local file lines
  for file in "$copy"/*.mex "$copy"/*.so "$copy"/simulation/*.mex "$copy"/simulation/*.so; do
    case "$(basename "$file")" in corvid.*) echo "ldd ${file#$copy/}: not loaded by Octave"; continue ;; esac
    lines=$(ldd "$file") || fail "ldd ${file#$copy/} failed"
    if grep -q 'not found' <<< "$lines"; then fail "${file#$copy/} misses libraries: $(grep 'not found' <<< "$lines")"; fi
    if grep -E "=> ($source|$build)/" <<< "$lines"; then fail "${file#$copy/} loads from a hidden tree"; fi
    grep -E '=> '"$copy"'/' <<< "$lines" | sed "s|^|ldd ${file#$copy/}: |" || true
  done
}

run_octave() {
  cd "$work/run"
  "$octave" --no-gui --no-window-system --norc --no-history --quiet \
    --eval "addpath('$work/checks'); runOctaveTest('test_toolbox_copy')"
}

if unshare -rm true 2>/dev/null; then
  echo "toolbox_copy_test: the build tree ($build) and the source tree ($source) hidden in a mount namespace"
  export -f check_loads run_octave fail
  export copy work source build octave
  unshare -rm bash -euo pipefail -c '
    mount -t tmpfs tmpfs "$build"
    mount -t tmpfs tmpfs "$source"
    [ -z "$(ls -A "$build")" ] && [ -z "$(ls -A "$source")" ] || fail "the trees are still there"
    check_loads
    run_octave'
else
  echo "toolbox_copy_test: no mount namespace here (unshare -rm refused); the trees stay, and the loader's trace must not read them"
  check_loads
  LD_DEBUG=files LD_DEBUG_OUTPUT=$work/loader run_octave
  compgen -G "$work/loader.*" >/dev/null || fail "the loader wrote no trace"
  grep -qhF "calling init: $copy/libwin32.so" "$work"/loader.* || fail "the loader's trace shows no library of the copy"
  if grep -hE "($source|$build)/" "$work"/loader.*; then fail "Octave loaded files from the build or source tree"; fi
fi
