#!/usr/bin/env bash
# Which way this host runs the installer's Windows programs under Wine.
#
#   native32   the host runs 32-bit x86 code: every layer against the 32-bit
#              build under Debian's wine (wine32 and wine64, WoW64 prefix)
#   emulated32 no 32-bit code natively, qemu-i386 can emulate it: the layers
#              run against the 32-bit build under Debian's wine, its 32-bit
#              side under qemu-i386 (and against the 64-bit build under wine64)
#   win64      no 32-bit code at all: the layers against the 64-bit build
#              under wine64, no 32-bit run
#
#   wine-route.sh probe          prints "ROUTE<TAB>why" for this host
#   wine-route.sh check ROUTE    exits 0 when ROUTE's Wine starts, else prints one line why
#
# LUM_WINE_ROUTE=native32|emulated32|win64 forces a route on any host (dev
# reads it before probing). For tests: LUM_PROBE_ELF names a program to run
# in place of the 32-bit probe program, LUM_PROBE_BINFMT a folder in place of
# /proc/sys/fs/binfmt_misc, LUM_PROBE_UID the user id, LUM_PROBE_APT_LISTS a
# folder in place of /var/lib/apt/lists; qemu-i386 and apt-cache are looked
# for on PATH.
set -uo pipefail

# An i386 ELF program of 96 bytes whose only work is exit(42). The kernel
# refuses it ("Exec format error") when 32-bit emulation is off.
i386_exit42() {
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  printf '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80'
}

# An enabled binfmt_misc entry for i386 ELF programs: 32-bit code that "runs"
# may then be emulated. Prints its interpreter.
i386_binfmt_interpreter() {
  local dir=${LUM_PROBE_BINFMT:-/proc/sys/fs/binfmt_misc} f
  for f in "$dir"/*; do
    [ -f "$f" ] || continue
    grep -qx enabled "$f" 2>/dev/null || continue
    grep -q '^magic 7f454c4601010100000000000000000002000300' "$f" 2>/dev/null || continue
    sed -n 's/^interpreter //p' "$f"; return 0
  done
  return 1
}

qemu_i386_available() {
  command -v qemu-i386 >/dev/null 2>&1 && return 0
  command -v apt-cache >/dev/null 2>&1 || return 1
  # Read whole, not piped into "grep -q": grep would stop at its match, apt-cache
  # would die of SIGPIPE, and under pipefail the pipeline would count as failed.
  local policy
  policy=$(apt-cache policy qemu-user 2>/dev/null) || true
  grep -q 'Candidate: [0-9]' <<<"$policy" && return 0
  # A fresh machine has fetched no package lists yet; Debian's main suite
  # carries qemu-user, and dev fetches the lists before it installs.
  ! ls "${LUM_PROBE_APT_LISTS:-/var/lib/apt/lists}"/*_Packages* >/dev/null 2>&1
}

probe() {
  local elf rc=0 interp
  if [ -n "${LUM_PROBE_ELF:-}" ]; then
    elf=$LUM_PROBE_ELF
  else
    elf=$(mktemp "${TMPDIR:-/tmp}/lum-i386-probe.XXXXXX") || { printf 'win64\tno temporary file for the probe\n'; return; }
    i386_exit42 >"$elf"; chmod +x "$elf"
  fi
  "$elf" >/dev/null 2>&1 || rc=$?
  [ -z "${LUM_PROBE_ELF:-}" ] && rm -f "$elf"
  if [ "$rc" = 42 ]; then
    if interp=$(i386_binfmt_interpreter); then
      printf 'emulated32\t32-bit x86 programs run here only through %s (binfmt_misc)\n' "$interp"
    else
      printf 'native32\tthe kernel runs 32-bit x86 programs\n'
    fi
  elif [ "${LUM_PROBE_UID:-$(id -u)}" != 0 ]; then
    printf 'win64\tthe kernel runs no 32-bit x86 code (a 32-bit program: exit %s), and emulating it needs root (binfmt_misc)\n' "$rc"
  elif qemu_i386_available; then
    printf 'emulated32\tthe kernel runs no 32-bit x86 code (a 32-bit program: exit %s); qemu-i386 can emulate it\n' "$rc"
  else
    printf 'win64\tthe kernel runs no 32-bit x86 code (a 32-bit program: exit %s) and no qemu-i386 can be had\n' "$rc"
  fi
}

check() { # the route's Wine must start and say its version
  local route=$1 loader out rc=0
  case $route in
    native32) loader=${LUM_WINE_NATIVE:-/usr/lib/wine/wine} ;;
    # A system-wide wine32 runs under qemu-i386 (the caller holds the
    # binfmt_misc entry); without one, wine64 runs the layers.
    emulated32) loader=${LUM_WINE_NATIVE:-/usr/lib/wine/wine}
      [ -x "$loader" ] || loader=${LUM_WINE64:-/usr/lib/wine/wine64}
      export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0xf7000000} ;;
    win64) loader=${LUM_WINE64:-/usr/lib/wine/wine64} ;;
    *) echo "unknown Wine route '$route' (native32, emulated32 or win64)"; return 2 ;;
  esac
  command -v "$loader" >/dev/null 2>&1 || { echo "route $route: $loader is not installed"; return 1; }
  out=$(WINEDEBUG=-all timeout 60 "$loader" --version 2>&1) || rc=$?
  if [ "$rc" != 0 ]; then
    echo "route $route: '$loader --version' exited $rc: $(printf '%s' "$out" | tail -n 1)"
    return 1
  fi
  return 0
}

case "${1:-}" in
  probe) probe ;;
  check) check "${2:-}" ;;
  *) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
