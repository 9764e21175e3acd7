#!/usr/bin/env python3
"""Lists the resource table of a PE file and checks what the installer must carry.

usage: check_resources.py FILE.exe [--list]
Exit 0 when FILE 500-505 and 512 and at least one PNG image are present.
"""
import struct
import sys


def read_resources(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('not a PE file')
    nsec = struct.unpack_from('<H', data, pe + 6)[0]
    optsize = struct.unpack_from('<H', data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from('<H', data, opt)[0]
    dd = opt + (96 if magic == 0x10B else 112)
    rva, size = struct.unpack_from('<II', data, dd + 2 * 8)
    if rva == 0:
        return {}
    sec = opt + optsize
    for i in range(nsec):
        s = sec + 40 * i
        vsize, vaddr, rawsize, rawptr = struct.unpack_from('<IIII', data, s + 8)
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            base = rawptr + (rva - vaddr)
            break
    else:
        raise ValueError('resource section not found')

    def name_of(entry_name):
        if entry_name & 0x80000000:
            off = base + (entry_name & 0x7FFFFFFF)
            n = struct.unpack_from('<H', data, off)[0]
            return data[off + 2:off + 2 + 2 * n].decode('utf-16-le')
        return entry_name

    def entries(off):
        named, ids = struct.unpack_from('<HH', data, base + off + 12)
        for k in range(named + ids):
            n, target = struct.unpack_from('<II', data, base + off + 16 + 8 * k)
            yield name_of(n), target

    table = {}
    for tname, tdir in entries(0):
        for rname, rdir in entries(tdir & 0x7FFFFFFF):
            for _lang, leaf in entries(rdir & 0x7FFFFFFF):
                drva, dsize = struct.unpack_from('<II', data, base + leaf)
                table.setdefault(tname, {})[rname] = dsize
    return table


def main():
    data = open(sys.argv[1], 'rb').read()
    table = read_resources(data)
    if '--list' in sys.argv:
        for t, items in table.items():
            for r, size in sorted(items.items(), key=lambda kv: str(kv[0])):
                print(f'{t}\t{r}\t{size}')
    files = table.get('FILE', {})
    missing = [i for i in (500, 501, 502, 503, 504, 505, 512) if i not in files]
    empty = [i for i in files if files[i] == 0]
    pngs = table.get('PNG', {})
    if missing or empty or not pngs:
        print(f'missing FILE {missing}, empty {empty}, PNG images {len(pngs)}', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
