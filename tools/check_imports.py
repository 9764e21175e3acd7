#!/usr/bin/env python3
"""Checks the import tables of a PE file against the oldest Windows it must load on.

usage: check_imports.py FILE.exe [--list] [--exports FILE]

Two rules, both about what happens before the program's first instruction:
  1. The load-time import table names only DLLs that Windows always maps from
     the system folder (the "system-only" lines of the exports file). Any other
     name is looked for first in the program's own folder, a download folder
     that the user who started an elevated installer may have filled.
  2. Every function of the load-time and the delay-load import tables is
     exported by that DLL on the oldest Windows accepted (the "export" lines).
     A missing load-time import stops the loader before the program runs; a
     missing delay-loaded one ends the program when first called.
Exit 0 when both hold, 1 with one line per breach, 2 when FILE cannot be read.
"""
import os
import struct
import sys

DEFAULT_EXPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'xp_exports.txt')


class PeError(ValueError):
    pass


def _section_offset(sections, rva):
    for vaddr, vsize, rawptr, rawsize in sections:
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            return rawptr + (rva - vaddr)
    raise PeError('address 0x%x lies in no section' % rva)


def read_imports(data):
    """{'load': [(dll, [function, ...]), ...], 'delay': [...]} of a PE image.

    Functions imported by ordinal read as '#<n>'."""
    if len(data) < 0x40 or data[:2] != b'MZ':
        raise PeError('not a PE file (no MZ header)')
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise PeError('not a PE file (no PE signature)')
    nsec = struct.unpack_from('<H', data, pe + 6)[0]
    optsize = struct.unpack_from('<H', data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from('<H', data, opt)[0]
    if magic not in (0x10B, 0x20B):
        raise PeError('unknown optional header 0x%x' % magic)
    wide = magic == 0x20B
    image_base = struct.unpack_from('<Q' if wide else '<I', data, opt + (24 if wide else 28))[0]
    dirs = opt + (112 if wide else 96)
    ndirs = struct.unpack_from('<I', data, dirs - 4)[0]
    sections = []
    for i in range(nsec):
        s = opt + optsize + 40 * i
        vsize, vaddr, rawsize, rawptr = struct.unpack_from('<IIII', data, s + 8)
        sections.append((vaddr, vsize, rawptr, rawsize))

    def at(rva):
        return _section_offset(sections, rva)

    def cstring(rva):
        off = at(rva)
        end = data.index(b'\0', off)
        return data[off:end].decode('ascii', 'replace')

    def thunks(rva):
        names = []
        step, flag = (8, 1 << 63) if wide else (4, 1 << 31)
        off = at(rva)
        while True:
            value = struct.unpack_from('<Q' if wide else '<I', data, off)[0]
            if value == 0:
                return names
            names.append('#%d' % (value & 0xFFFF) if value & flag else cstring((value & 0x7FFFFFFF) + 2))
            off += step

    def directory(index):
        if index >= ndirs:
            return 0
        return struct.unpack_from('<I', data, dirs + 8 * index)[0]

    result = {'load': [], 'delay': []}
    rva = directory(1)
    if rva:
        off = at(rva)
        while True:
            original, _, _, name, first = struct.unpack_from('<IIIII', data, off)
            if name == 0 and first == 0:
                break
            result['load'].append((cstring(name), thunks(original or first)))
            off += 20
    rva = directory(13)
    if rva:
        off = at(rva)
        while True:
            attrs, name, _, _, names = struct.unpack_from('<IIIII', data, off)
            if name == 0:
                break
            # Descriptors of old linkers hold addresses, not offsets.
            bias = 0 if attrs & 1 else image_base
            result['delay'].append((cstring(name - bias), thunks(names - bias)))
            off += 32
    return result


def read_exports_file(path):
    """(system_only: set of DLL names, exports: {dll: set of functions})."""
    system_only, exports = set(), {}
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.split('#', 1)[0].strip()
            if not line:
                continue
            words = line.split()
            if words[0] == 'system-only' and len(words) == 2:
                system_only.add(words[1].lower())
            elif words[0] == 'export' and len(words) == 3:
                exports.setdefault(words[1].lower(), set()).add(words[2])
            else:
                raise ValueError('%s:%d: cannot read "%s"' % (path, number, line))
    return system_only, exports


def breaches(imports, system_only, exports):
    """One line per import that breaks a rule; empty when all hold."""
    found = []
    for dll, _ in imports['load']:
        if dll.lower() not in system_only:
            found.append('load-time import of %s, which Windows may take from the program\'s '
                         'own folder' % dll)
    for table in ('load', 'delay'):
        for dll, functions in imports[table]:
            known = exports.get(dll.lower(), set())
            for function in functions:
                if function not in known:
                    found.append('%s import %s!%s is not exported on the oldest Windows accepted'
                                 % ('load-time' if table == 'load' else 'delay-load', dll, function))
    return found


def main(argv):
    args = list(argv[1:])
    listing = '--list' in args
    if listing:
        args.remove('--list')
    exports_path = DEFAULT_EXPORTS
    if '--exports' in args:
        i = args.index('--exports')
        exports_path = args[i + 1]
        del args[i:i + 2]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        with open(args[0], 'rb') as f:
            imports = read_imports(f.read())
    except (OSError, PeError, struct.error) as e:
        print('check_imports: %s: %s' % (args[0], e), file=sys.stderr)
        return 2
    if listing:
        for table in ('load', 'delay'):
            for dll, functions in imports[table]:
                for function in functions:
                    print('%s %s %s' % (table, dll, function))
        return 0
    system_only, exports = read_exports_file(exports_path)
    found = breaches(imports, system_only, exports)
    for line in found:
        print('check_imports: %s: %s' % (args[0], line))
    if found:
        return 1
    count = sum(len(f) for t in imports.values() for _, f in t)
    print('check_imports: %s: %d imports from %d DLLs, all system-only and present on the oldest '
          'Windows accepted' % (args[0], count, len(imports['load']) + len(imports['delay'])))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
