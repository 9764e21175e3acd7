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
echo "$outcome"
echo
echo "-- installer log ($log) --"
if [ -f "$prefix/drive_c/lum-demo.log" ]; then cat "$prefix/drive_c/lum-demo.log" | tr -d '\r'; else echo "(no log written)"; fi
echo
install="$prefix/drive_c/Program Files (x86)/Lum/Bastion"
echo "-- install folder: C:\\Program Files (x86)\\Lum\\Bastion --"
if [ -d "$install" ]; then
  echo "files placed: $(find "$install" -type f | wc -l)"
  (cd "$install" && find . -mindepth 1 -maxdepth 2 | sort | sed -e 's|^\./||' -e 's|[^/]*/|  |g' | head -n 60)
  for ini in config.ini i18n/i18n.ini softmgr/AdvUtils.ini; do
    [ -f "$install/$ini" ] && printf '%s: starts with %s\n' "$ini" "$(head -c 2 "$install/$ini" | od -An -tx1 | tr -d ' \n')"
  done
else
  echo "(not installed)"
fi
echo
echo "-- registry (32-bit view) --"
q() { wine reg query "$1" ${2:+/v "$2"} /reg:32 2>/dev/null | tr -d '\r' | grep -E 'REG_' || echo "    ($1${2:+ $2}: absent)"; }
q 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\ZVSafeMain.exe'
q 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Lumsafe.exe'
q 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' ZVSafeTray
q 'HKLM\Software\LumBastion' InstallDate
q 'HKLM\Software\LumBastion\Shortcut' StartMenu
q 'HKLM\Software\LumBastion\UserProfile'
q 'HKLM\Software\LumBastion\ActiveProtection' mode
q 'HKLM\Software\LumSafe\Coop' insttime
echo
echo "-- services --"
for svc in ZVActiveDefense ZVProtected LumAvFlt Lumnetmon; do
  state=$(wine sc query "$svc" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *//p')
  printf '%-16s %s\n' "$svc" "${state:-not registered}"
done
wine reg query 'HKLM\System\CurrentControlSet\Services\ZVActiveDefense' 2>/dev/null | tr -d '\r' | grep -E 'REG_' || true
echo
echo "-- left behind in work folders (%TEMP%\\Lum_install_*) --"
find "$prefix/drive_c/users" -path '*Temp/Lum_install_*' -type f 2>/dev/null | sed "s|$prefix/drive_c/|C:/|" || true
echo
echo "-- left behind under Program Files (x86) --"
ls -la "$prefix/drive_c/Program Files (x86)" | grep -v -E ' (\.|\.\.|Common Files|Internet Explorer|Windows Media Player|Windows NT|Microsoft.NET)$' | tail -n +2
echo
echo "-- pending restart operations --"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | sed -n '3,$p' || true
echo
echo "log: $log ($prefix/drive_c/lum-demo.log, removed with the prefix)"
wineserver -k 2>/dev/null
rm -rf "$prefix"
