#!/usr/bin/env bash
# The layer check on a copy of the tree: clean it passes, and an include that
# runs upward (into app/ from session/, into ui/ from install/) fails it with
# a line naming the file and the header.
set -uo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fails=0
check() { # check NAME WANT_RC WANT_TEXT
  local out rc
  out=$(python3 "$work/tree/tools/check_layers.py" 2>&1); rc=$?
  if [ "$rc" = "$2" ] && grep -qF -- "$3" <<<"$out"; then echo "ok   $1"
  else echo "FAIL $1: exit $rc, said: $out"; fails=$((fails + 1)); fi
}
mkdir -p "$work/tree"
(cd "$src" && git ls-files -z --cached --others --exclude-standard -- tools/check_layers.py "*.h" "*.cpp" "*README.md") |
  (cd "$src" && tar --null -T - -cf - 2>/dev/null) | tar -xf - -C "$work/tree"
check "the tree as it stands" 0 "folders hold to their README"
cp "$work/tree/session/promo_switch.cpp" "$work/keep"
printf '#include "app/startup_win.h"\n' >>"$work/tree/session/promo_switch.cpp"
check "session/ reaching up into app/" 1 "session/promo_switch.cpp: includes app/startup_win.h"
cp "$work/keep" "$work/tree/session/promo_switch.cpp"
printf '#include "ui/silent_handler_win.h"\n' >>"$work/tree/install/install_proc_win.cpp"
check "install/ reaching up into ui/" 1 "install/install_proc_win.cpp: includes ui/silent_handler_win.h"
[ "$fails" = 0 ] && echo "check_layers: all passed" || { echo "check_layers: $fails failed"; exit 1; }
