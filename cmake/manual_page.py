#!/usr/bin/env python3
"""Makes a program's manual pages (English and Japanese) and its bash
completion from one page source (docs/manual/<Name>.page).

A page source is roff (man macros) in blocks, led by directive lines that
begin with "@" (see docs/manual/README.md):

  @page NAME                the program, also the command completed
  @date YYYY-MM-DD
  @files FIRST [LATER]      completion of file arguments: an extension
                            (wav, ape), "new" (a name to create: folders)
                            or "none" (the program takes no file)
  @summary                  the NAME line's description, then @en and @ja
  @section TITLE | 見出し    a section, then @en and @ja blocks of roff
  @option NAME... [= en ja] an option of the program's table (as the
                            table holds it, in upper case; the first name is
                            shown capitalised unless written in mixed case,
                            the others as written), with the word for its
                            value; then @en and @ja blocks
  @values WORD...           what the completion offers after "NAME="
  @include PART             the lines of docs/manual/PART.part, here
  @en / @ja                 the block that follows is in that language

"%PROGRAM%" anywhere stands for the page's program. Lines before the first
directive are comments.

With --exact-options the program takes its option names only exactly as
written (such as "--close"), not in any case, and the completion matches
them so.
"""

import argparse
import os
import re
import sys

LANGUAGES = ("en", "ja")
MANUAL_TITLE = {"en": "User Commands", "ja": "ユーザーコマンド"}
NAME_TITLE = {"en": "NAME", "ja": "名前"}
SOURCE = "VELMOR APE suite"


class PageError(Exception):
    pass


class Option:
    def __init__(self, names, value_words):
        self.names = names              # as written; names[0] the long one
        self.value_words = value_words  # {"en": "level", "ja": "レベル"} or None
        self.values = []                # completion values
        self.text = {}                  # language -> roff lines

    def shown(self, index):
        name = self.names[index]
        # "-AddOns" or "--close" are shown as written; "-LEVEL" as "-Level".
        return capitalize(name) if index == 0 and name == name.upper() else name


class Page:
    def __init__(self):
        self.program = None
        self.date = None
        self.files = ("", "")
        self.summary = {}
        self.sections = []  # (titles by language, [items]); an item is
                            # ("text", {lang: lines}) or ("option", Option)

    def options(self):
        for _, items in self.sections:
            for kind, item in items:
                if kind == "option":
                    yield item


def capitalize(name):
    """As the programs show option names: "-LEVEL" reads "-Level"."""
    keep = 2 if name.startswith("-") else 1
    return name[:keep] + name[keep:].lower()


def read_lines(path, parts_dir, program, depth=0):
    if depth > 4:
        raise PageError(f"{path}: includes nest too deep")
    with open(path, encoding="utf-8") as f:
        raw = f.read().split("\n")
    if raw and raw[-1] == "":
        raw.pop()
    lines = []
    started = False
    for number, line in enumerate(raw, 1):
        if not started:
            if not line.startswith("@"):
                continue
            started = True
        if line.startswith("@include "):
            part = line.split(None, 1)[1].strip()
            lines += read_lines(os.path.join(parts_dir, part + ".part"), parts_dir, program, depth + 1)
            continue
        if program:
            line = line.replace("%PROGRAM%", program)
        lines.append((f"{path}:{number}", line))
    return lines


