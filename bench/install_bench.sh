#!/usr/bin/env bash
# Install benchmark: wall time of a silent install of a padded payload, against
# the plain baseline of unpacking the same archive with 7-Zip and copying the
# files once, and the share of the install spent in fixed waits.
#
#   bench/install_bench.sh          (needs the host tools of ./dev build)
# Environment: LUM_BENCH_PAD_MB (default 80) pads the product archive;
#              LUM_BENCH_TIMEOUT (default 600 s) bounds the install;
#              LUM_BENCH_KEEP=1 keeps the Wine prefix.
# Prints figures only; it never fails on time. It fails only when something
# cannot be built or run at all.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
say() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { say "error: $*"; exit 1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

pad=${LUM_BENCH_PAD_MB:-80}
dir=build/bench
[ "${LUM_BENCH_ARCH:-i686}" = i686 ] || dir=build/bench-${LUM_BENCH_ARCH}
tools="$root/build/host/tools"
[ -x "$tools/lum_sign" ] && [ -x "$tools/amzl_pack" ] || die "host tools missing in $tools: run ./dev build first"
# The bitness the Wine layers use on this host (dev sets it from its route).
arch=${LUM_BENCH_ARCH:-i686}
deps=$(tools/deps/win32-deps.sh "$arch") || die "the $arch Windows libraries are not available"

# --- 1. a win32 build like build/win32, with a padded product archive ---
args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DLUM_DEPS_PREFIX="$deps"
      -DLUM_HOST_TOOLS="$tools" -DLUM_PAYLOAD_PAD_MB="$pad")
if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir.args" 2>/dev/null)" != "${args[*]}" ]; then
  say "configuring $dir (payload padded to about $pad MB)"
  mkdir -p "$dir"
  cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log" >&2; die "configure of $dir failed"; }
  echo "${args[*]}" > "$dir.args"
fi
say "building $dir (installer and lum_exec)"
cmake --build "$dir" --target LumBastionSetup lum_exec >"$dir.build.log" 2>&1 ||
  { tail -n 40 "$dir.build.log" >&2; die "build of $dir failed"; }
setup="$dir/LumBastionSetup.exe" archive="$dir/gen/payload.7z" stage="$dir/payload_stage"
for f in "$setup" "$archive" "$dir/lum_exec.exe"; do [ -f "$f" ] || die "$f was not produced"; done

# --- 2. a fresh Wine prefix, with a display for the hidden windows ---
. tests/wine/wine-env.sh
template=$(tests/wine/wine-template.sh) || die "no Wine template prefix"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/lum-bench.XXXXXX")
cp -a --reflink=auto "$template/." "$prefix/"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$prefix/home"; mkdir -p "$HOME"
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  n=$((90 + RANDOM % 100))
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  sleep 1
fi
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  if [ "${LUM_BENCH_KEEP:-0}" = 1 ]; then say "prefix kept: $prefix"; else rm -rf "$prefix"; fi
}
trap cleanup EXIT
drive="$prefix/drive_c"
mkdir -p "$drive/users/Public/Downloads"
cp "$setup" "$dir/lum_exec.exe" "$drive/users/Public/Downloads/"
wine cmd /c exit >/dev/null 2>&1   # start the wineserver once, outside the timings

echo "== install benchmark =="
echo "installer: $setup ($(stat -c %s "$setup") bytes)"
echo "payload:   $archive ($(stat -c %s "$archive") bytes packed, $(find "$stage" -type f | wc -l) files," \
     "$(du -sb "$stage" | cut -f1) bytes unpacked)"
echo

# --- (a) the installer's silent install ---
log_win='C:\lum-bench.log' log="$drive/lum-bench.log"
limit=${LUM_BENCH_TIMEOUT:-600}
t0=$(now_ms)
outcome=$(timeout "$limit" wine 'C:\users\Public\Downloads\lum_exec.exe' \
          'C:\users\Public\Downloads\LumBastionSetup.exe' /s /BNinstall "/log:$log_win" 2>&1 | tr -d '\r')
t1=$(now_ms)
[ -n "$outcome" ] || outcome="no outcome: the installer did not finish within $limit s (stopped)"
# Not "wineserver -w": a successful install leaves the product's service and
# programs running, so the prefix never falls idle on its own.
install_ms=$(sed -n 's/^elapsed \([0-9]*\) ms$/\1/p' <<<"$outcome")
echo "(a) LumBastionSetup.exe /s /BNinstall"
sed 's/^/    /' <<<"$outcome"
echo "    wall time seen from Linux (with Wine's process start): $((t1 - t0)) ms"
installed=$(find "$drive" -name ZVSafeMain.exe -path '*Program Files*' -printf '%h\n' 2>/dev/null | head -n 1)
if [ -n "$installed" ]; then
  echo "    installed: $installed ($(find "$installed" -type f | wc -l) files, $(du -sb "$installed" | cut -f1) bytes)"
