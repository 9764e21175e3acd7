#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh prefix, copied from a booted
# template (booting a prefix takes ~15 s, copying one ~3 s), and removes the
# prefix afterwards. Used by CTest as the cross-compiling emulator and by the
# demo. The program's exit status is Wine's (the low 8 bits on Linux); tests
# that need full 32-bit codes read them inside Wine.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
# Environment: LUM_WINE_KEEP=1 keeps the prefix (its path is printed);
# LUM_WINE_SERIAL=<8 hex digits> sets the volume serial of drive C:;
# LUM_DLL_OVERRIDES=<names>=n,b adds load orders from the start of the prefix
# (Wine takes a static import's load order from there, not from a variable a
# Windows parent sets).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
template=$("$here/wine-template.sh")
prefix=$(mktemp -d "${TMPDIR:-/tmp}/lum-wine.XXXXXX")
cp -a --reflink=auto "$template/." "$prefix/"
# Wine reads drive C:'s volume serial from this file when the prefix starts.
if [ -n "${LUM_WINE_SERIAL:-}" ]; then printf '%s\n' "$LUM_WINE_SERIAL" > "$prefix/drive_c/.windows-serial"; fi
export WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="${LUM_DLL_OVERRIDES:+$LUM_DLL_OVERRIDES;}winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$prefix/home"; mkdir -p "$HOME"
cleanup() {
  wineserver -k 2>/dev/null || true
  if [ "${LUM_WINE_KEEP:-0}" = 1 ]; then echo "wine prefix kept: $prefix" >&2; else rm -rf "$prefix"; fi
}
trap cleanup EXIT
rc=0
wine "$@" || rc=$?
# The program has ended; what remains of the prefix (desktop, services,
# console host) is ended too rather than waited for, as it may never quit.
exit "$rc"
