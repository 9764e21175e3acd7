#!/usr/bin/env bash
# The binfmt_misc entry that makes the kernel hand i386 programs to
# qemu-i386, for the length of a run. The entry is machine-wide and several
# runs may overlap, so each run holds it under its process id: the first
# holder registers it, the last one to let go removes it, and a holder that
# died without letting go does not keep it.
#
#   qemu-binfmt.sh hold PID      register the entry if it is not there, PID holds it
#   qemu-binfmt.sh release PID   PID lets go; the entry goes when no live holder is left
#
# The "F" flag opens qemu-i386 when the entry is registered, so the entry
# works in any mount namespace and whatever the guest's root. Needs root.
set -uo pipefail
binfmt=${LUM_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
state=${LUM_BINFMT_STATE:-/run/lum-qemu-i386}
entry=lum-qemu-i386
say() { printf '[qemu-binfmt] %s\n' "$*" >&2; }

registered() { [ -e "$binfmt/$entry" ] && grep -qx enabled "$binfmt/$entry"; }

register() {
  local qemu=$1
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || { say "binfmt_misc cannot be mounted (root is needed)"; return 1; }
  fi
  [ -e "$binfmt/$entry" ] && echo -1 >"$binfmt/$entry"
  printf ':%s:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:%s:F\n' \
    "$entry" "$qemu" >"$binfmt/register" || { say "the qemu-i386 entry could not be registered in binfmt_misc"; return 1; }
  say "registered $binfmt/$entry -> $qemu (flag F)"
}

live_holders() {
  local f n=0
  for f in "$state"/*; do
    [ -f "$f" ] || continue
    if kill -0 "$(basename "$f")" 2>/dev/null; then n=$((n + 1)); else rm -f "$f"; fi
  done
  echo "$n"
}

pid=${2:-}
case "${1:-}" in
  hold|release) [[ $pid =~ ^[0-9]+$ ]] || { say "usage: $0 hold|release PID"; exit 2; } ;;
  *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
mkdir -p "$state"
exec 9>"$state.lock"
flock 9
case $1 in
  hold)
    qemu=$(command -v qemu-i386) || { say "qemu-i386 is not installed (Debian package qemu-user)"; exit 1; }
    # An entry left by a run that died, or naming another qemu, is made anew
    # when no one holds it.
    if ! registered || { [ "$(live_holders)" = 0 ] && ! grep -qx "interpreter $qemu" "$binfmt/$entry"; }; then
      register "$qemu" || exit 1
    fi
    : >"$state/$pid"
    ;;
  release)
    rm -f "$state/$pid"
    if [ "$(live_holders)" = 0 ] && [ -e "$binfmt/$entry" ]; then
      echo -1 >"$binfmt/$entry" && say "removed $binfmt/$entry"
    fi
    ;;
esac
exit 0
