#!/usr/bin/env python3
"""Prints where the installer's bytes go: figures only, never pass or fail.

usage: size_breakdown.py [--build] BUILD_DIR [BUILD_DIR...]

For each build folder: the size of LumBastionSetup.exe, of the product archive
it carries (FILE 501) and of the rest, the installer's own part; the file
space of each PE section; every resource by type and name; and, from the link
map the build writes (LumBastionSetup.map), the libraries and our own objects
that bring the most bytes into the image. With --build, each folder's
installer is brought up to date first (nothing is rebuilt when it is fresh).
"""
import collections
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tools'))
from check_resources import read_resources  # noqa: E402

MIB = 1024 * 1024
PAYLOAD = 501
TOP = 12


def pe_sections(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    nsec = struct.unpack_from('<H', data, pe + 6)[0]
    optsize = struct.unpack_from('<H', data, pe + 20)[0]
    first = pe + 24 + optsize
    for i in range(nsec):
        s = first + 40 * i
        name = data[s:s + 8].rstrip(b'\0').decode('ascii', 'replace')
        vsize, _vaddr, rawsize = struct.unpack_from('<III', data, s + 8)
        yield name, vsize, rawsize


# A map line that places an input section: " .text  0x00401000  0x1a4 lib.a(obj.o)";
# a long section name stands alone and its figures follow on the next line.
PLACED = re.compile(r'^ (\.\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$')
NAME_ONLY = re.compile(r'^ \.\S+$')


def map_contributions(path):
    """Bytes placed in the image per input file, from a GNU ld map."""
    by_file = collections.Counter()
    placing = False
    with open(path, errors='replace') as f:
        for line in f:
            if line.startswith('Linker script and memory map'):
                placing = True
                continue
            if not placing or NAME_ONLY.match(line.rstrip('\n')):
                continue
            m = PLACED.match(line.rstrip('\n'))
            if not m or m.group(3).startswith(('*', '0x')):
                continue
            size = int(m.group(2), 16)
            if size:
                by_file[m.group(3).strip()] += size
    return by_file


def library_of(entry):
    """'/x/libfoo.a(bar.o)' -> 'libfoo.a'; our own objects keep their folder."""
    m = re.match(r'^(.*?)\((.*)\)$', entry)
    if m:
        return os.path.basename(m.group(1))
    if entry == 'dll stuff':
        return 'linker: relocations'
    return 'object: ' + os.path.basename(entry)


def kib(n):
    return f'{n / 1024:9.1f} KiB'


def report(build):
    exe = os.path.join(build, 'LumBastionSetup.exe')
    if not os.path.isfile(exe):
        print(f'{build}: no LumBastionSetup.exe')
        return
    data = open(exe, 'rb').read()
    resources = read_resources(data)
    payload = resources.get('FILE', {}).get(PAYLOAD, 0)
    own = len(data) - payload
    print(f'== {exe}')
    print(f'  exe {len(data):>10} bytes   payload (FILE {PAYLOAD}) {payload:>10}   '
          f'own part {own:>10} ({own / MIB:.2f} MiB)')
    print('  sections (bytes in the file):')
    for name, vsize, rawsize in pe_sections(data):
        print(f'    {name:<9}{rawsize:>10}{kib(rawsize)}')
    print('  resources:')
    for rtype, items in sorted(resources.items(), key=lambda kv: str(kv[0])):
        total = sum(items.values())
        print(f'    {str(rtype):<9}{total:>10}{kib(total)}  ({len(items)} items)')
        if len(items) <= 12:
            for rname, size in sorted(items.items(), key=lambda kv: -kv[1]):
                print(f'      {str(rname):<12}{size:>9}')
    link_map = os.path.join(build, 'LumBastionSetup.map')
    if not os.path.isfile(link_map):
        print('  no link map (LumBastionSetup.map) in this build')
        return
    files = map_contributions(link_map)
    libs = collections.Counter()
    for entry, size in files.items():
        libs[library_of(entry)] += size
    print(f'  linked in, by library (of {sum(files.values())} bytes placed):')
    for lib, size in libs.most_common(TOP):
        print(f'    {lib:<44}{size:>10}{kib(size)}')
    print('  largest input files:')
    for entry, size in files.most_common(TOP):
        short = re.sub(r'^.*/', '', entry)
        print(f'    {short[:60]:<62}{size:>9}{kib(size)}')


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    args = sys.argv[1:]
    build_first = '--build' in args
    builds = list(dict.fromkeys(a for a in args if a != '--build'))
    for build in builds:
        if build_first and os.path.isfile(os.path.join(build, 'build.ninja')):
            subprocess.run(['cmake', '--build', build, '--target', 'LumBastionSetup'],
                           stdout=subprocess.DEVNULL, check=True)
        report(build)
    return 0


if __name__ == '__main__':
    sys.exit(main())
