#!/usr/bin/env bash
# Says whether this machine can run the 32-bit Windows tests, and why not.
#
#   cmake/probe-32bit.sh kernel   can the kernel start a 32-bit program?
#   cmake/probe-32bit.sh wine     that, and is Debian's 32-bit Wine installed?
#
# Exits 0 if so; otherwise prints one line saying why and exits 1.
# CAMERA_NO_32BIT=1 makes the probe fail, so the path of a machine without
# 32-bit support can be tried on one that has it.
set -euo pipefail

if [ "${CAMERA_NO_32BIT:-0}" != 0 ]; then
  echo "32-bit programs: turned off (CAMERA_NO_32BIT=$CAMERA_NO_32BIT)"
  exit 1
fi

# The smallest i386 ELF program there is: one loadable segment whose code
# calls exit(42) through int 0x80. A kernel without 32-bit support refuses
# to start it (and a shell that tried it as a script would not answer 42).
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
{
  # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'
  printf '\x00\x00\x00\x00'
  # program header: the whole file, read and execute, at 0x08048000
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  printf '\x5e\x00\x00\x00\x5e\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  # mov ebx,42; xor eax,eax; inc eax; int 0x80
  printf '\xbb\x2a\x00\x00\x00\x31\xc0\x40\xcd\x80'
} > "$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
if [ "$status" -ne 42 ]; then
  echo "32-bit programs: this machine cannot run them (its kernel refused a 32-bit probe)"
  exit 1
fi

if [ "${1:-wine}" = wine ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit programs: 32-bit Wine (wine32:i386) is not installed"
  exit 1
fi
exit 0
