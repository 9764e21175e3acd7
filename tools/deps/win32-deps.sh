#!/usr/bin/env bash
# Cross-builds the installer's third-party libraries for i686 Windows from
# Debian's own source packages, into a cache outside the work tree. The cache
# folder is named after this script's content, so changing a recipe rebuilds
# everything and an unchanged recipe costs nothing.
#
#   win32-deps.sh            build (or reuse) and print the prefix
#   win32-deps.sh --prefix   print the prefix the current recipe maps to
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
key=$(sha256sum "$here/win32-deps.sh" | cut -c1-16)
cache_root=${LUM_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lum-bastion-deps}
prefix="$cache_root/win32-$key"

if [ "${1:-}" = "--prefix" ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/.complete" ]; then
  echo "deps: cached at $prefix" >&2
  echo "$prefix"; exit 0
fi

host=i686-w64-mingw32
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib \
       RC=$host-windres STRIP=$host-strip
jobs=$(nproc)
work=$(mktemp -d "$cache_root/work.XXXXXX" 2>/dev/null || { mkdir -p "$cache_root"; mktemp -d "$cache_root/work.XXXXXX"; })
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"

step() { # step NAME FUNCTION: timed, with one progress line before and after
  local name=$1 t0=$SECONDS
  echo "deps: [$name] building ..." >&2
  # errexit must hold inside the recipe, so it runs outside any condition.
  local rc=0
  set +e; ( set -e; "$2" ) >"$work/$name.log" 2>&1; rc=$?; set -e
  if [ "$rc" -ne 0 ]; then
    echo "deps: [$name] FAILED after $((SECONDS - t0)) s; last lines of its log:" >&2
    tail -n 30 "$work/$name.log" >&2
    exit 1
  fi
  echo "deps: [$name] done in $((SECONDS - t0)) s" >&2
}

fetch() { # fetch SOURCE-PACKAGE: unpacked Debian source, folder name on stdout
  # The security archive sometimes serves the upstream tarball but not the
  # .dsc; the release suite's copy is tried next, then the bare tarball.
  local pkg=$1 dir="$work/dl-$1" dsc orig
  mkdir -p "$dir"
  (cd "$dir" && { apt-get source -q --download-only "$pkg" \
                  || apt-get source -q --download-only "$pkg/bookworm" \
                  || true; }) >&2
  dsc=$(ls "$dir"/*.dsc 2>/dev/null | head -n1 || true)
  if [ -n "$dsc" ] && (cd "$dir" && dpkg-source -x "$dsc" "$work/src-$pkg") >&2; then
    echo "$work/src-$pkg"; return
  fi
  orig=$(ls "$dir"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
  [ -n "$orig" ] || { echo "no source for $pkg" >&2; return 1; }
  mkdir -p "$work/src-$pkg"
  tar -xf "$orig" -C "$work/src-$pkg" --strip-components=1
  echo "$work/src-$pkg"
}

build_xz() {
  local src; src=$(fetch xz-utils) || return 1
  cd "$src"
  [ -x configure ] || autoreconf -fi
  ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared \
    --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-scripts \
    --disable-doc --disable-nls --disable-threads
  make -j"$jobs" -C src/liblzma
  make -C src/liblzma install
}

build_openssl() {
  local src; src=$(fetch openssl) || return 1
  cd "$src"
  ./Configure mingw no-shared no-tests no-asm no-dso no-engine \
    --cross-compile-prefix= --prefix="$prefix" --libdir=lib
  make -j"$jobs" build_libs
  make install_dev
}

build_sodium() {
  local src; src=$(fetch libsodium) || return 1
  cd "$src"
  [ -x configure ] || autoreconf -fi
  ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared \
    --enable-minimal=no --disable-pie
  make -j"$jobs"
  make install
}

build_jsoncpp() {
  local src; src=$(fetch libjsoncpp) || return 1
  cmake -S "$src" -B "$src/b" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX -DCMAKE_RC_COMPILER=$RC \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=OFF
  cmake --build "$src/b"
  cmake --install "$src/b"
}

t_all=$SECONDS
step liblzma build_xz
step libcrypto build_openssl
step libsodium build_sodium
step jsoncpp build_jsoncpp
touch "$prefix/.complete"
echo "deps: all built in $((SECONDS - t_all)) s into $prefix" >&2
echo "$prefix"
