#!/usr/bin/env bash
# The main job: run the built installer silently under Wine on a fresh prefix
# and print what happened.
#
#   demo.sh BUILD_DIR      (BUILD_DIR holds LumBastionSetup.exe and lum_exec.exe)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/win32}" && pwd)
template=$("$here/wine-template.sh") || exit 1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/lum-demo.XXXXXX")
cp -a --reflink=auto "$template/." "$prefix/"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$prefix/home"; mkdir -p "$HOME"

# The installer starts from a "download" folder, as a user's copy would.
mkdir -p "$prefix/drive_c/users/Public/Downloads"
cp "$build/LumBastionSetup.exe" "$prefix/drive_c/users/Public/Downloads/"
log='C:\lum-demo.log'

echo "== Lum Bastion Setup demo =="
echo "prefix:    $prefix"
echo "installer: C:\\users\\Public\\Downloads\\LumBastionSetup.exe ($(stat -c %s "$build/LumBastionSetup.exe") bytes)"
echo "command:   LumBastionSetup.exe /s /log:$log"
echo
outcome=$(wine "$build/lum_exec.exe" 'C:\users\Public\Downloads\LumBastionSetup.exe' /s "/log:$log" 2>&1 | tr -d '\r')
wineserver -w
echo "$outcome"
echo
echo "-- installer log ($log) --"
if [ -f "$prefix/drive_c/lum-demo.log" ]; then cat "$prefix/drive_c/lum-demo.log" | tr -d '\r'; else echo "(no log written)"; fi
echo
echo "-- left behind under Program Files (x86) --"
ls -la "$prefix/drive_c/Program Files (x86)" | grep -v -E ' (\.|\.\.|Common Files|Internet Explorer|Windows Media Player|Windows NT|Microsoft.NET)$' | tail -n +2
echo
echo "-- pending restart operations --"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | sed -n '3,$p' || true
wineserver -k 2>/dev/null
rm -rf "$prefix"
