#!/usr/bin/env bash
# Signs a copy of a stand-in browser with an Authenticode certificate made for
# the tests (self-signed, code signing), so the launcher's publisher check
# meets a real embedded signature:
#   sign_test_browser.sh <key-folder> <publisher> <unsigned.exe> <signed.exe>
# The certificate of a publisher is made once per key folder and kept.
set -euo pipefail
keys=$1 publisher=$2 in=$3 out=$4
mkdir -p "$keys" "$(dirname "$out")"
stem="$keys/$(printf '%s' "$publisher" | tr -c 'A-Za-z0-9' '_')"
if [ ! -s "$stem.crt" ] || [ ! -s "$stem.key" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -keyout "$stem.key" -out "$stem.crt" \
    -subj "/O=$publisher/CN=$publisher" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
fi
rm -f "$out"
osslsigncode sign -certs "$stem.crt" -key "$stem.key" -n "stand-in browser" -in "$in" -out "$out" >/dev/null
