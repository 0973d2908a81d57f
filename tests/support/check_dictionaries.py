#!/usr/bin/python3
"""Checks dictionaries against the keys the sources use.

Fails when a key used by the sources is missing from a language, when the
languages hold different keys, when a line is malformed, or when a text
does not use exactly the placeholders its key names. See
cmake/SuiteTesting.cmake (suite_dictionary_check) for how it is called.
"""
import argparse
import os
import re
import sys

PLACEHOLDER = re.compile(r'%[A-Za-z0-9_]+%')
ENCLOSED_KEY = re.compile(r'^@[A-Za-z0-9_]+( %[A-Za-z0-9_]+%)*@$')
SOURCE_SUFFIXES = ('.cpp', '.h', '.hpp', '.cc')
ESCAPES = {'t': '\t', 'n': '\n', '\\': '\\'}
C_ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', '0': '\0', '\\': '\\', '"': '"', "'": "'",
             'a': '\a', 'b': '\b', 'f': '\f', 'v': '\v', '?': '?'}


def unescape(field):
    out = []
    i = 0
    while i < len(field):
        c = field[i]
        if c != '\\':
            out.append(c)
            i += 1
            continue
        if i + 1 >= len(field) or field[i + 1] not in ESCAPES:
            return None
        out.append(ESCAPES[field[i + 1]])
        i += 2
    return ''.join(out)


def read_dictionary(path, problems):
    """The entries of one dictionary file; malformed lines are problems."""
    entries = {}
    try:
        data = open(path, 'rb').read()
    except OSError as e:
        problems.append(f'{path}: cannot read ({e.strerror})')
        return entries
    try:
        text = data.decode('utf-8')
    except UnicodeDecodeError as e:
        problems.append(f'{path}: not UTF-8 ({e})')
        return entries
    if text.startswith('\ufeff'):
        text = text[1:]
    for number, line in enumerate(text.split('\n'), 1):
        line = line.rstrip('\r')
        if not line or line.startswith('#'):
            continue
        key, tab, value = line.partition('\t')
        key, value = unescape(key), unescape(value)
        if not tab or not key or value is None or '\0' in line:
            problems.append(f'{path}:{number}: malformed line: {line!r}')
            continue
        if key in entries:
            problems.append(f'{path}:{number}: key given twice: {key!r}')
        entries[key] = value
    return entries


def c_literals(code):
    """Removes comments; returns (code with literals replaced by @LIT<n>@, literals)."""
    out = []
    literals = []
    i = 0
    n = len(code)
    while i < n:
        c = code[i]
        if code.startswith('//', i):
            j = code.find('\n', i)
            i = n if j < 0 else j
        elif code.startswith('/*', i):
            j = code.find('*/', i + 2)
            i = n if j < 0 else j + 2
            out.append(' ')
        elif c == "'":
            j = i + 1
            while j < n and code[j] != "'":
                j += 2 if code[j] == '\\' else 1
            out.append("' '")
            i = j + 1
        elif c == '"' or (c == 'R' and code.startswith('R"', i)):
            if c == 'R':
                m = re.match(r'R"([^(\s]*)\(', code[i:])
                end = code.find(')' + m.group(1) + '"', i) if m else -1
                if not m or end < 0:
                    out.append(c)
                    i += 1
                    continue
                value = code[i + len(m.group(0)):end]
                i = end + len(m.group(1)) + 2
            else:
                j = i + 1
                chars = []
                while j < n and code[j] != '"':
                    if code[j] == '\\' and j + 1 < n:
                        e = code[j + 1]
                        if e == 'x':
                            m = re.match(r'[0-9A-Fa-f]+', code[j + 2:])
                            hexdigits = m.group(0) if m else '0'
                            chars.append(chr(int(hexdigits, 16)))
                            j += 2 + len(hexdigits)
                            continue
                        chars.append(C_ESCAPES.get(e, e))
                        j += 2
                    else:
                        chars.append(code[j])
                        j += 1
                value = ''.join(chars)
                i = j + 1
            literals.append(value)
            out.append(f'@LIT{len(literals) - 1}@')
        else:
            out.append(c)
            i += 1
    return ''.join(out), literals


def merge_adjacent(code, literals):
    """Joins "a" "b" into one literal, as the compiler does."""
    pattern = re.compile(r'@LIT(\d+)@(\s*@LIT(\d+)@)+')
    def join(m):
        ids = [int(x) for x in re.findall(r'@LIT(\d+)@', m.group(0))]
        literals[ids[0]] = ''.join(literals[k] for k in ids)
        return f'@LIT{ids[0]}@'
    return pattern.sub(join, code)


def source_files(top, paths):
    for path in paths:
        full = os.path.join(top, path)
        if os.path.isfile(full):
            yield full
        elif os.path.isdir(full):
            for folder, _, files in sorted(os.walk(full)):
                for name in sorted(files):
                    if name.endswith(SOURCE_SUFFIXES):
                        yield os.path.join(folder, name)
        else:
            yield full


def used_keys(top, paths, functions, problems):
    keys = {}
    call = re.compile(r'\b(?:' + '|'.join(map(re.escape, functions)) + r')\s*\(\s*@LIT(\d+)@')
    for path in source_files(top, paths):
        try:
            code = open(path, encoding='utf-8').read()
        except OSError as e:
            problems.append(f'{path}: cannot read ({e.strerror})')
            continue
        code, literals = c_literals(code)
        code = merge_adjacent(code, literals)
        for m in call.finditer(code):
            keys.setdefault(literals[int(m.group(1))], os.path.relpath(path, top))
        for m in re.finditer(r'@LIT(\d+)@', code):
            literal = literals[int(m.group(1))]
            if ENCLOSED_KEY.match(literal):
                keys.setdefault(literal, os.path.relpath(path, top))
    return keys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--top', required=True)
    parser.add_argument('--dictionary-dir', nargs='+', required=True)
    parser.add_argument('--languages', nargs='+', required=True)
    parser.add_argument('--dictionaries', nargs='+', required=True)
    parser.add_argument('--sources', nargs='*', default=[])
    parser.add_argument('--keys', nargs='*', default=[])
    parser.add_argument('--functions', nargs='*', default=[])
    args = parser.parse_args()

    problems = []
    functions = ['GetString', 'get_text'] + args.functions
    keys = used_keys(args.top, args.sources, functions, problems)
    for key in args.keys:
        keys.setdefault(key, 'KEYS')

    merged = {}
    for language in args.languages:
        merged[language] = {}
        for base in args.dictionaries:
            folders = [d for d in args.dictionary_dir
                       if os.path.exists(os.path.join(d, f'{base}.{args.languages[0]}'))]
            path = os.path.join(folders[0] if folders else args.dictionary_dir[-1], f'{base}.{language}')
            entries = read_dictionary(path, problems)
            for key, text in entries.items():
                named = set(PLACEHOLDER.findall(key))
                used = set(PLACEHOLDER.findall(text))
                if used != named:
                    problems.append(f'{path}: {key!r}: text uses {sorted(used)}, key names {sorted(named)}')
            merged[language].update(entries)

    for key, where in sorted(keys.items()):
        for language in args.languages:
            if key not in merged[language]:
                problems.append(f'{where}: key {key!r} missing from the {language} dictionaries '
                                f'({", ".join(args.dictionaries)})')
    first = args.languages[0]
    for language in args.languages[1:]:
        for key in sorted(set(merged[first]) ^ set(merged[language])):
            has = first if key in merged[first] else language
            problems.append(f'key {key!r} is in {has} only')

    for problem in problems:
        print(problem)
    print(f'{len(keys)} keys used, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
