#!/usr/bin/env bash
# The interactive install end to end, on a display of its own: one prefix
# is installed silently ("/s"), a second one by lum_interactive_driver the way
# a person does it (clicks, keys). The two machines must then hold the same
# product files and the same registry values. The update page, its
# acceptance box and "/autodeploy" are driven on the second prefix after the
# comparison.
#
#   interactive_install.sh LumBastionSetup.exe lum_interactive_driver.exe SCREENSHOT_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/wine-env.sh"
installer=$1
driver=$2
out=$3
mkdir -p "$out"
template=$("$here/../wine/wine-template.sh")
. "$here/../wine/own-display.sh"
start_own_display
work=$(mktemp -d "${TMPDIR:-/tmp}/lum-interactive.XXXXXX")
cleanup() {
  for p in "$work"/silent "$work"/interactive; do
    [ -d "$p" ] && WINEPREFIX="$p" wineserver -k 2>/dev/null || true
  done
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export LUM_INSTALLER="$installer" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

use_prefix() {
  export WINEPREFIX="$work/$1" HOME="$work/$1/home"
  if [ ! -d "$WINEPREFIX" ]; then
    mkdir -p "$WINEPREFIX"
    cp -a --reflink=auto "$template/." "$WINEPREFIX/"
    mkdir -p "$HOME"
    "$here/../wine/wine-fonts.sh"
  fi
}

# Runs the driver and answers its screenshot requests while it runs.
drive() {
  local mode=$1 exchange="$work/exchange-$1"
  mkdir -p "$exchange"
  wine "$driver" "$(winepath -w "$exchange")" "$mode" &
  local pid=$! rc=0
  while kill -0 "$pid" 2>/dev/null; do
    for req in "$exchange"/*.req; do
      [ -f "$req" ] || continue
      local tag; tag=$(basename "${req%.req}")
      local geometry; geometry=$(cat "$req")
      rm -f "$req"
      xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$out/$tag.png"
      convert "$out/$tag.png" -type TrueColor "BMP3:$exchange/$tag.tmp" && mv "$exchange/$tag.tmp" "$exchange/$tag.bmp"
    done
    sleep 0.2
  done
  wait "$pid" || rc=$?
  return "$rc"
}

# What an install leaves on a machine, in a form two machines can be compared in:
# every file of the product folder with its checksum (not the main program
# stand-in's record of its starts, which only the interactive run makes), and the product's
# registry records with the values that name the moment of the run left out.
state() {
  local folder="$WINEPREFIX/drive_c/Program Files (x86)/Lum/Bastion"
  [ -d "$folder" ] || folder="$WINEPREFIX/drive_c/Program Files/Lum/Bastion"
  (cd "$folder" && find . -type f ! -name '*.log' ! -name '*.starts' -print0 | sort -z | xargs -0 md5sum)
  local key
  for key in 'HKLM\Software\LumBastion' 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LumBastion' \
             'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\ZVSafeMain.exe' \
             'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' \
             'HKLM\System\CurrentControlSet\Services\ZVActiveDefense'; do
    local view file="$work/reg.txt" found=0
    for view in 32 64; do
      rm -f "$file"
      wine reg export "$key" "$(winepath -w "$file")" "/reg:$view" >/dev/null 2>&1 || continue
      found=1
      echo "($view-bit view)"
      iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | sed -e '1d' \
        | grep -v -E '^"(InstallTime|InstallDate|FirstInstallTime|LastUpdate|Mid|mid|ClientTime|Config)"=' || true
    done
    [ "$found" = 1 ] || echo "$key: missing"
  done
}

status=0
use_prefix silent
silent_rc=0
wine "$installer" /s "/log:C:\\lum_silent.log" || silent_rc=$?
echo "silent install: exit $silent_rc"
state > "$work/silent.state"
wineserver -k 2>/dev/null || true

use_prefix interactive
drive install || { echo "interactive install: $? check(s) failed"; status=1; }

state > "$work/interactive.state"
# What only a person's run records: the notice page's experience choice, the
# licence and privacy versions the user saw ("-": no statistics service
# answers here), and the browser offer. No offer server answers here and the channel is 101, so the offer box starts ticked
# and, left so, the offer is taken: "InstallOpera" and "NeedOpera" are
# written and the introduction page for the browser is not shown. A silent
# run makes no offer. Everything else must be exactly what the silent run left.
interactive_only='^("UserExperience"=dword:00000001|"LicenseDateVer"=.*|"PrivacyDateVer"=.*|\[HKEY_LOCAL_MACHINE\\Software\\LumBastion\\(Experience|Bundle)\]|"InstallOpera"=dword:00000001|"NeedOpera"=dword:00000001|"NeedOperaCount"=dword:00000000|"OperaShown"=.*)$'
for record in '"UserExperience"=' '"LicenseDateVer"="-"' '"PrivacyDateVer"="-"' \
              '"InstallOpera"=dword:00000001' '"NeedOpera"=dword:00000001' \
              '"NeedOperaCount"=dword:00000000' '"OperaShown"=dword:00000000'; do
  if grep -q "^$record" "$work/interactive.state"; then
    echo "ok   the interactive install recorded $record"
  else
    echo "FAIL the interactive install did not record $record"; status=1
  fi
done
for record in '"InstallOpera"=' '"NeedOpera"=' '"OperaShown"=dword:00000000'; do
  if grep -q "^$record" "$work/silent.state"; then
    echo "FAIL the silent install recorded $record"; status=1
  fi
done
grep -v -E "$interactive_only" "$work/interactive.state" | cat -s > "$work/interactive.compared"
grep -v -E '^"OperaShown"=' "$work/silent.state" | cat -s > "$work/silent.compared"
if diff -u "$work/silent.compared" "$work/interactive.compared"; then
  echo "ok   the interactive install left the same files and registry values as the silent one ($(wc -l < "$work/silent.compared") lines)"
else
  echo "FAIL the interactive install differs from the silent one"
  status=1
fi
if [ "$silent_rc" != 0 ]; then echo "FAIL silent install exit $silent_rc"; status=1; fi
drive update || { echo "update page: $? check(s) failed"; status=1; }
exit "$status"
