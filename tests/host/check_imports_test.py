#!/usr/bin/env python3
"""The import check on small PE images made here, 32- and 64-bit: a program that
imports what the oldest Windows accepted exports passes; one that imports a
function that came later (GetTickCount64, Vista), a DLL that Windows may take
from the program's folder (version.dll), or a later function through its
delay-load table fails, with a line naming the import."""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, '..', '..', 'tools', 'check_imports.py')


def make_pe(imports, delay=(), wide=False):
    """A PE image whose one section holds the import (and delay-load) tables of
    `imports` / `delay`: sequences of (dll, [function, ...])."""
    section_rva, file_align = 0x1000, 0x200
    step = 8 if wide else 4
    blob = bytearray()

    def put(data):
        at = len(blob)
        blob.extend(data)
        return section_rva + at

    def align():
        blob.extend(b'\0' * (-len(blob) % 8))

    def names_table(functions):
        rvas = []
        for function in functions:
            align()
            rvas.append(put(b'\0\0' + function.encode() + b'\0'))
        align()
        return put(b''.join(struct.pack('<Q' if wide else '<I', r) for r in rvas) + b'\0' * step)

    # Descriptors first, at known places, filled in once the names exist.
    load_at = put(b'\0' * 20 * (len(imports) + 1))
    delay_at = put(b'\0' * 32 * (len(delay) + 1)) if delay else 0
    for i, (dll, functions) in enumerate(imports):
        align()
        name = put(dll.encode() + b'\0')
        table = names_table(functions)
        thunks = names_table(functions)
        struct.pack_into('<IIIII', blob, load_at - section_rva + 20 * i, table, 0, 0, name, thunks)
    for i, (dll, functions) in enumerate(delay):
        align()
        name = put(dll.encode() + b'\0')
        table = names_table(functions)
        struct.pack_into('<IIIIIIII', blob, delay_at - section_rva + 32 * i, 1, name, 0, table, table,
                         0, 0, 0)
    blob.extend(b'\0' * (-len(blob) % file_align))

    optional_size = 240 if wide else 224
    header = bytearray(0x40)
    header[0:2] = b'MZ'
    struct.pack_into('<I', header, 0x3C, 0x40)
    header += b'PE\0\0' + struct.pack('<HHIIIHH', 0x8664 if wide else 0x14C, 1, 0, 0, 0,
                                      optional_size, 0x0102)
    optional = bytearray(optional_size)
    struct.pack_into('<H', optional, 0, 0x20B if wide else 0x10B)
    if wide:
        struct.pack_into('<Q', optional, 24, 0x140000000)
    else:
        struct.pack_into('<I', optional, 28, 0x400000)
    struct.pack_into('<II', optional, 32, section_rva, file_align)
    struct.pack_into('<II', optional, 56, section_rva + len(blob), file_align)
    dirs = 112 if wide else 96
    struct.pack_into('<I', optional, dirs - 4, 16)
    struct.pack_into('<II', optional, dirs + 8 * 1, load_at, 20 * (len(imports) + 1))
    if delay:
        struct.pack_into('<II', optional, dirs + 8 * 13, delay_at, 32 * (len(delay) + 1))
    section = bytearray(40)
    section[0:6] = b'.idata'
    struct.pack_into('<IIII', section, 8, len(blob), section_rva, len(blob), file_align)
    image = header + optional + section
    image += b'\0' * (file_align - len(image))
    return bytes(image + blob)


def run(image):
    with tempfile.NamedTemporaryFile(suffix='.exe', delete=False) as f:
        f.write(image)
        path = f.name
    try:
        done = subprocess.run([sys.executable, TOOL, path], capture_output=True, text=True)
        return done.returncode, done.stdout + done.stderr
    finally:
        os.unlink(path)


BASE = [('KERNEL32.dll', ['GetTickCount', 'CreateFileW', 'GetProcAddress']),
        ('USER32.dll', ['CreateWindowExW']), ('msvcrt.dll', ['malloc', 'free'])]

CASES = [
    ('a program of XP-era imports passes', dict(imports=BASE), 0, 'all system-only'),
    ('a Vista-only function fails', dict(imports=BASE[:1] + [('KERNEL32.dll', ['GetTickCount64'])]),
     1, 'load-time import KERNEL32.dll!GetTickCount64 is not exported'),
    ('a DLL Windows may take from the program\'s folder fails',
     dict(imports=BASE + [('VERSION.dll', ['GetFileVersionInfoW'])]), 1,
     'load-time import of VERSION.dll, which Windows may take from the program\'s own folder'),
    ('a later function through the delay-load table fails',
     dict(imports=BASE, delay=[('ADVAPI32.dll', ['RegDeleteTreeW'])]), 1,
     'delay-load import ADVAPI32.dll!RegDeleteTreeW is not exported'),
]

failures = 0
for wide in (False, True):
    for name, pe, want_rc, want_text in CASES:
        rc, out = run(make_pe(wide=wide, **pe))
        label = '%s (%s)' % (name, 'PE32+' if wide else 'PE32')
        if rc == want_rc and want_text in out:
            print('ok   ' + label)
        else:
            print('FAIL %s: exit %d, said: %s' % (label, rc, out.strip()))
            failures += 1
rc, out = run(b'MZ not a program')
if rc == 2:
    print('ok   a file that is no PE image is an error, not a pass')
else:
    print('FAIL a file that is no PE image: exit %d, said: %s' % (rc, out.strip()))
    failures += 1
print('check_imports: all passed' if failures == 0 else 'check_imports: %d failed' % failures)
sys.exit(1 if failures else 0)