else
  echo "    installed: nothing (no ZVSafeMain.exe under Program Files)"
fi
echo

# --- (b) baseline: unpack the same archive, then copy the files once ---
t0=$(now_ms)
7zz x -y -bd -bso0 -bsp0 -o"$drive/bench_extract" "$archive" || die "7zz could not unpack $archive"
t1=$(now_ms)
cp -r "$drive/bench_extract" "$drive/bench_copy"
sync -f "$drive/bench_copy" 2>/dev/null || true
t2=$(now_ms)
extract_ms=$((t1 - t0)) copy_ms=$((t2 - t1)) base_ms=$((t2 - t0))
echo "(b) baseline: 7zz x + cp -r of the same archive"
echo "    7zz x: $extract_ms ms, cp -r: $copy_ms ms, together: $base_ms ms"
if [ -n "$install_ms" ] && [ "$base_ms" -gt 0 ]; then
  echo "    install / baseline: $(awk -v a="$install_ms" -v b="$base_ms" 'BEGIN { printf "%.2f", a / b }')" \
       "(install $install_ms ms against $base_ms ms)"
else
  echo "    install / baseline: no figure (the installer's elapsed time was not reported)"
fi
echo

# --- (c) waits the install is told to make, and the installer's own work ---
echo "(c) prescribed waits (each named in the log) and the installer's own work"
if [ -s "$log" ]; then
  # "prescribed wait <ms> ms: <name>" lines; the silent run's quit delay
  # comes after the install body, inside the installer's elapsed time too.
  waits_ms=$(tr -d '\r' <"$log" | sed -n 's/.*prescribed wait \([0-9]*\) ms: \(.*\)$/\1\t\2/p' |
    awk -F '\t' '{ total[$2] += $1; count[$2]++; sum += $1 }
      END { for (n in total) printf "    %7d ms  %s (%d)\n", total[n], n, count[n] > "/dev/stderr"; print sum + 0 }' 2>"$dir.waits")
  sort -k3 "$dir.waits"
  echo "    prescribed waits together: $waits_ms ms"
  if [ -n "$install_ms" ]; then
    own_ms=$((install_ms - waits_ms))
    echo "    installer's own work: $own_ms ms (elapsed $install_ms ms less the waits)"
    [ "${base_ms:-0}" -gt 0 ] &&
      echo "    own work / baseline: $(awk -v a="$own_ms" -v b="$base_ms" 'BEGIN { printf "%.2f", a / b }')" \
           "(goal: at most 1.25)"
  fi
  # Log lines start "YYYY-MM-DD HH:MM:SS.mmm" (no {n} in the pattern: mawk
  # lacks it); a gap of 900 ms or more between
  # two lines is time the installer spent waiting (or in one long step).
  tr -d '\r' <"$log" | awk '
    /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]\.[0-9][0-9][0-9] / {
      split(substr($0, 12, 12), t, /[:.]/)
      ms = ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + t[4]
      if (n++ == 0) first = ms
      else if (ms - last >= 900) { gaps += ms - last; printf "    gap %6d ms before: %s\n", ms - last, substr($0, 25, 100) }
      last = ms
    }
    END {
      if (n < 2) { print "    the log has fewer than two time-stamped lines"; exit }
      printf "    log spans %d ms over %d lines; gaps of 900 ms or more: %d ms in total\n", last - first, n, gaps
    }'
  echo "    last log line: $(tr -d '\r' <"$log" | tail -n 1 | cut -c1-140)"
  echo "    install ended: $(date -d "@$((t1 / 1000))" '+%Y-%m-%d %H:%M:%S').$(printf %03d $((t1 % 1000)))"
else
  echo "    no installer log was written ($log_win)"
fi
echo "    fixed sleeps in the installer's code (Sleep with a constant, in ms):"
grep -rnE 'Sleep[A-Za-z]*\(\s*[0-9]+\s*\)|k[A-Za-z]*(Wait|Sleep|Pause|Delay)[A-Za-z]*Ms\s*=\s*[0-9]+' \
     app payload i18n install system vendor report browser tray ui --include='*.cpp' --include='*.h' 2>/dev/null |
  sed -E 's/^([^:]+:[0-9]+):\s*/      \1  /' | cut -c1-150
[ "${PIPESTATUS[0]}" = 0 ] || echo "      (none found)"
exit 0
