#!/usr/bin/env bash
# Prints the path of a booted 64-bit Wine prefix to copy tests from, booting it
# once (wineboot -i) under a lock so parallel callers wait for one boot. The
# prefix is the route's (tests/wine/wine-env.sh): a WoW64 one booted by
# Debian's wine, or one booted by wine64 alone.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
cache=${LUM_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lum-bastion-wine}
ver=$(wine --version 2>/dev/null | tr -c 'a-zA-Z0-9.\n' _)
[ -n "$ver" ] || { echo "wine: '$(command -v wine)' does not start (route $LUM_WINE_ROUTE)" >&2; exit 1; }
template="$cache/template-$ver"
[ "$LUM_WINE_BITS" = 64 ] && template="$cache/template-$ver-wine64"
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ ! -f "$template/.booted" ]; then
  rm -rf "$template"
  echo "wine: booting a template prefix (once) ..." >&2
  t0=$SECONDS
  WINEPREFIX="$template" WINEARCH=win64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" HOME="$cache/home" \
    wineboot -i >/dev/null 2>&1
  WINEPREFIX="$template" WINEDEBUG=-all HOME="$cache/home" "$(dirname "$0")/wine-fonts.sh"
  WINEPREFIX="$template" timeout 60 wineserver -w || WINEPREFIX="$template" wineserver -k
  touch "$template/.booted"
  echo "wine: template booted in $((SECONDS - t0)) s" >&2
fi
echo "$template"