def parse(path, parts_dir):
    # The program's name is needed to fill the parts in.
    program = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("@page "):
                program = line.split(None, 1)[1].strip()
                break
    if not program:
        raise PageError(f"{path}: no @page line")
    page = Page()
    page.program = program
    target = None  # the dict that an @en/@ja block fills
    block = None   # the list the current block appends to
    option = None
    in_section_text = False
    for where, line in read_lines(path, parts_dir, program):
        if not line.startswith("@"):
            if block is None:
                if line.strip():
                    raise PageError(f"{where}: text outside an @en or @ja block")
                continue
            block.append(line)
            continue
        words = line[1:].split()
        directive, args = words[0], words[1:]
        block = None
        if directive in LANGUAGES:
            if target is None:
                raise PageError(f"{where}: @{directive} outside @summary, @section or @option")
            if directive in target and in_section_text:
                # More text for the section, after an option or from a part.
                target = {}
                page.sections[-1][1].append(("text", target))
            elif directive in target:
                raise PageError(f"{where}: a second @{directive} block here")
            block = target[directive] = []
            continue
        target = None
        in_section_text = False
        if directive == "page":
            pass
        elif directive == "date":
            page.date = args[0] if args else None
        elif directive == "files":
            if not 1 <= len(args) <= 2:
                raise PageError(f"{where}: @files FIRST [LATER]")
            page.files = (args[0], args[-1])
        elif directive == "summary":
            target = page.summary
        elif directive == "section":
            titles = [t.strip().strip('"') for t in line[len("@section"):].split("|")]
            if len(titles) != len(LANGUAGES) or not all(titles):
                raise PageError(f"{where}: @section English title | Japanese title")
            text = {}
            page.sections.append((dict(zip(LANGUAGES, titles)), [("text", text)]))
            target = text
            in_section_text = True
        elif directive == "option":
            if not page.sections:
                raise PageError(f"{where}: @option before any @section")
            names, value_words = args, None
            if "=" in args:
                at = args.index("=")
                names, words_ = args[:at], args[at + 1:]
                if len(words_) != len(LANGUAGES):
                    raise PageError(f"{where}: @option NAME... = english-word japanese-word")
                value_words = dict(zip(LANGUAGES, words_))
            if not names or not all(n.startswith("-") for n in names):
                raise PageError(f"{where}: @option needs names that begin with -")
            option = Option(names, value_words)
            page.sections[-1][1].append(("option", option))
            target = option.text
        elif directive == "values":
            if option is None or option.value_words is None:
                raise PageError(f"{where}: @values after an @option that takes a value")
            option.values = args
            target = option.text
        else:
            raise PageError(f"{where}: unknown directive @{directive}")
    check(page, path)
    return page


def check(page, path):
    if not page.date or not re.fullmatch(r"\d{4}-\d\d-\d\d", page.date):
        raise PageError(f"{path}: @date YYYY-MM-DD is missing")
    for language in LANGUAGES:
        if not page.summary.get(language):
            raise PageError(f"{path}: @summary lacks its @{language} line")
    for titles, items in page.sections:
        for kind, item in items:
            text = item.text if kind == "option" else item
            present = [language for language in LANGUAGES if language in text]
            if present and len(present) != len(LANGUAGES):
                what = " ".join(item.names) if kind == "option" else titles["en"]
                raise PageError(f"{path}: {what} is written in {present[0]} only")


