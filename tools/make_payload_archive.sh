#!/usr/bin/env bash
# Packs the product's files into the 7z archive carried as FILE 501.
#
#   make_payload_archive.sh [--stage DIR] [--pad-mb N] [--files-lst FILE] TREE OUTPUT.7z [BUILT=PATH ...]
#
# The archive is made from a staging folder: a copy of the static TREE, then
# each built file BUILT copied to PATH (a path inside the install folder, "/" or
# "\" separated). --pad-mb N (N > 0) adds deterministic filler files under
# "data/" so that the packed archive is about N MB, for benchmarks: part
# incompressible (a fixed-seed generator), part text-like. --files-lst names the
# product's file list; "built" entries that were not staged are reported.
set -euo pipefail
stage="" pad_mb=0 files_lst=""
while [ $# -gt 0 ]; do
  case "$1" in
    --stage) stage=$2; shift 2 ;;
    --pad-mb) pad_mb=$2; shift 2 ;;
    --files-lst) files_lst=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "make_payload_archive: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || { echo "usage: make_payload_archive.sh [--stage DIR] [--pad-mb N] [--files-lst FILE] TREE OUTPUT.7z [BUILT=PATH ...]" >&2; exit 2; }
tree=$(cd "$1" && pwd) out=$2; shift 2
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
[[ $pad_mb =~ ^[0-9]+$ ]] || { echo "make_payload_archive: --pad-mb wants a whole number, not '$pad_mb'" >&2; exit 2; }
seven=$(command -v 7zz || command -v 7z) || { echo "make_payload_archive: no 7-Zip (7zz) found" >&2; exit 1; }
[ -n "$stage" ] || stage="$out.stage"

rm -rf "$stage" "$out"
mkdir -p "$stage"
cp -R "$tree/." "$stage/"

for pair in "$@"; do
  src=${pair%%=*} rel=${pair#*=}
  [ "$src" != "$pair" ] && [ -n "$rel" ] || { echo "make_payload_archive: expected BUILT=PATH, got '$pair'" >&2; exit 2; }
  [ -f "$src" ] || { echo "make_payload_archive: built file missing: $src" >&2; exit 1; }
  rel=${rel//\\//}
  mkdir -p "$stage/$(dirname "$rel")"
  cp "$src" "$stage/$rel"
done

if [ "$pad_mb" -gt 0 ]; then
  python3 - "$stage/data" "$pad_mb" <<'PY'
import lzma, os, random, sys
folder, pad_mb = sys.argv[1], int(sys.argv[2])
os.makedirs(folder, exist_ok=True)
rng = random.Random(20261208)  # fixed seed: the same filler on every build
MB = 1 << 20
# Three quarters of the packed size come from incompressible files, the rest
# from text-like files sized by the ratio LZMA reaches on a sample of them.
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 11)))
         for _ in range(4000)]
def text(n):
    out, size = [], 0
    while size < n:
        line = ' '.join(rng.choices(words, k=12)) + ' = %d;\r\n' % rng.randint(0, 99999)
        out.append(line); size += len(line)
    return ''.join(out).encode('ascii')[:n]
sample = text(2 * MB)
ratio = len(sample) / len(lzma.compress(sample, preset=9))
random_total = pad_mb * MB * 3 // 4
text_total = int((pad_mb * MB - random_total) * ratio)
sizes = [1, 2, 3, 5, 8, 13, 21, 34]  # various sizes, cycled until the total is reached
def write(prefix, total, make):
    i, left = 0, total
    while left > 0:
        n = min(left, sizes[i % len(sizes)] * MB // 4 + rng.randint(0, 65535))
        with open(os.path.join(folder, '%s%03d.%s' % (prefix, i, 'bin' if prefix == 'blob' else 'txt')), 'wb') as f:
            f.write(make(n))
        left -= n; i += 1
    return i
nb = write('blob', random_total, rng.randbytes)
nt = write('text', text_total, text)
print('payload filler: %d incompressible files (%d MB), %d text files (%d MB raw, ratio %.1f)'
      % (nb, random_total // MB, nt, text_total // MB, ratio))
PY
fi

if [ -n "$files_lst" ]; then
  missing=()
  while IFS='|' read -r path _ origin; do
    [[ $path =~ ^# || -z $path ]] && continue
    [[ $origin == built* ]] || continue
    [ -f "$stage/${path//\\//}" ] || missing+=("$path")
  done < "$files_lst"
  [ ${#missing[@]} -eq 0 ] || echo "payload archive: ${#missing[@]} listed built files not built yet: ${missing[*]}"
fi

cd "$stage"
# LZMA2 in independent 32 MB blocks: the archive library then unpacks on every
# core of the user's machine (a single solid stream unpacks on one), for about
# half a percent of size. The dictionary matches the block; a larger one would
# only be reset at each block's start.
"$seven" a -t7z -mx=9 -m0=LZMA2:d=32m:c=32m -mmt=2 -bd -bso0 -bsp0 "$out" ./*
echo "payload archive: $(find . -type f | wc -l) files, $(stat -c %s "$out") bytes -> $out"
