#!/usr/bin/env bash
# Screenshots of the skinned message box and the restart prompt in six
# languages, and of the options strip, the main window's pages, the notice
# page and the folder-not-writable box in four, at 96 and 144 DPI, each in a
# fresh prefix copied from the template, saved as PNG under build/screenshots/
# for a person to look at;
# lum_skin_shots checks what can be measured in them.
#
#   skin_screenshots.sh PATH/lum_skin_shots.exe OUTPUT_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1
out=$2
mkdir -p "$out"
template=$("$here/wine-template.sh")
. "$here/own-display.sh"
start_own_display
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
status=0
for dpi in ${LUM_SHOT_DPIS:-96 144}; do
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/lum-shots.XXXXXX")
  cp -a --reflink=auto "$template/." "$prefix/"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export HOME="$prefix/home"; mkdir -p "$HOME"
  shots=$(mktemp -d "${TMPDIR:-/tmp}/lum-shots-out.XXXXXX")
  "$here/wine-fonts.sh"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wine "$exe" "$(winepath -w "$shots")" &
  pid=$!
  # Answer each request with a screenshot of the window as X shows it.
  while kill -0 "$pid" 2>/dev/null; do
    for req in "$shots"/*.req; do
      [ -f "$req" ] || continue
      tag=$(basename "${req%.req}")
      geometry=$(cat "$req")
      rm -f "$req"
      xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$out/$tag.png"
      convert "$out/$tag.png" -type TrueColor "BMP3:$shots/$tag.tmp" && mv "$shots/$tag.tmp" "$shots/$tag.bmp"
    done
    sleep 0.2
  done
  rc=0
  wait "$pid" || rc=$?
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix" "$shots"
  if [ "$rc" != 0 ]; then
    echo "skin screenshots at $dpi DPI: $rc check(s) failed" >&2
    status=1
  fi
done
exit "$status"
