# Sourced by every script that starts Wine: makes "wine" (and the wine-stable
# that winepath, wineboot and reg call) the loader of the route dev chose
# (tools/wine-route.sh). native32 keeps Debian's wine as it is, and so does
# emulated32 when wine32 is installed in the system: its 32-bit side runs
# under qemu-i386 through the binfmt_misc entry dev holds for the run
# (tools/qemu-binfmt.sh). win64, and emulated32 without a system wine32, call
# wine64 alone, since Debian's launcher would pick the 32-bit loader whenever
# wine32 is installed.
# LUM_WINE_ROUTE comes from dev; a script started on its own reads the route
# dev wrote into build/wine-route.
lum_wine_env() {
  local here root shim
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  root=$(cd "$here/../.." && pwd)
  if [ -z "${LUM_WINE_ROUTE:-}" ]; then
    LUM_WINE_ROUTE=$(cat "$root/build/wine-route" 2>/dev/null || echo native32)
  fi
  export LUM_WINE_ROUTE
  local bits=64
  case $LUM_WINE_ROUTE in
    native32) bits=32 ;;
    emulated32)
      if [ -x "${LUM_WINE_NATIVE:-/usr/lib/wine/wine}" ]; then
        bits=32
        # Without a reserved guest address space wine32 cannot map its
        # shared user data under qemu.
        export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0xf7000000}
      fi ;;
    win64) ;;
    *) echo "wine: unknown route '$LUM_WINE_ROUTE' (native32, emulated32 or win64)" >&2; return 1 ;;
  esac
  LUM_WINE_BITS=$bits
  if [ "$bits" = 64 ]; then
    shim=${LUM_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lum-bastion-wine}/bin-wine64
    if [ ! -x "$shim/wine-stable" ]; then
      mkdir -p "$shim"
      printf '#!/bin/sh\nexec %s "$@"\n' "${LUM_WINE64:-/usr/lib/wine/wine64}" >"$shim/wine.new"
      chmod +x "$shim/wine.new"
      cp "$shim/wine.new" "$shim/wine-stable.new"
      mv -f "$shim/wine.new" "$shim/wine"; mv -f "$shim/wine-stable.new" "$shim/wine-stable"
    fi
    case ":$PATH:" in *":$shim:"*) ;; *) PATH="$shim:$PATH" ;; esac
    export PATH WINELOADER=${LUM_WINE64:-/usr/lib/wine/wine64}
  fi
  export LUM_WINE_BITS
}
lum_wine_env
