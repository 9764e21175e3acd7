#!/usr/bin/env python3
"""Regenerates the 7z archives of the extraction tests (FILE 9100+).

    make_test_archives.py [out_dir]

Ordinary archives come from 7zz. Archives whose item names no archiver
writes (no name at all, names that climb out of the output folder) are
written here: one "Copy" folder per file, names as given, so each case holds
exactly the names the test expects.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

MTIME = "2024-03-05 06:07:08"  # every file of the ordinary archives


def number(value):
    """The archive header's variable-length integer."""
    for extra in range(8):
        if value < (1 << (7 * (extra + 1))):
            first = ((0xFF << (8 - extra)) & 0xFF) | (value >> (8 * extra))
            return bytes([first]) + (value & ((1 << (8 * extra)) - 1)).to_bytes(extra, "little")
    return b"\xFF" + value.to_bytes(8, "little")


def crafted(entries):
    """entries: list of (name or None, data bytes). A None name leaves the
    whole archive without names (the reader then has no path for any item)."""
    packed = b"".join(data for _, data in entries)
    count = len(entries)
    header = b"\x01\x04"  # header, main streams
    header += b"\x06" + number(0) + number(count) + b"\x09"
    header += b"".join(number(len(d)) for _, d in entries) + b"\x00"
    header += b"\x07\x0B" + number(count) + b"\x00"
    header += b"".join(b"\x01\x01\x00" for _ in entries)  # one coder, 1-byte id 00: Copy
    header += b"\x0C" + b"".join(number(len(d)) for _, d in entries)
    header += b"\x0A\x01" + b"".join(struct.pack("<I", zlib.crc32(d)) for _, d in entries)
    header += b"\x00\x00"  # end of unpack info, end of streams info
    header += b"\x05" + number(count)
    if all(name is not None for name, _ in entries):
        names = b"\x00" + b"".join(n.encode("utf-16-le") + b"\x00\x00" for n, _ in entries)
        header += b"\x11" + number(len(names)) + names
    header += b"\x00\x00"  # end of files info, end of header
    start = struct.pack("<QQI", len(packed), len(header), zlib.crc32(header))
    signature = b"7z\xBC\xAF\x27\x1C\x00\x04" + struct.pack("<I", zlib.crc32(start)) + start
    return signature + packed + header


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write(path, data)


def seven(args, cwd):
    subprocess.run(["7zz", "a", "-bd", "-bso0"] + args, cwd=cwd, check=True)


def touch_all(root):
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            subprocess.run(["touch", "-h", "-d", MTIME + " UTC", os.path.join(folder, name)],
                           check=True)


def main():
    out = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.dirname(
        os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as tmp:
        # normal.7z: nested files, an empty folder, a read-only file (mode 0444).
        src = os.path.join(tmp, "normal")
        tree(src, {
            "readme.txt": b"read me first\r\n",
            "bin/app.exe": b"MZ" + bytes(range(256)) * 8,
            "bin/lib/core.dll": b"core library\r\n" * 100,
            "docs/manual.txt": b"manual\r\n",
        })
        os.makedirs(os.path.join(src, "empty"))
        os.chmod(os.path.join(src, "docs/manual.txt"), 0o444)
        touch_all(src)
        seven([os.path.join(out, "normal.7z"), "."], src)

        # broken.7z: three stored files, one folder each; the middle one's
        # data is damaged so that only its check fails.
        src = os.path.join(tmp, "broken")
        tree(src, {"a_first.txt": b"first file\r\n" * 20,
                   "b_middle.txt": b"MIDDLE-DATA-" * 20,
                   "c_last.txt": b"last file\r\n" * 20})
        touch_all(src)
        archive = os.path.join(tmp, "broken.7z")
        seven([archive, "-mx=0", "-ms=off", "a_first.txt", "b_middle.txt", "c_last.txt"], src)
        data = bytearray(open(archive, "rb").read())
        at = data.index(b"MIDDLE-DATA-")
        data[at] ^= 0xFF
        write(os.path.join(out, "broken.7z"), bytes(data))

        # encrypted.7z (names readable, data encrypted) and
        # encrypted_names.7z (the header encrypted too).
        src = os.path.join(tmp, "secret")
        tree(src, {"secret.txt": b"secret\r\n"})
        touch_all(src)
        seven([os.path.join(out, "encrypted.7z"), "-pSecret", "secret.txt"], src)
        seven([os.path.join(out, "encrypted_names.7z"), "-pSecret", "-mhe=on", "secret.txt"],
              src)

    write(os.path.join(out, "nameless.7z"), crafted([(None, b"nameless content\r\n")]))
    write(os.path.join(out, "climbing.7z"), crafted([
        ("../evil_parent.txt", b"evil 1"),
        ("/evil_rooted.txt", b"evil 2"),
        ("C:/evil_drive.txt", b"evil 3"),
        ("sub/../../evil_nested.txt", b"evil 4"),
        ("//server/share/evil_unc.txt", b"evil 5"),
        ("CON", b"evil 6"),
        ("sub/good.txt", b"good\r\n"),
    ]))


if __name__ == "__main__":
    main()
