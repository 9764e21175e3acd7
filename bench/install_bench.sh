#!/usr/bin/env bash
# Install benchmark, side by side in one run: our silent install against a
# plain installer of the same payload (bench/anchor.nsi, built with makensis)
# and against unpacking the same archive with 7-Zip plus one copy; the first
# visible window of both; the sizes of both.
#
#   bench/install_bench.sh          (needs the host tools of ./dev build)
# Environment: LUM_BENCH_ROUNDS (default 5) rounds, the cases alternating;
#              LUM_BENCH_PAD_MB (default 80) pads the product archive;
#              LUM_BENCH_ARCH (i686 or x86_64) the bitness, the anchor's too;
#              LUM_BENCH_WIN (default build/win32 or build/win64 by bitness) the
#                unpadded build whose first window is timed as well;
#              LUM_BENCH_TIMEOUT (default 600 s) bounds each install.
# Every install runs on a fresh copy of the Wine template prefix. Prints
# figures only (medians, min-max); it never fails on time, only when something
# cannot be built or run at all.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
say() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { say "error: $*"; exit 1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

pad=${LUM_BENCH_PAD_MB:-80}
rounds=${LUM_BENCH_ROUNDS:-5}
arch=${LUM_BENCH_ARCH:-i686}
case $arch in
  i686) dir=build/bench; small=${LUM_BENCH_WIN:-build/win32}; nsis_target=x86-unicode ;;
  x86_64) dir=build/bench-x86_64; small=${LUM_BENCH_WIN:-build/win64}; nsis_target=amd64-unicode ;;
  *) die "LUM_BENCH_ARCH=$arch: use i686 or x86_64" ;;
esac
tools="$root/build/host/tools"
[ -x "$tools/lum_sign" ] && [ -x "$tools/amzl_pack" ] || die "host tools missing in $tools: run ./dev build first"
command -v makensis >/dev/null || die "makensis not found: the anchor installer needs Debian's nsis (./dev deps)"
command -v 7zz >/dev/null || die "7zz not found: the baseline needs Debian's 7zip (./dev deps)"
deps=$(tools/deps/win32-deps.sh "$arch") || die "the $arch Windows libraries are not available"

# --- 1. a build like the tests', with a padded product archive ---
args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DLUM_DEPS_PREFIX="$deps"
      -DLUM_HOST_TOOLS="$tools" -DLUM_PAYLOAD_PAD_MB="$pad")
# ccache with the tree as its base: the objects are those of the test build.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir.args" 2>/dev/null)" != "${args[*]}" ]; then
  say "configuring $dir (payload padded to about $pad MB)"
  mkdir -p "$dir"
  cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log" >&2; die "configure of $dir failed"; }
  echo "${args[*]}" > "$dir.args"
fi
say "building $dir (installer, lum_exec, first_window_bench)"
cmake --build "$dir" --target LumBastionSetup lum_exec first_window_bench >"$dir.build.log" 2>&1 ||
  { tail -n 40 "$dir.build.log" >&2; die "build of $dir failed"; }
setup="$dir/LumBastionSetup.exe" archive="$dir/gen/payload.7z" stage="$dir/payload_stage"
for f in "$setup" "$archive" "$dir/lum_exec.exe" "$dir/first_window_bench.exe" \
         "$small/LumBastionSetup.exe" "$small/gen/payload.7z"; do
  [ -f "$f" ] || die "$f was not produced (run ./dev build for $small)"
done

