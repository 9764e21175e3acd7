#!/usr/bin/env bash
# Cross-builds the installer's third-party libraries for Windows from Debian's
# own source packages, into a cache outside the work tree: for i686 (the
# shipped installer) or x86_64 (the build that tests the same sources on a
# host that runs no 32-bit code). The cache folder is named after the target
# and this script's content, so changing a recipe rebuilds everything and an
# unchanged recipe costs nothing.
#
#   win32-deps.sh [i686|x86_64]            build (or reuse) and print the prefix
#   win32-deps.sh [i686|x86_64] --prefix   print the prefix the current recipe maps to
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
arch=i686
case "${1:-}" in i686|x86_64) arch=$1; shift ;; esac
key=$(sha256sum "$here/win32-deps.sh" | cut -c1-16)
cache_root=${LUM_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lum-bastion-deps}
prefix="$cache_root/win-$arch-$key"

if [ "${1:-}" = "--prefix" ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/.complete" ]; then
  echo "deps: cached at $prefix" >&2
  echo "$prefix"; exit 0
fi

host=$arch-w64-mingw32
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib \
       RC=$host-windres STRIP=$host-strip
jobs=$(nproc)
work=$(mktemp -d "$cache_root/work.XXXXXX" 2>/dev/null || { mkdir -p "$cache_root"; mktemp -d "$cache_root/work.XXXXXX"; })
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"

step() { # step NAME FUNCTION: timed, with one progress line before and after
  local name=$1 t0=$SECONDS
  echo "deps: [$arch $name] building ..." >&2
  # errexit must hold inside the recipe, so it runs outside any condition.
  local rc=0
  set +e; ( set -e; "$2" ) >"$work/$name.log" 2>&1; rc=$?; set -e
  if [ "$rc" -ne 0 ]; then
    echo "deps: [$arch $name] FAILED after $((SECONDS - t0)) s; last lines of its log:" >&2
    tail -n 30 "$work/$name.log" >&2
    exit 1
  fi
  echo "deps: [$arch $name] done in $((SECONDS - t0)) s" >&2
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

build_sodium() {
  local src; src=$(fetch libsodium) || return 1
  cd "$src"
  [ -x configure ] || autoreconf -fi
  # Sections per function: the installer's link then keeps only the
  # primitives it calls, not every implementation sodium_init can pick.
  ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared \
    --enable-minimal=no --disable-pie \
    CFLAGS="-O2 -ffunction-sections -fdata-sections"
  make -j"$jobs"
  make install
}

# 7-Zip's extract-only 7z bundle (LZMA, LZMA2, BCJ, BCJ2, AES, ...) as
# "7z.dll". The bundle ships only an nmake makefile; its object list is
# restated here for the gcc makefile, which brings the compile rules.
build_7zip() {
  local src; src=$(fetch 7zip) || return 1
  local bundle="$src/CPP/7zip/Bundles/Format7zExtract"
  cat >"$bundle/makefile.gcc" <<'MAKEFILE'
PROG = 7z
DEF_FILE = ../../Archive/Archive2.def
LOCAL_FLAGS = -DZ7_EXTRACT_ONLY
OBJS = \
  $O/CRC.o $O/CrcReg.o $O/IntToString.o $O/MyString.o $O/MyVector.o $O/NewHandler.o \
  $O/Sha256Reg.o $O/Sha256Prepare.o $O/StringConvert.o $O/StringToInt.o $O/Wildcard.o \
  $O/PropVariant.o $O/Synchronization.o $O/System.o \
  $O/CreateCoder.o $O/CWrappers.o $O/InBuffer.o $O/FilterCoder.o $O/LimitedStreams.o \
  $O/MethodId.o $O/MethodProps.o $O/OutBuffer.o $O/ProgressUtils.o $O/PropId.o \
  $O/StreamBinder.o $O/StreamObjects.o $O/StreamUtils.o $O/VirtThread.o \
  $O/ArchiveExports.o $O/DllExports2.o \
  $O/CoderMixer2.o $O/HandlerOut.o $O/ItemNameUtils.o $O/OutStreamWithCRC.o \
  $O/ParseProperties.o \
  $O/7zCompressionMode.o $O/7zDecode.o $O/7zExtract.o $O/7zHandler.o $O/7zHeader.o \
  $O/7zIn.o $O/7zProperties.o $O/7zRegister.o \
  $O/CodecExports.o $O/Bcj2Coder.o $O/Bcj2Register.o $O/BcjCoder.o $O/BcjRegister.o \
  $O/BitlDecoder.o $O/BranchMisc.o $O/BranchRegister.o $O/ByteSwap.o $O/BZip2Crc.o \
  $O/BZip2Decoder.o $O/BZip2Register.o $O/CopyCoder.o $O/CopyRegister.o \
  $O/DeflateDecoder.o $O/DeflateRegister.o $O/DeltaFilter.o $O/Lzma2Decoder.o \
  $O/Lzma2Register.o $O/LzmaDecoder.o $O/LzmaRegister.o $O/LzOutWindow.o \
  $O/PpmdDecoder.o $O/PpmdRegister.o \
  $O/7zAes.o $O/7zAesRegister.o $O/MyAes.o $O/MyAesReg.o \
  $O/7zStream.o $O/Alloc.o $O/Bcj2.o $O/Bra.o $O/Bra86.o $O/BraIA64.o $O/CpuArch.o \
  $O/Delta.o $O/Lzma2Dec.o $O/Lzma2DecMt.o $O/LzmaDec.o $O/MtDec.o $O/Ppmd7.o \
  $O/Ppmd7Dec.o $O/SwapBytes.o $O/Threads.o \
  $O/Aes.o $O/AesOpt.o $O/7zCrc.o $O/7zCrcOpt.o $O/Sha256.o $O/Sha256Opt.o \
  $O/resource.o
include ../../7zip_gcc.mak
MAKEFILE
  # No assembler: the C variants of the optimised routines are used.
  make -C "$bundle" -f makefile.gcc -j"$jobs" IS_MINGW=1 MSYSTEM=1 DISABLE_RAR=1 \
    CC="$CC" CXX="$CXX" RC="$RC" CFLAGS_WARN_WALL= \
    LDFLAGS_STATIC_3="-static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup"
  mkdir -p "$prefix/bin"
  $STRIP -o "$prefix/bin/7z.dll" "$bundle/_o/7z.dll"
  # The library travels alone inside the installer: system DLLs only.
  if $host-objdump -p "$prefix/bin/7z.dll" | awk '/DLL Name:/ {print tolower($3)}' \
       | grep -vxE 'kernel32\.dll|msvcrt\.dll|oleaut32\.dll|user32\.dll|advapi32\.dll'; then
    echo "7z.dll imports a non-system DLL" >&2; return 1
  fi
}

# Apache Thrift's C++ library, static. Its Windows sources spell system
# headers with capitals (<Windows.h>, <Shlwapi.h>, <AccCtrl.h>, <Aclapi.h>,
# <WS2tcpip.h>) that mingw ships in lower case, and it wants Boost headers:
# both come from a folder of symlinks that stays in the prefix, because the
# installed Thrift headers need them too.
build_thrift() {
  local src; src=$(fetch thrift) || return 1
  # A server-side pipe whose client left before the next read was armed
  # throws, and its destructor then waits for that read, which never started:
  # the pool worker hangs for good (four such peers stop a default server).
  (cd "$src" && patch -p1 --forward) <<'PATCH'
--- a/lib/cpp/src/thrift/transport/TPipe.cpp
+++ b/lib/cpp/src/thrift/transport/TPipe.cpp
@@ -144,6 +144,8 @@
   readOverlap_.reset(buf, len, ready_event_.h);
   thread_->addWorkItem(&readOverlap_);
   if (readOverlap_.success == FALSE && readOverlap_.last_error != ERROR_IO_PENDING) {
+    // No read is outstanding: the destructor must not wait for one.
+    end_unread_idx_ = 1;
     GlobalOutput.perror("TPipe ::ReadFile errored GLE=", readOverlap_.last_error);
     throw TTransportException(TTransportException::UNKNOWN, "TPipe: ReadFile failed");
   }
PATCH
  local fix="$prefix/include/compat"
  mkdir -p "$fix"
  local h
  for h in Windows:windows Shlwapi:shlwapi AccCtrl:accctrl Aclapi:aclapi WS2tcpip:ws2tcpip; do
    ln -sfn "/usr/$host/include/${h#*:}.h" "$fix/${h%%:*}.h"
  done
  [ -d /usr/include/boost ] || { echo "Boost headers missing (libboost-dev)" >&2; return 1; }
  ln -sfn /usr/include/boost "$fix/boost"
  cmake -S "$src" -B "$src/b" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX -DCMAKE_RC_COMPILER=$RC \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_CXX_FLAGS="-isystem $fix" -DBoost_INCLUDE_DIR="$fix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_COMPILER=OFF -DBUILD_TESTING=OFF -DBUILD_TUTORIALS=OFF \
    -DWITH_AS3=OFF -DWITH_C_GLIB=OFF -DWITH_JAVA=OFF -DWITH_JAVASCRIPT=OFF -DWITH_NODEJS=OFF \
    -DWITH_PYTHON=OFF -DWITH_OPENSSL=OFF -DWITH_ZLIB=OFF -DWITH_LIBEVENT=OFF -DWITH_QT5=OFF
  cmake --build "$src/b"
  cmake --install "$src/b"
  [ -f "$prefix/lib/libthrift.a" ]
}

t_all=$SECONDS
step liblzma build_xz
step libsodium build_sodium
step 7zip build_7zip
step thrift build_thrift
touch "$prefix/.complete"
echo "deps: all built in $((SECONDS - t_all)) s into $prefix" >&2
echo "$prefix"
