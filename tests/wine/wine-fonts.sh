#!/usr/bin/env bash
# Gives the Wine prefix $WINEPREFIX the faces the installer's font rules and
# language table name, backed by the Debian font packages of ./dev deps:
# the Chinese and Japanese faces are replaced by WenQuanYi Micro Hei, the
# Devanagari ones by FreeSans, and "Segoe UI" by DejaVu Sans, which also
# covers Arabic: each face the installer picks draws every script of its
# language, Latin product names included.
set -euo pipefail
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
replacements='HKCU\Software\Wine\Fonts\Replacements'
for face in "Microsoft YaHei" "Microsoft JhengHei" "SimSun" "PMingLiU" "Meiryo" "Meiryo UI" \
            "MS UI Gothic" "Yu Gothic UI"; do
  reg "$replacements" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei"
done
# Devanagari and Latin in one face.
for face in "Nirmala UI" "Mangal"; do
  reg "$replacements" /v "$face" /t REG_SZ /d "FreeSans"
done
# Latin, Cyrillic, Greek and Arabic in one face.
reg "$replacements" /v "Segoe UI" /t REG_SZ /d "DejaVu Sans"
