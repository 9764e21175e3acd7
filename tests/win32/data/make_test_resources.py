#!/usr/bin/env python3
"""Regenerates the FILE 9000+ resources of the Win32 tests (test_resources.rc).

    make_test_resources.py <amzl_pack> [out_dir]

The valid container comes from the real packer; the broken ones are that
container with one field changed, so each exercises exactly one check.
"""
import os
import struct
import subprocess
import sys
import tempfile


def sample_text():
    # Must match SampleText() in resource_file_test.cpp.
    return "".join("resource test line %04d\r\n" % i for i in range(200)).encode("ascii")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    pack = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) == 3 else os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "sample.txt")
        dst = os.path.join(tmp, "sample.amzl")
        with open(src, "wb") as f:
            f.write(sample_text())
        subprocess.run([pack, src, dst], check=True, stdout=subprocess.DEVNULL)
        with open(dst, "rb") as f:
            good = f.read()

    def patched(offset, fmt, value):
        data = bytearray(good)
        struct.pack_into(fmt, data, offset, value)
        return bytes(data)

    packed = struct.unpack_from("<I", good, 12)[0]
    digest = bytearray(good)
    digest[20] ^= 0x01
    files = {
        "short_magic.bin": b"amzl" + bytes(range(1, 28)),  # 31 bytes
        "version2.amzl": patched(4, "<I", 2),
        "packed_off_by_one.amzl": patched(12, "<I", packed - 1),
        "bad_digest.amzl": bytes(digest),
        "sample.amzl": good,
        "plain.bin": b"not a container, just bytes\r\n",
        "nobom.u16.ini": "[en]\r\nname=English\r\n".encode("utf-16-le"),
        "nosection.u16.ini": "\ufefftop=1\r\n; no header\r\n".encode("utf-16-le"),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
