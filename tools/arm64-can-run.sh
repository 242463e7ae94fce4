#!/usr/bin/env bash
# Says whether this machine can start arm64 programs as ordinary programs
# (the kernel hands them to the qemu user emulator through binfmt_misc).
# The arm64 suite needs that: its tests start quado and the tools by path.
# Exit 0 if it can; otherwise one line saying why, and exit 1.
set -uo pipefail

BINFMT=/proc/sys/fs/binfmt_misc
# The arm64 C library's loader is an arm64 program that every arm64 build
# needs anyway; starting it proves the whole path, from the kernel to qemu.
LOADER=/lib/ld-linux-aarch64.so.1

why=""
if [ ! -e "$BINFMT/register" ]; then
  why="binfmt_misc is not mounted at $BINFMT (an unprivileged container cannot mount it)"
elif [ ! -e "$BINFMT/qemu-aarch64" ]; then
  why="no qemu-aarch64 entry in $BINFMT (it could not be registered)"
elif [ "$(head -n1 "$BINFMT/qemu-aarch64")" != "enabled" ]; then
  why="the qemu-aarch64 entry in $BINFMT is disabled"
elif [ ! -x "$LOADER" ]; then
  why="$LOADER is missing (libc6:arm64 not installed)"
elif ! out=$("$LOADER" --version 2>&1); then
  why="the kernel cannot start arm64 programs: ${out%%$'\n'*}"
fi

if [ -n "$why" ]; then
  echo "arm64: suite under emulation SKIPPED: $why"
  exit 1
fi
exit 0
