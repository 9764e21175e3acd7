#!/usr/bin/env bash
# The real 32-bit installer, installed silently once on a host whose kernel
# runs no 32-bit x86 code: Debian's wine32 (unpacked into a private i386 root,
# i386-root.sh) runs under qemu-i386, registered for i386 programs in
# binfmt_misc for the length of this run only, beside the host's wine64 in a
# WoW64 prefix. Every process start is emulated and costs tens of seconds, so
# this is one run, not a test layer: exit code 0, a result file that agrees,
# the product's files and its App Paths entry.
#
#   smoke32.sh BUILD_DIR      (BUILD_DIR holds the i686 LumBastionSetup.exe and lum_exec.exe)
# Needs root (binfmt_misc), qemu-user and wine64. LUM_SMOKE_BUDGET bounds the
# whole run, boot and install (default 2700 s), so that ./dev test stays well
# inside CI's time; LUM_SMOKE_KEEP=1 keeps the prefix.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/win32}" && pwd)
say() { printf '[smoke32 %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
# Exit 1: the installer did not do its work. Exit 2: this host could not run
# 32-bit Wine under emulation at all, so nothing was learned of the installer.
fail() { say "FAILED: $*"; exit 1; }
cannot() { say "NOT RUN: $*"; exit 2; }
deadline=$((SECONDS + ${LUM_SMOKE_BUDGET:-2700}))
# left [CAP]: what is left of the budget, at most CAP seconds, at least 30.
left() {
  local s=$((deadline - SECONDS))
  [ -n "${1:-}" ] && [ "$s" -gt "$1" ] && s=$1
  [ "$s" -gt 30 ] && echo "$s" || echo 30
}

qemu=$(command -v qemu-i386) || cannot "qemu-i386 is not installed (Debian package qemu-user)"
loader64=/usr/lib/wine/wine64
[ -x "$loader64" ] || cannot "$loader64 is missing (Debian package wine64)"
i386root=$("$here/i386-root.sh") || cannot "no wine32 for i386 could be had (see above)"
for f in LumBastionSetup.exe lum_exec.exe; do
  [ -f "$build/$f" ] || fail "$build/$f is missing: run ./dev build"
  file "$build/$f" | grep -q 'PE32 executable' || fail "$build/$f is not a 32-bit program"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/lum-smoke32.XXXXXX")
# The wineserver, a native process, opens the 32-bit side's files itself by
# their path, outside qemu's view of the private root: the i386 Wine folder
# must be where Debian's wine32 would put it, for this run only.
linked=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  "$here/../../tools/qemu-binfmt.sh" release $$
  [ -n "$linked" ] && [ -L "$linked" ] && rm -f "$linked"
  if [ "${LUM_SMOKE_KEEP:-0}" = 1 ]; then say "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
# binfmt_misc's entry for qemu-i386, held for this run (tools/qemu-binfmt.sh).
"$here/../../tools/qemu-binfmt.sh" hold $$ || cannot "the qemu-i386 entry could not be registered in binfmt_misc"
if [ ! -e /usr/lib/i386-linux-gnu ]; then
  ln -s "$i386root/usr/lib/i386-linux-gnu" /usr/lib/i386-linux-gnu && linked=/usr/lib/i386-linux-gnu
elif [ ! -e /usr/lib/i386-linux-gnu/wine ]; then
  ln -s "$i386root/usr/lib/i386-linux-gnu/wine" /usr/lib/i386-linux-gnu/wine && linked=/usr/lib/i386-linux-gnu/wine
fi
[ -d /usr/lib/i386-linux-gnu/wine/i386-windows ] || cannot "no i386 Wine folder at /usr/lib/i386-linux-gnu/wine"
# wine64 finds the 32-bit builtin programs (the prefix's syswow64) there too.
export WINEDLLPATH=/usr/lib/i386-linux-gnu/wine
# Without a reserved guest address space, wine32 cannot map its shared user data.
export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0xf7000000} QEMU_LD_PREFIX=$i386root
# wine64 starts a 32-bit process with the loader beside WINELOADER less "64".
mkdir -p "$work/loader"
ln -s "$loader64" "$work/loader/wine64"
ln -s "$i386root/usr/lib/wine/wine" "$work/loader/wine"
loader32=$work/loader/wine
"$loader32" --version >/dev/null 2>&1 || cannot "wine32 does not start under qemu-i386"