# --- 2. the anchor: the same stage, packed the way people pack one ---
anchor="$dir/anchor.exe" anchor_small="$dir/anchor-small.exe"
make_anchor() { # make_anchor STAGE OUT: again only when the stage or the script changed
  local stamp="$2.from"
  local want; want="$(cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16)"
  want="$want $(sha256sum <bench/anchor.nsi | cut -c1-16) $nsis_target"
  if [ -f "$2" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$want" ]; then return 0; fi
  say "packing the anchor $2 with makensis ($nsis_target)"
  rm -f "$stamp"
  makensis -V1 -DSTAGE="$root/$1" -DOUT="$root/$2" -DTARGET=$nsis_target bench/anchor.nsi >"$dir.nsis.log" 2>&1 ||
    { tail -n 20 "$dir.nsis.log" >&2; die "makensis could not pack $1"; }
  echo "$want" >"$stamp"
}
make_anchor "$stage" "$anchor"
make_anchor "$small/payload_stage" "$anchor_small"

# --- 3. Wine: one fresh prefix per install, a display for the windows ---
. tests/wine/wine-env.sh
template=$(tests/wine/wine-template.sh) || die "no Wine template prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
xvfb_pid="" prefix=""
if [ -z "${DISPLAY:-}" ]; then
  n=$((90 + RANDOM % 100))
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  sleep 1
fi
end_prefix() {
  [ -n "$prefix" ] || return 0
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"; prefix=""
}
cleanup() { end_prefix; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
downloads='C:\users\Public\Downloads'
new_prefix() { # a fresh copy of the template with both installers in Downloads
  end_prefix
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/lum-bench.XXXXXX")
  cp -a --reflink=auto "$template/." "$prefix/"
  export WINEPREFIX="$prefix" HOME="$prefix/home"; mkdir -p "$HOME"
  drive="$prefix/drive_c" dl="$prefix/drive_c/users/Public/Downloads"
  mkdir -p "$dl/small"
  cp "$setup" "$anchor" "$dir/lum_exec.exe" "$dir/first_window_bench.exe" "$dl/"
  cp "$small/LumBastionSetup.exe" "$anchor_small" "$dl/small/"
  wine cmd /c exit >/dev/null 2>&1   # the wineserver and services start outside the timings
}

record() { printf '%s\t%s\n' "$1" "$2" >>"$figures"; }
figures="$dir.figures.tsv"; : >"$figures"
limit=${LUM_BENCH_TIMEOUT:-600}
run_ours() {
  local out log="$drive/lum-bench.log" waits
  out=$(timeout "$limit" wine "$downloads\\lum_exec.exe" "$downloads\\LumBastionSetup.exe" /s /BNinstall \
        '/log:C:\lum-bench.log' 2>&1 | tr -d '\r')
  local ms; ms=$(sed -n 's/^elapsed \([0-9]*\) ms$/\1/p' <<<"$out")
  [ -n "$ms" ] || { say "round $1: our install gave no outcome within $limit s: $out"; return; }
  grep -q '^exit code 0:' <<<"$out" || say "round $1: our install: $(head -n 1 <<<"$out")"
  [ -n "$(find "$drive" -name ZVSafeMain.exe -path '*Program Files*' 2>/dev/null | head -n 1)" ] ||
    say "round $1: our install placed no ZVSafeMain.exe under Program Files"
  # "prescribed wait <ms> ms: <name>" lines: the waits the install is told to make.
  waits=$(tr -d '\r' <"$log" 2>/dev/null | sed -n 's/.*prescribed wait \([0-9]*\) ms: .*$/\1/p' |
          awk '{ s += $1 } END { print s + 0 }')
  record ours_wall "$ms"; record ours_waits "$waits"; record ours_own $((ms - waits))
  cp "$log" "$dir.last-install.log" 2>/dev/null || true
}
run_anchor() {
  local out ms files
  out=$(timeout "$limit" wine "$downloads\\lum_exec.exe" "$downloads\\anchor.exe" /S 2>&1 | tr -d '\r')
  ms=$(sed -n 's/^elapsed \([0-9]*\) ms$/\1/p' <<<"$out")
  [ -n "$ms" ] || { say "round $1: the anchor gave no outcome within $limit s: $out"; return; }
  files=$(find "$drive" -path '*Lum Anchor*' -type f 2>/dev/null | wc -l)
  [ "$files" -gt 1 ] || say "round $1: the anchor placed no files"
  record anchor_wall "$ms"
}
run_baseline() {
  local t0 t1 t2 out="$prefix/drive_c/bench_extract"
  t0=$(now_ms)
  7zz x -y -bd -bso0 -bsp0 -o"$out" "$archive" || die "7zz could not unpack $archive"
  t1=$(now_ms)
  cp -r "$out" "$out.copy"
  sync -f "$out.copy" 2>/dev/null || true
  t2=$(now_ms)
  record base_7zz $((t1 - t0)); record base_cp $((t2 - t1)); record base_all $((t2 - t0))
  # The same copy with each file flushed on its own (what a placement that
  # flushes every file pays) against the one flush of the whole file system.
  local t3 t4
  t3=$(now_ms)
  cp -r "$out" "$out.each"
  python3 -c 'import os, sys
for d, _, names in os.walk(sys.argv[1]):
    for n in names:
        fd = os.open(os.path.join(d, n), os.O_RDONLY); os.fsync(fd); os.close(fd)' "$out.each"
  t4=$(now_ms)
  record base_cp_each $((t4 - t3))
  rm -rf "$out" "$out.copy" "$out.each"
}

echo "== install benchmark: ours against the anchor and 7zz, $rounds rounds =="
echo "host:      $(nproc) cores, load average at start $(cut -d' ' -f1-3 /proc/loadavg)"
echo "wine:      $(wine --version 2>/dev/null) ($LUM_WINE_ROUTE route), $arch builds, anchor target $nsis_target"
echo "payload:   $(find "$stage" -type f | wc -l) files, $(du -sb "$stage" | cut -f1) bytes unpacked;" \
     "our archive $(stat -c %s "$archive") bytes"
echo
kinds=(ours anchor baseline)
for ((r = 1; r <= rounds; r++)); do
  for ((k = 0; k < 3; k++)); do
    kind=${kinds[$(( (k + r - 1) % 3 ))]}
    new_prefix
    say "round $r/$rounds: $kind"
    "run_$kind" "$r"
  done
done
end_prefix

# --- 4. first windows: one prefix, the cases alternate inside the program ---
new_prefix
say "first windows ($rounds rounds)"
windows=$(timeout 900 wine "$downloads\\first_window_bench.exe" "$rounds" \
  "ours, double-click (stand-in)" "$downloads\\small\\LumBastionSetup.exe" \
  "ours, /BNinstall (stand-in)" "$downloads\\small\\LumBastionSetup.exe /BNinstall" \
  "anchor (stand-in)" "$downloads\\small\\anchor-small.exe" \
  "ours, double-click (padded)" "$downloads\\LumBastionSetup.exe" \
  "anchor (padded)" "$downloads\\anchor.exe" 2>&1 | tr -d '\r')
end_prefix

# --- 5. the table ---
stats() { # stats KEY: median min max of the recorded values, or "- - -"
  awk -F '\t' -v k="$1" '$1 == k { v[n++] = $2 }
    END { if (!n) { print "- - -"; exit }
          for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
          m = n % 2 ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2
          printf "%d %d %d\n", m, v[0], v[n - 1] }' "$figures"
}
row() { local s; s=$(stats "$1"); set -- "$2" $s; printf '  %-44s %8s ms  %6s-%s\n' "$1" "$2" "$3" "$4"; }
ratio() { # ratio A B: of the medians
  local a b; a=$(stats "$1" | cut -d' ' -f1) b=$(stats "$2" | cut -d' ' -f1)
  awk -v a="$a" -v b="$b" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'
}
echo "install, each on a fresh prefix (ms: median, min-max over $rounds rounds)"
row ours_wall   "ours: LumBastionSetup.exe /s /BNinstall"
row ours_waits  "  of which waits the install must make"
row ours_own    "  ours: own work (the install less those waits)"
row anchor_wall "anchor: anchor.exe /S (whole install)"
row base_all    "7zz x + cp -r of our archive"
row base_7zz    "  7zz x"
row base_cp     "  cp -r (then one sync -f)"
row base_cp_each "  cp -r, each file flushed (fsync) on its own"
echo "ratios of the medians"
echo "  ours own work / anchor:    $(ratio ours_own anchor_wall)   (goal: at most 1)"
echo "  ours own work / 7zz + cp:  $(ratio ours_own base_all)   (goal: at most 1.1)"
echo "  ours whole / anchor:       $(ratio ours_wall anchor_wall)"
echo "  anchor / 7zz + cp:         $(ratio anchor_wall base_all)"
echo
echo "$windows"
echo
size() { stat -c %s "$1"; }
echo "sizes (bytes)"
for pair in "padded:$setup:$archive:$anchor" "stand-in:$small/LumBastionSetup.exe:$small/gen/payload.7z:$anchor_small"; do
  IFS=: read -r name ours_exe ours_payload anchor_exe <<<"$pair"
  printf '  %-9s ours %10d (payload archive %d, own part %d)   anchor %10d   ours/anchor %s\n' "$name" \
    "$(size "$ours_exe")" "$(size "$ours_payload")" $(( $(size "$ours_exe") - $(size "$ours_payload") )) \
    "$(size "$anchor_exe")" "$(awk -v a="$(size "$ours_exe")" -v b="$(size "$anchor_exe")" 'BEGIN { printf "%.3f", a / b }')"
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# --- 6. where the last install's time went ---
log="$dir.last-install.log"
echo "the last install's log: waits by name, and gaps of 900 ms or more between lines"
if [ -s "$log" ]; then
  tr -d '\r' <"$log" | sed -n 's/.*prescribed wait \([0-9]*\) ms: \(.*\)$/\1\t\2/p' |
    awk -F '\t' '{ total[$2] += $1; count[$2]++ } END { for (n in total) printf "    %7d ms  %s (%d)\n", total[n], n, count[n] }' | sort -k3
  # Log lines start "YYYY-MM-DD HH:MM:SS.mmm" (no {n} in the pattern: mawk lacks it).
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
else
  echo "    no installer log was kept"
fi
echo "    fixed sleeps in the installer's code (Sleep with a constant, in ms):"
grep -rnE 'Sleep[A-Za-z]*\(\s*[0-9]+\s*\)|k[A-Za-z]*(Wait|Sleep|Pause|Delay)[A-Za-z]*Ms\s*=\s*[0-9]+' \
     app payload i18n install system vendor report browser tray ui --include='*.cpp' --include='*.h' 2>/dev/null |
  sed -E 's/^([^:]+:[0-9]+):\s*/      \1  /' | cut -c1-150
[ "${PIPESTATUS[0]}" = 0 ] || echo "      (none found)"
exit 0
