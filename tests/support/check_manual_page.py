#!/usr/bin/python3
"""Checks a program's manual pages as made by cmake/manual_page.py.

Each page must render with groff, every warning enabled, without a single
warning (the English one for a plain ASCII terminal too, as man shows it
without a UTF-8 locale); and, given --options-from, each option name of the program's
option table must appear in every page, and the page source may describe
no option the table lacks. The option table is read from the sources: its
names are the upper-case "-NAME" string literals, matched in any case, or
with --exact-options the lower-case "--name" and "-n" ones, matched
exactly. See
cmake/SuiteManual.cmake (suite_manual_page) for how it is called.
"""
import argparse
import os
import re
import subprocess
import sys

SOURCE_SUFFIXES = ('.cpp', '.h', '.hpp', '.cc')
OPTION_LITERAL = re.compile(r'"(--?[A-Z?][A-Z0-9?-]*)"')
EXACT_OPTION_LITERAL = re.compile(r'"(--?[a-z][a-z0-9-]*)"')
COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/', re.S)
# groff's UTF-8 output may turn option dashes into these.
DASHES = str.maketrans({'\u2010': '-', '\u2011': '-', '\u2212': '-'})


def source_files(top, paths):
    for path in paths:
        full = os.path.join(top, path)
        if os.path.isfile(full):
            yield full
            continue
        for folder, _, names in os.walk(full):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.join(folder, name)


def table_options(top, paths, literal):
    names = set()
    for path in source_files(top, paths):
        with open(path, encoding='utf-8') as f:
            names.update(literal.findall(COMMENT.sub('', f.read())))
    return names


def groff(page, *extra, device='utf8'):
    # -k: the pages are UTF-8; LC_ALL=C so that nothing depends on the
    # locale of the machine.
    return subprocess.run(['groff', '-k', '-man', '-T' + device, *extra, page], capture_output=True,
                          env=dict(os.environ, LC_ALL='C'))


def appears(option, text, flags):
    return re.search(r'(?<![\w-])' + re.escape(option) + r'(?![\w?-])', text, flags) is not None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--source', required=True)
    parser.add_argument('--parts', required=True)
    parser.add_argument('--tool', required=True)
    parser.add_argument('--top', required=True)
    parser.add_argument('--en', required=True, help='the English page')
    parser.add_argument('--ja', required=True, help='the Japanese page')
    parser.add_argument('--options-from', nargs='*', default=[])
    parser.add_argument('--exact-options', action='store_true',
                        help='the program takes option names only exactly as written')
    args = parser.parse_args()
    problems = []

    texts = {}
    for page, devices in ((args.en, ('utf8', 'ascii')), (args.ja, ('utf8',))):
        for device in devices:
            lint = groff(page, '-ww', '-z', device=device)
            if lint.returncode != 0 or lint.stderr:
                problems.append(f'{page}: groff -ww -T{device}:\n{lint.stderr.decode(errors="replace")}')
        shown = groff(page, '-P-cbou')
        texts[page] = shown.stdout.decode(errors='replace').translate(DASHES)

    if args.options_from:
        exact = args.exact_options
        table = table_options(args.top, args.options_from, EXACT_OPTION_LITERAL if exact else OPTION_LITERAL)
        if not table:
            problems.append(f'no option names found in {" ".join(args.options_from)}')
        for page, text in texts.items():
            for option in sorted(table):
                if not appears(option, text, 0 if exact else re.I):
                    problems.append(f'{page}: the option {option} of the program is not described')
        listed = subprocess.run([sys.executable, args.tool, args.source, '--parts', args.parts,
                                 '--list-options'], capture_output=True, text=True)
        if listed.returncode != 0:
            problems.append(listed.stderr)
        described = {name if exact else name.upper() for name in listed.stdout.split()}
        for option in sorted(described - table):
            problems.append(f'{args.source}: describes {option}, which the program does not have')

    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
