#!/usr/bin/env bash
# The main job: run the built installer silently under Wine on a fresh prefix
# and print what happened.
#
#   demo.sh BUILD_DIR [--reports]   (BUILD_DIR holds LumBastionSetup.exe and lum_exec.exe)
#   --reports: the loopback statistics server listens during the run and what it
#   received is shown (without it, every report is refused at once: nothing listens).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
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
result='C:\lum-demo-result.json'

# The machine's own rights before anything runs, to compare after the installs.
sddl() { wine "$build/lum_sddl.exe" "$@" 2>/dev/null | tr -d '\r'; }
sddl_before_hklm=$(sddl HKLM Software 32)
sddl_before_hkcu=$(sddl HKCU Software)

echo "== Lum Bastion Setup demo =="
echo "build:     $build ($(file -b "$build/LumBastionSetup.exe" | cut -d, -f1))"
echo "route:     $LUM_WINE_ROUTE"
if [ "$LUM_WINE_ROUTE" = emulated32 ] && [ "$LUM_WINE_BITS" = 32 ]; then
  echo "qemu:      $(qemu-i386 --version | head -n 1) runs the 32-bit side (binfmt_misc, QEMU_RESERVED_VA=$QEMU_RESERVED_VA)"
fi
echo "wine:      $(wine --version 2>/dev/null) via $(command -v wine)"
echo "prefix:    $prefix"
echo "installer: C:\\users\\Public\\Downloads\\LumBastionSetup.exe ($(stat -c %s "$build/LumBastionSetup.exe") bytes)"
echo "command:   LumBastionSetup.exe /s /log:$log /result:$result"
echo
run_installer() { wine "$build/lum_exec.exe" 'C:\users\Public\Downloads\LumBastionSetup.exe' /s "/log:$log" "/result:$result" 2>&1 | tr -d '\r'; }
reports=""
if [ "${2:-}" = "--reports" ]; then
  reports="$prefix/report-server.jsonl"
  export -f run_installer; export build log result
  outcome=$("$here/../report_server/with_server.sh" 18611 "$build/keys/report-service.keys" \
    "$build/../host/tools/report_open" "$reports" -- bash -c run_installer)
else
  outcome=$(run_installer)
fi
echo "$outcome"
echo "result file: $(cat "$prefix/drive_c/lum-demo-result.json" 2>/dev/null || echo '(none written)')"
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
echo "-- uninstall entry (64-bit view) --"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LumBastion' /reg:64 2>/dev/null | tr -d '\r' | grep -E 'REG_' || echo "    (absent)"
echo "-- context-menu module (64-bit view) --"
for i in $(seq 1 100); do
  wine reg query 'HKCR\CLSID\{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}\InprocServer32' /reg:64 >/dev/null 2>&1 && break
  sleep 0.2
done
wine reg query 'HKCR\CLSID\{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}\InprocServer32' /ve /reg:64 2>/dev/null | tr -d '\r' | grep -E 'REG_' || echo "    (not registered)"
echo "-- shortcuts --"
for where in "ProgramData/Microsoft/Windows/Start Menu/Programs/Lum Security Center/Lum Bastion" "users/Public/Desktop"; do
  echo "C:\\${where//\//\\}:"
  ls "$prefix/drive_c/$where" 2>/dev/null | grep -i '\.lnk$' | sed 's/^/    /' || echo "    (none)"
done
echo "-- services --"
for svc in ZVActiveDefense ZVProtected LumAvFlt Lumnetmon; do
  state=$(wine sc query "$svc" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *//p')
  printf '%-16s %s\n' "$svc" "${state:-not registered}"
done
wine reg query 'HKLM\System\CurrentControlSet\Services\ZVActiveDefense' 2>/dev/null | tr -d '\r' | grep -E 'REG_' || true
echo "-- silent reinstall over it --"
wine "$build/lum_exec.exe" 'C:\users\Public\Downloads\LumBastionSetup.exe' /s '/log:C:\lum-demo-reinstall.log' 2>&1 | tr -d '\r'
echo
echo "-- registry rights after the install and the reinstall --"
same() { [ "$1" = "$2" ] && echo "$1 (unchanged)" || echo "$1 (CHANGED; before: ${2#*: })"; }
same "$(sddl HKLM Software 32)" "$sddl_before_hklm"
same "$(sddl HKCU Software)" "$sddl_before_hkcu"
sddl HKLM 'Software\LumBastion' 32
sddl HKLM 'Software\LumSafe' 32
sddl HKCU 'Software\LumBastion'
echo
echo "-- left behind in work folders (C:\\windows\\Temp\\Lum_install_*) --"
find "$prefix/drive_c/windows/temp" -ipath '*temp/Lum_install_*' -type f 2>/dev/null | sed "s|$prefix/drive_c/|C:/|" || true
echo
echo "-- left behind under Program Files (x86) --"
ls -la "$prefix/drive_c/Program Files (x86)" | grep -v -E ' (\.|\.\.|Common Files|Internet Explorer|Windows Media Player|Windows NT|Microsoft.NET)$' | tail -n +2
echo
if [ -n "$reports" ]; then
  echo "-- received by the loopback statistics server (127.0.0.1:18611) --"
  python3 - "$reports" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print(f"{r['path']}  signature {r['signature']}")
    env = r.get("envelope")
    if env:
        print(f"    v611 opened: sequence {env.get('sequence')}: {env.get('clear', env.get('refused'))}")
    else:
        print(f"    {r['target'][len(r['path']) + 1:][:400]}")
PY
  echo
fi
echo "-- pending restart operations --"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | sed -n '3,$p' || true
echo
echo "log: $log ($prefix/drive_c/lum-demo.log, removed with the prefix)"
wineserver -k 2>/dev/null
rm -rf "$prefix"
