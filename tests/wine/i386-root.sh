#!/usr/bin/env bash
# Prints the path of a private folder that holds Debian's wine32 and the i386
# libraries it needs, unpacked from Debian's packages (cached; built once).
#
# Installing wine32:i386 into the system couples every i386 library to the
# version of its amd64 twin, so one missing i386 index (a mirror in the middle
# of a sync serves the security suite's i386 index at the wrong size) makes it
# uninstallable. This folder is resolved by apt on its own, for i386 alone,
# from whatever indexes could be fetched; qemu-i386 reads it as the guest's
# root (QEMU_LD_PREFIX). Nothing is installed into the system.
#
#   i386-root.sh     (needs apt-get and dpkg-deb; no root rights)
set -euo pipefail
say() { printf '[i386-root] %s\n' "$*" >&2; }
cache=${LUM_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lum-bastion-wine}/i386-root
ver=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) || { say "wine64 is not installed"; exit 1; }
root="$cache/wine32-$(echo "$ver" | tr -c 'a-zA-Z0-9.\n' _)"
# libwine's maintainer script (which unpacking does not run) marks the mingw
# zlib as a Wine builtin and puts it beside Wine's own DLLs; without it
# user32.dll, and with it every program, fails to load.
builtin_zlib() {
  local in=$1/usr/i686-w64-mingw32/lib/zlib1.dll out=$1/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
  [ -f "$out" ] && return 0
  [ -f "$in" ] || { say "the unpacked packages hold no i686 zlib1.dll (libz-mingw-w64)"; return 1; }
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
}
if [ -f "$root/.complete" ]; then builtin_zlib "$root"; echo "$root"; exit 0; fi

apt="$cache/apt"
mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/cache"
: >"$apt/status"
cat >"$apt/apt.conf" <<CONF
APT::Architecture "i386";
APT::Architectures { "i386"; };
Dir::State::status "$apt/status";
Dir::State::Lists "$apt/lists";
Dir::State::extended_states "$apt/extended_states";
Dir::Cache "$apt/cache";
Dir::Cache::archives "$apt/archives";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
Debug::NoLocking "true";
APT::Sandbox::User "root";
APT::Install-Recommends "false";
CONF
export APT_CONFIG="$apt/apt.conf"
ok=0
for try in 1 2 3; do
  if apt-get update -q >"$cache/update.log" 2>&1; then ok=1; break; fi
  say "apt-get update for i386 failed (try $try of 3): $(grep -E '^(E|W): ' "$cache/update.log" | head -n 1)"
  [ "$try" = 3 ] || sleep $((try * 10))
done
[ "$ok" = 1 ] || say "going on with the i386 indexes that could be fetched"
# The 32-bit loader must match the installed 64-bit one to the version.
if ! apt-get install -y -q --download-only "wine32=$ver" "libwine=$ver" >"$cache/download.log" 2>&1; then
  tail -n 12 "$cache/download.log" >&2
  failed=$(grep -hoE 'Failed to fetch [^ ]+' "$cache/update.log" "$cache/download.log" | sort -u | head -n 3 | tr '\n' ' ')
  say "wine32=$ver and its i386 libraries could not be downloaded${failed:+; failed: $failed}"
  exit 1
fi
rm -rf "$root.tmp"; mkdir -p "$root.tmp"
n=0
for deb in "$apt/archives"/*.deb; do dpkg-deb -x "$deb" "$root.tmp"; n=$((n + 1)); done
[ -x "$root.tmp/usr/lib/wine/wine" ] || { say "the unpacked packages hold no usr/lib/wine/wine"; exit 1; }
builtin_zlib "$root.tmp"
touch "$root.tmp/.complete"
rm -rf "$root"; mv "$root.tmp" "$root"
say "wine32 $ver with $n i386 packages unpacked into $root"
echo "$root"
