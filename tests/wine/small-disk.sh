#!/usr/bin/env bash
# Runs a command with a small filesystem of its own, for tests of what a full
# disk does: mounts a tmpfs of SIZE kilobytes on a fresh folder, names it in
# LUM_SMALL_DISK (a Unix path; Wine reaches it through drive Z:), runs the
# command and unmounts. Where nothing can be mounted (no privilege) the
# command runs without LUM_SMALL_DISK and such tests skip themselves.
#
#   small-disk.sh SIZE_KB COMMAND [ARGS...]
set -uo pipefail
size_kb=$1; shift
disk=$(mktemp -d "${TMPDIR:-/tmp}/lum-small-disk.XXXXXX")
if mount -t tmpfs -o "size=${size_kb}k,mode=0700" lum-small-disk "$disk" 2>/dev/null; then
  export LUM_SMALL_DISK="$disk"
  trap 'umount "$disk"; rmdir "$disk"' EXIT
else
  echo "small-disk.sh: no filesystem could be mounted; full-disk tests skip" >&2
  trap 'rmdir "$disk"' EXIT
fi
"$@"
