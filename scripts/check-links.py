#!/usr/bin/env python3
"""Checks that every library and program links exactly what its sources include.

Usage: check-links.py [--list] BUILD_DIR|LINK_TABLE

CMake writes the link table (kestrova-links.txt in the build folder) when it configures:
each library's sources and the targets it links PUBLIC and PRIVATE, and the same for the
programs built of the product's folders (their links are PRIVATE; a program has no users).  This script reads
the #include lines of those sources and derives what each library needs:

  - a header of another library of the project: that library;
  - opencv2/<module>...: opencv_<module>; turbojpeg.h and xlsxwriter.h: their
    pkg-config targets; zlib.h: ZLIB::ZLIB; a Qt header: its module (Qt6::Widgets, ...); <thread>: Threads;
  - anything else (the C++ and C libraries) needs no link.

A need met from a header must be linked PUBLIC, one met only from .cpp/.c files PRIVATE.
The project's own libraries are linked directly, never reached through another library;
an imported target counts for the ones it brings with it (Qt6::Widgets brings Qt6::Gui).
Every link must meet some need.  Prints the differences and exits 1 when there are any.
"""
import os
import re
import sys
from collections import defaultdict

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = ('.h', '.hpp', '.c', '.cpp')
HEADER_SUFFIXES = ('.h', '.hpp')
EXTERNAL_HEADERS = {
    'turbojpeg.h': 'PkgConfig::TURBOJPEG',
    'xlsxwriter.h': 'PkgConfig::XLSXWRITER',
    'zlib.h': 'ZLIB::ZLIB',
    'thread': 'Threads::Threads',
}


class Library:
    def __init__(self, name, program=False):
        self.name = name
        self.program = program
        self.public = []
        self.private = []
        self.sources = []


def read_table(path):
    libraries, brings, qt_dir, root = {}, {}, None, None
    current, imported = None, None
    with open(path, encoding='utf-8') as table:
        for line in table:
            key, _, rest = line.rstrip('\n').partition(' ')
            words = rest.split()
            if key in ('library', 'program'):
                current = libraries.setdefault(rest, Library(rest, key == 'program'))
            elif key in ('public', 'private'):
                setattr(current, key, words)
            elif key == 'sources':
                current.sources = [w for w in words if w.endswith(SOURCE_SUFFIXES)]
            elif key == 'imported':
                imported = rest
            elif key == 'brings':
                brings[imported] = words
            elif key == 'qt_include_dir':
                qt_dir = rest
            elif key == 'source_dir':
                root = rest
    return libraries, brings, qt_dir, root


class Needs:
    """What the includes of one library ask for: target -> {'public': files, 'private': files}."""

    def __init__(self):
        self.by_target = defaultdict(lambda: {'public': set(), 'private': set()})
        self.strays = []

    def add(self, target, source, from_header):
        self.by_target[target]['public' if from_header else 'private'].add(source)


def qt_module(header, qt_dir, cache={}):
    if not qt_dir:
        return None
    if '/' in header:
        module = header.split('/', 1)[0]
        return 'Qt6::' + module[2:] if module.startswith('Qt') else None
    if header not in cache:
        cache[header] = None
        for module in sorted(os.listdir(qt_dir)):
            if os.path.isfile(os.path.join(qt_dir, module, header)):
                cache[header] = 'Qt6::' + module[2:]
                break
    return cache[header]


def derive_needs(lib, owner, root, qt_dir):
    needs = Needs()
    for source in lib.sources:
        rel = os.path.relpath(source, root)
        from_header = source.endswith(HEADER_SUFFIXES) and not lib.program
        with open(source, encoding='utf-8', errors='replace') as text:
            for line in text:
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = match.group(2)
                if header in owner:
                    if owner[header] != lib.name:
                        needs.add(owner[header], rel, from_header)
                elif os.path.isfile(os.path.join(root, header)):
                    needs.strays.append(f'{rel} includes {header}, which belongs to no library')
                elif header.startswith('opencv2/'):
                    module = re.match(r'opencv2/([a-z0-9]+)', header).group(1)
                    needs.add('opencv_' + module, rel, from_header)
                elif header in EXTERNAL_HEADERS:
                    needs.add(EXTERNAL_HEADERS[header], rel, from_header)
                elif header.startswith('Q'):
                    module = qt_module(header, qt_dir)
                    if module:
                        needs.add(module, rel, from_header)
    return needs


def closure(target, brings):
    seen, stack = set(), [target]
    while stack:
        t = stack.pop()
        if t not in seen:
            seen.add(t)
            stack.extend(brings.get(t, []))
    return seen


def members(target, libraries):
    """A library without sources stands for the libraries it links (dicom = its halves)."""
    lib = libraries.get(target)
    if lib is None or lib.sources:
        return {target}
    found = set()
    for t in lib.public:
        found |= members(t, libraries)
    return found


def check(lib, libraries, brings, needs):
    problems = []
    links = [(t, 'PUBLIC') for t in lib.public] + [(t, 'PRIVATE') for t in lib.private]
    used = defaultdict(lambda: {'public': False, 'private': False})
    for target, where in sorted(needs.by_target.items()):
        files = sorted(where['public'] or where['private'])
        scope = 'PUBLIC' if where['public'] else 'PRIVATE'
        meeting = []
        for link, link_scope in links:
            if target in members(link, libraries):
                meeting.append((link, link_scope))
            elif link not in libraries and target not in libraries and target in closure(link, brings):
                meeting.append((link, link_scope))
        if not meeting:
            problems.append(f'includes {target} ({files[0]}) but does not link it (link it {scope})')
            continue
        for link, link_scope in meeting:
            used[link]['public' if scope == 'PUBLIC' else 'private'] = True
        if scope == 'PUBLIC' and all(s != 'PUBLIC' for _, s in meeting):
            problems.append(f'links {meeting[0][0]} PRIVATE, but its header {files[0]} '
                            f'includes {target}: link it PUBLIC')
    for link, link_scope in links:
        if not used[link]['public'] and not used[link]['private']:
            problems.append(f'links {link} {link_scope} but includes nothing of it')
        elif link_scope == 'PUBLIC' and not used[link]['public']:
            problems.append(f'links {link} PUBLIC, but only its .cpp files include it: link it PRIVATE')
    return problems + needs.strays


def main(argv):
    listing = '--list' in argv
    args = [a for a in argv if a != '--list']
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    table = args[0]
    if os.path.isdir(table):
        table = os.path.join(table, 'kestrova-links.txt')
    libraries, brings, qt_dir, root = read_table(table)
    owner = {}
    for lib in libraries.values():
        for source in lib.sources:
            owner[os.path.relpath(source, root)] = lib.name
    failed = False
    for name in sorted(libraries):
        lib = libraries[name]
        if not lib.sources:
            continue
        needs = derive_needs(lib, owner, root, qt_dir)
        if listing:
            public = sorted(t for t, w in needs.by_target.items() if w['public'])
            private = sorted(t for t, w in needs.by_target.items() if not w['public'])
            print(f'{name}: PUBLIC {" ".join(public) or "-"}; PRIVATE {" ".join(private) or "-"}')
        for problem in check(lib, libraries, brings, needs):
            print(f'{name}: {problem}')
            failed = True
    if not failed:
        built = [l for l in libraries.values() if l.sources]
        print(f'links follow the includes ({sum(1 for l in built if not l.program)} libraries, '
              f'{sum(1 for l in built if l.program)} programs)')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
