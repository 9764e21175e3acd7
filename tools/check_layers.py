#!/usr/bin/env python3
"""Holds every folder of the installer to the "May include:" line of its README.

A folder's README names, in backticks, the folders (`system/`) that its
files may include besides its own (a single header, `dir/name.h`, is
understood too, though no folder needs one today). An include of any other folder of the tree fails the check; system and
library headers (<...>) are not looked at. A nested folder with a README of
its own (ui/skin) is held to that README, not to its parent's.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FOLDERS = ["base", "system", "payload", "vendor", "i18n", "session", "tray", "report", "browser",
           "install", "ui/skin", "ui", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed_for(folder):
    readme = ROOT / folder / "README.md"
    if not readme.is_file():
        sys.exit(f"check_layers: {folder}/README.md is missing")
    match = re.search(r"^May include:(.*?)(?:\n\s*\n|\Z)", readme.read_text(), re.M | re.S)
    if not match:
        sys.exit(f"check_layers: {folder}/README.md has no 'May include:' line")
    return set(re.findall(r"`([^`]+)`", match.group(1)))


def owner(path):
    rel = path.relative_to(ROOT).as_posix()
    for folder in FOLDERS:  # nested folders are listed before their parents
        if rel.startswith(folder + "/"):
            return folder
    return None


def main():
    rules = {folder: allowed_for(folder) for folder in FOLDERS if (ROOT / folder).is_dir()}
    faults = []
    for folder in rules:
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h") or owner(path) != folder:
                continue
            for target in INCLUDE.findall(path.read_text(errors="replace")):
                top = target.split("/")[0]
                if "/" not in target or not (ROOT / top).is_dir():
                    continue  # a library's own quoted header
                target_owner = owner(ROOT / target)
                if target_owner == folder or target in rules[folder]:
                    continue
                if target_owner is not None and target_owner + "/" in rules[folder]:
                    continue
                faults.append(f"{path.relative_to(ROOT)}: includes {target}, which "
                              f"{folder}/README.md does not allow")
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"layers: {len(rules)} folders hold to their README's 'May include:' line")
    return 0


if __name__ == "__main__":
    sys.exit(main())