# --- a WoW64 prefix, as the 32-bit installer meets a 64-bit Windows ---
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all HOME="$work/home"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" WINELOADER=$work/loader/wine64
mkdir -p "$HOME"
t0=$SECONDS
say "booting a WoW64 prefix (32-bit parts emulated)"
timeout "$(left 900)" "$loader64" wineboot -i >"$work/boot.log" 2>&1 || cannot "the prefix did not boot: $(tail -n 2 "$work/boot.log")"
timeout "$(left 300)" wineserver -w || true
say "prefix booted in $((SECONDS - t0)) s"
mkdir -p "$WINEPREFIX/drive_c/users/Public/Downloads"
cp "$build/LumBastionSetup.exe" "$build/lum_exec.exe" "$WINEPREFIX/drive_c/users/Public/Downloads/"
# Any 32-bit program must run before the installer's outcome means anything.
probe=$(timeout "$(left 900)" "$loader32" 'C:\users\Public\Downloads\lum_exec.exe' 2>&1 | tr -d '\r')
case "$probe" in *"usage: lum_exec"*) ;; *) cannot "a 32-bit Windows program does not run here under emulation: $(printf '%s' "$probe" | tail -n 2 | tr '\n' ' ')" ;; esac
say "a 32-bit program runs ($((SECONDS - t0)) s since the boot began)"

t1=$SECONDS
say "installing: LumBastionSetup.exe /s (32-bit, emulated)"
timeout "$(left)" "$loader32" 'C:\users\Public\Downloads\lum_exec.exe' \
  'C:\users\Public\Downloads\LumBastionSetup.exe' /s '/log:C:\smoke32.log' '/result:C:\smoke32.json' \
  >"$work/exec.out" 2>&1
rc=$?
out=$(tr -d '\r' <"$work/exec.out" | grep -E '^(exit code|elapsed)')
say "install took $((SECONDS - t1)) s; lum_exec said: $(printf '%s' "$out" | tr '\n' ' ')"
[ -f "$WINEPREFIX/drive_c/smoke32.log" ] && tail -n 25 "$WINEPREFIX/drive_c/smoke32.log" | tr -d '\r' | sed 's/^/    log: /' >&2
[ -f "$WINEPREFIX/drive_c/smoke32.json" ] && say "result file: $(cat "$WINEPREFIX/drive_c/smoke32.json")"
# Out of budget says nothing of the installer, only of this host's speed; a
# hang of the installer is the Wine layer's to find, where time is cheap.
[ "$rc" = 124 ] && cannot "the install under emulation was still running when the budget of ${LUM_SMOKE_BUDGET:-2700} s ran out"
[ "$rc" = 0 ] || fail "the install under emulation did not finish (status $rc)"
code=$(printf '%s' "$out" | sed -n 's/^exit code \([0-9]*\):.*/\1/p' | tail -n 1)
[ "$code" = 0 ] || fail "the installer's exit code is '${code:-unknown}', not 0"

install="$WINEPREFIX/drive_c/Program Files (x86)/Lum/Bastion"
missing=()
for f in ZVSafeMain.exe ZVVer.dll safemon/ZVSafeTray.exe safemon/ZVTrayService.exe deepscan/BAPI.dll; do
  [ -f "$install/$f" ] || missing+=("$f")
done
[ "${#missing[@]}" = 0 ] || fail "not installed: ${missing[*]} under C:\\Program Files (x86)\\Lum\\Bastion"
apppath=$("$loader64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\ZVSafeMain.exe' /ve /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
case "$apppath" in
  *'Program Files (x86)\Lum\Bastion\ZVSafeMain.exe') ;;
  *) fail "App Paths entry of ZVSafeMain.exe is '${apppath:-absent}'" ;;
esac
say "passed: exit 0, $(find "$install" -type f | wc -l) files placed, App Paths -> $apppath; $((SECONDS - t0)) s in all"
echo "1 passed, 0 failed"