def roff_escape(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


def render(page, language):
    out = [
        '.\\" -*- coding: UTF-8 -*-',
        f'.\\" Made from docs/manual/{page.program}.page; edit that file, not this one.',
        f'.TH {page.program} 1 {page.date} "{SOURCE}" "{MANUAL_TITLE[language]}"',
        # No hyphenation: option and file names must stay whole. Japanese
        # has no blanks to stretch, so it is not adjusted either.
        ".nh",
    ]
    if language == "ja":
        # groff breaks Japanese lines with its Japanese classes, whatever
        # the reader's locale.
        out += [".if \\n(.g .mso ja.tmac", ".ad l"]
    out += [f".SH {NAME_TITLE[language]}",
            f"{page.program} \\- " + " ".join(l.strip() for l in trim(page.summary[language]))]
    for titles, items in page.sections:
        out.append(f'.SH "{titles[language]}"')
        for kind, item in items:
            if kind == "text":
                out += trim(item.get(language, []))
                continue
            heads = []
            for index in range(len(item.names)):
                head = f"\\fB{roff_escape(item.shown(index))}\\fR"
                if item.value_words:
                    head += f"=\\fI{item.value_words[language]}\\fR"
                heads.append(head)
            out += [".TP", ", ".join(heads)]
            out += trim(item.text.get(language, []))
    return "\n".join(out) + "\n"


def trim(block):
    """A block without the blank lines around it: they are there for the
    reader of the source, and a blank line in roff is a paragraph break."""
    while block and not block[0].strip():
        block.pop(0)
    while block and not block[-1].strip():
        block.pop()
    return block


def completion(page, exact=False):
    """The bash completion of the program, for bash-completion; exact: the
    program takes option names only as written, not in any case."""
    function = "_velmor_" + re.sub(r"[^A-Za-z0-9_]", "_", page.program)
    options = []
    cases = []
    for option in page.options():
        if option.names[0].startswith("--") and not exact:
            continue
        options.append(shell_word(option.shown(0) + ("=" if option.value_words else "")))
        if option.values:
            pattern = "|".join(shell_word(n if exact else n.upper()) for n in option.names)
            values = " ".join(shell_word(v) for v in option.values)
            cases.append(f"        {pattern}) values=({values}) ;;")
    first, later = page.files
    if file_completion(first) == file_completion(later):
        files = f"    {file_completion(first)}"
    else:
        files = FILES.format(first=file_completion(first), later=file_completion(later))
    # Bash's case conversions of a word: none for exact names.
    upper, lower = ("", "") if exact else ("^^", ",,")
    return COMPLETION.format(program=page.program, function=function,
                             options=" ".join(options), cases="\n".join(cases) or "        *) ;;",
                             files=files, upper=upper, lower=lower,
                             case="exactly as written" if exact else "in any case")


def shell_word(text):
    return "'" + text.replace("'", "'\\''") + "'"


def file_completion(kind):
    # _filedir with an extension also offers folders; "new" only folders;
    # "none" nothing, for a program that takes no file.
    if kind == "none":
        return "COMPREPLY=()"
    if kind == "new":
        return "_filedir -d"
    if kind:
        return f"_filedir {kind}"
    return "_filedir"


COMPLETION = r"""# bash completion for {program}; made from docs/manual/{program}.page.
{function}()
{{
    local cur prev words cword
    # "=" and ":" separate an option from its value, not two words.
    _init_completion -n =: || return

    if [[ $cur == -*[=:]* ]]; then
        # The value of an option; bash replaces only what follows the
        # separator, so the replies are values alone.
        local name=${{cur%%[=:]*}} typed=${{cur#*[=:]}} values=() value
        case ${{name{upper}}} in
{cases}
        esac
        COMPREPLY=()
        for value in "${{values[@]}}"; do
            [[ ${{value{lower}}} == "${{typed{lower}}}"* ]] && COMPREPLY+=("$value")
        done
        return
    fi
    if [[ $cur == -* ]]; then
        # Option names match {case}.
        local option
        COMPREPLY=()
        for option in {options}; do
            [[ ${{option{lower}}} == "${{cur{lower}}}"* ]] && COMPREPLY+=("$option")
        done
        # A value follows an option that ends with "=".
        [[ ${{#COMPREPLY[@]}} -eq 1 && $COMPREPLY == *= ]] && compopt -o nospace
        return
    fi
{files}
}} &&
    complete -F {function} {program}
"""

FILES = r"""    # The first file named, or a later one; a lone "-" names a standard
    # stream, which counts as a file.
    local i files=0
    for ((i = 1; i < cword; i++)); do
        [[ ${{words[i]}} == -?* ]] || files=$((files + 1))
    done
    if ((files == 0)); then
        {first}
    else
        {later}
    fi"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source")
    parser.add_argument("--parts", required=True, help="the folder of the .part files")
    parser.add_argument("--en", help="write the English page here")
    parser.add_argument("--ja", help="write the Japanese page here")
    parser.add_argument("--completion", help="write the bash completion here")
    parser.add_argument("--exact-options", action="store_true",
                        help="the program takes option names only exactly as written")
    parser.add_argument("--list-options", action="store_true",
                        help="print the option names the page describes, one a line")
    args = parser.parse_args()
    try:
        page = parse(args.source, args.parts)
    except (PageError, OSError) as e:
        print(f"manual_page: {e}", file=sys.stderr)
        return 1
    outputs = {args.en: lambda: render(page, "en"), args.ja: lambda: render(page, "ja"),
               args.completion: lambda: completion(page, args.exact_options)}
    for path, make in outputs.items():
        if path:
            os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(make())
    if args.list_options:
        for option in page.options():
            print("\n".join(option.names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
