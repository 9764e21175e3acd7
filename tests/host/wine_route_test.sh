#!/usr/bin/env bash
# The route decision of tools/wine-route.sh on hosts this machine is not:
# the 32-bit probe program and binfmt_misc are stood in for, and a Wine that
# cannot start must be refused with one line that says why.
set -u
route=$(cd "$(dirname "$0")/../.." && pwd)/tools/wine-route.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
expect() { # expect NAME WANT GOT
  if [[ "$3" == $2 ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: want '$2', got '$3'"; fi
}
prog() { printf '#!/bin/sh\n%s\n' "$2" >"$work/$1"; chmod +x "$work/$1"; echo "$work/$1"; }
runs=$(prog runs 'exit 42')
refused=$(prog refused 'echo "cannot execute binary file: Exec format error" >&2; exit 126')
mkdir -p "$work/binfmt-none" "$work/binfmt-qemu" "$work/binfmt-off"
printf 'enabled\ninterpreter /usr/bin/qemu-i386\nflags: F\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n' >"$work/binfmt-qemu/qemu-i386"
printf 'disabled\ninterpreter /usr/bin/qemu-i386\nflags: F\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n' >"$work/binfmt-off/qemu-i386"

probe() { LUM_PROBE_ELF=$1 LUM_PROBE_BINFMT=$2 LUM_PROBE_UID=$3 "$route" probe | cut -f1; }
expect "32-bit code runs, no emulator registered" native32 "$(probe "$runs" "$work/binfmt-none" 0)"
expect "a disabled emulator entry does not count" native32 "$(probe "$runs" "$work/binfmt-off" 0)"
expect "32-bit code runs only through qemu" emulated32 "$(probe "$runs" "$work/binfmt-qemu" 0)"
expect "no 32-bit code and not root" win64 "$(probe "$refused" "$work/binfmt-none" 1000)"
expect "the reason names the refusal" "*exit 126*" "$(LUM_PROBE_ELF=$refused LUM_PROBE_BINFMT=$work/binfmt-none LUM_PROBE_UID=1000 "$route" probe | cut -f2)"

# Root on a host that runs no 32-bit code: whether qemu-i386 can be had decides.
# The probe runs on a PATH of its own, holding the tools it uses and the
# stand-ins of each case (no qemu-i386 of the host's own is seen).
mkdir -p "$work/lists-none" "$work/lists-fetched"
: >"$work/lists-fetched/deb.debian.org_debian_dists_bookworm_main_binary-amd64_Packages"
tools() { # tools NAME: a PATH folder with the probe's tools and nothing else
  mkdir -p "$work/path-$1"
  local t
  for t in grep sed ls id mktemp chmod rm; do ln -sf "$(command -v "$t")" "$work/path-$1/$t"; done
  echo "$work/path-$1"
}
standin() { printf '#!/bin/sh\n%s\n' "$3" >"$1/$2"; chmod +x "$1/$2"; }
as_root() { # as_root PATH_DIR LISTS_DIR: the route of a root user whose 32-bit program is refused
  PATH=$1 LUM_PROBE_ELF=$refused LUM_PROBE_BINFMT=$work/binfmt-none LUM_PROBE_UID=0 \
    LUM_PROBE_APT_LISTS=$2 /bin/bash "$route" probe | cut -f1
}
p=$(tools qemu); standin "$p" qemu-i386 'exit 0'
expect "root, qemu-i386 installed" emulated32 "$(as_root "$p" "$work/lists-fetched")"
# apt-cache's answer goes on well past the candidate line: more than a pipe
# holds is left unread when the candidate is found.
p=$(tools candidate)
standin "$p" apt-cache "echo 'qemu-user:'; echo '  Installed: (none)'; echo '  Candidate: 1:10.0.2+ds-1~bpo12+1'
yes '        500 http://deb.debian.org/debian bookworm/main amd64 Packages' | head -c 1000000"
expect "root, qemu-user installable, a long apt-cache answer" emulated32 "$(as_root "$p" "$work/lists-fetched")"
p=$(tools nocandidate); standin "$p" apt-cache "echo 'qemu-user:'; echo '  Installed: (none)'; echo '  Candidate: (none)'"
expect "root, package lists fetched, no qemu-user in them" win64 "$(as_root "$p" "$work/lists-fetched")"
expect "root, no package lists fetched yet" emulated32 "$(as_root "$p" "$work/lists-none")"
p=$(tools noapt)
expect "root, neither qemu-i386 nor apt" win64 "$(as_root "$p" "$work/lists-none")"
# The real probe program on this host: whatever the route, it is one of three.
expect "the real probe decides" "@(native32|emulated32|win64)" "$("$route" probe | cut -f1)"

# A Wine that cannot start is refused, in one line.
bad=$(prog wine64 'echo "/usr/lib/wine/wine64: Exec format error" >&2; exit 126')
out=$(LUM_WINE64=$bad "$route" check win64); rc=$?
expect "a Wine that cannot start fails the check" 1 "$rc"
expect "one line, with the exit status" "route win64: *exited 126: *Exec format error" "$out"
expect "one line only" 1 "$(printf '%s\n' "$out" | wc -l)"
good=$(prog wine64ok 'echo wine-8.0')
LUM_WINE64=$good "$route" check win64 >/dev/null; expect "a Wine that starts passes" 0 "$?"
LUM_WINE_NATIVE=$work/absent LUM_WINE64=$good "$route" check emulated32 >/dev/null
expect "emulated, no system wine32: wine64 is checked" 0 "$?"
out=$(LUM_WINE_NATIVE=$bad LUM_WINE64=$good "$route" check emulated32); rc=$?
expect "emulated, a system wine32 that cannot start fails" "1:route emulated32: *exited 126*" "$rc:$out"
out=$(LUM_WINE_NATIVE=$work/absent "$route" check native32); rc=$?
expect "a missing 32-bit Wine fails the check" "1:route native32: * is not installed" "$rc:$out"
out=$("$route" check bogus); expect "an unknown route is refused" "2:unknown Wine route*" "$?:$out"

# dev refuses an unknown forced route before doing anything, in one line.
out=$(LUM_WINE_ROUTE=bogus "$(dirname "$route")/../dev" deps 2>&1); rc=$?
expect "dev stops on an unknown route" "1" "$rc"
expect "dev says why in one line" "*error: LUM_WINE_ROUTE=bogus: use native32, emulated32 or win64" "$out"
expect "dev prints one line" 1 "$(printf '%s\n' "$out" | wc -l)"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
