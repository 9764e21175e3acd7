#!/usr/bin/env bash
# The installer picks its UI language from the system when no product is
# installed. Wine takes the user's UI language from the Unix locale of the
# process, so this runs the installer silently in a fresh prefix under
# LC_ALL=<locale> and checks the language its start-up logs.
#
#   system_locale_language.sh INSTALLER.exe LOCALE EXPECTED_CODE
# e.g. system_locale_language.sh LumBastionSetup.exe ru_RU.UTF-8 ru
set -euo pipefail
installer=$1 locale=$2 expected=$3
here=$(cd "$(dirname "$0")" && pwd)

# Without the glibc locale, Wine silently falls back to English.
norm=$(echo "$locale" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
available=$(locale -a | tr 'A-Z' 'a-z')
if ! grep -qx "$norm" <<<"$available"; then
  echo "locale $locale is not available on this machine (Debian package locales-all)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lum-locale.XXXXXX")
trap 'rm -rf "$work"' EXIT
log_win="Z:$(echo "$work/setup.log" | tr '/' '\\')"

rc=0
LC_ALL=$locale LANG=$locale "$here/../wine/wine-run.sh" "$installer" /s /BNinstall "/log:$log_win" || rc=$?
echo "installer exit status $rc (not judged here)"

if [ ! -s "$work/setup.log" ]; then
  echo "no log written at $log_win" >&2
  exit 1
fi
line=$(grep -a -m1 '\[startup\] language ' "$work/setup.log" || true)
echo "start-up: ${line:-<no language line>}"
if [[ $line == *"] language $expected, channel "* ]]; then
  exit 0
fi
echo "expected language $expected under $locale; log follows" >&2
cat "$work/setup.log" >&2
exit 1
