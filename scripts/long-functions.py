#!/usr/bin/env python3
"""Lists the C++ functions longer than a limit.

    python3 scripts/long-functions.py [--limit N] [--all] [PATH ...]

Without paths it reads the program's own sources: every .cpp, .cc, .h and .hpp file
below the project's top folder except tests/, bench/, build folders and hidden ones.
A function counts from the line that names it to the line of its closing brace;
lambdas and local classes inside it are part of it. A lambda held in a variable at
namespace or class scope counts as a function of that name.

The reading is brace matching on the text with comments, string and character
literals (raw strings too) and preprocessor lines blanked out: enough for this
code, not a C++ parser. Prints one line per function over the limit,
"path:line: name (N lines)", longest first, and ends with status 1 when there is
any, so that a check can run it.
"""

import argparse
import bisect
import os
import re
import sys

SOURCE_ENDINGS = (".cpp", ".cc", ".h", ".hpp")
SKIPPED_FOLDERS = {"tests", "bench"}
SCOPE_KEYWORDS = {"namespace", "class", "struct", "union", "extern"}
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z_0-9]*")


def blank_out(text):
    """The text with comments, literals and preprocessor lines turned to spaces.

    Line breaks stay where they are, so line numbers keep their meaning."""
    out = list(text)
    i, n = 0, len(text)
    at_line_start = True

    def blank(start, end):
        for k in range(start, end):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if c in " \t\r":
            i += 1
            continue
        if at_line_start and c == "#":
            end = i
            while end < n and text[end] != "\n":
                end = end + 2 if text.startswith("\\\n", end) else end + 1
            blank(i, end)
            i = end
            continue
        at_line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c == '"' and i > 0 and text[i - 1] == "R" and not _continues_name(text, i - 1):
            close = text.find("(", i)
            delimiter = text[i + 1:close]
            end = text.find(")" + delimiter + '"', close)
            end = n if end < 0 else end + len(delimiter) + 2
            blank(i, end)
            i = end
        elif c == '"' or (c == "'" and not _is_digit_separator(text, i)):
            end = i + 1
            while end < n and text[end] != c and text[end] != "\n":
                end += 2 if text[end] == "\\" else 1
            blank(i, end + 1)
            i = end + 1
        else:
            i += 1
    return "".join(out)


def _continues_name(text, i):
    """Whether the character at i is the end of a longer name (uR, LR, u8R are prefixes too)."""
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] == "_"):
        start -= 1
    return text[start:i] not in ("", "u8", "u", "U", "L")


def _is_digit_separator(text, i):
    """Whether the quote at i separates the digits of a number, as in 1'000'000."""
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] in "_.'"):
        start -= 1
    return start < i and text[start].isdigit()


class Function:
    def __init__(self, name, first_line, last_line):
        self.name = name
        self.first_line = first_line
        self.last_line = last_line

    @property
    def length(self):
        return self.last_line - self.first_line + 1


def find_functions(text):
    """The functions defined at namespace or class scope of a blanked-out source text."""
    functions = []
    line_starts = [0] + [m.end() for m in re.finditer("\n", text)]

    def line_of(offset):
        return bisect.bisect_right(line_starts, offset)

    def matching_brace(open_at):
        close = _matching_close(text, open_at, "{", "}")
        return len(text) - 1 if close < 0 else close

    def read_scope(start, end):
        """Reads declarations between start and end, one scope level."""
        header_start = start
        parens = 0
        i = start
        while i < end:
            c = text[i]
            if c in "([":
                parens += 1
            elif c in ")]":
                parens = max(0, parens - 1)
            elif c == ";" and parens == 0:
                header_start = i + 1
            elif c == "}":
                header_start = i + 1
            elif c == "{":
                close = matching_brace(i)
                header = text[header_start:i]
                kind = classify(header) if parens == 0 else "data"
                if kind == "init-list":
                    i = close + 1
                    continue
                if kind == "scope":
                    read_scope(i + 1, close)
                elif kind == "function":
                    name, name_at = function_name(header)
                    functions.append(Function(name, line_of(header_start + name_at), line_of(close)))
                i = close + 1
                if kind != "data" or parens == 0:
                    header_start = i
                continue
            i += 1

    read_scope(0, len(text))
    return functions


def _strip_access_labels(header):
    """The header without access labels, attributes and Qt's declaration macros
    (Q_ENUM(Kind), Q_DISABLE_COPY(Type)), which stand before a definition without a ';'."""
    header = re.sub(r"\b(public|protected|private|signals|Q_SIGNALS|slots|Q_SLOTS)\s*(slots\s*)?:(?!:)", _spaces, header)
    header = re.sub(r"__attribute__\s*\(\(.*?\)\)|\[\[.*?\]\]", _spaces, header, flags=re.S)
    return re.sub(r"\bQ_[A-Z_]+\s*\([^()]*\)", _spaces, header)


def _spaces(match):
    return re.sub(r"[^\n]", " ", match.group(0))


def _first_paren_group(header):
    """The offsets of the first top-level parenthesis group, or None."""
    open_at = header.find("(")
    if open_at < 0:
        return None
    close = _matching_close(header, open_at, "(", ")")
    return (open_at, close) if close >= 0 else None


def _matching_close(text, open_at, opening, closing):
    """The offset of the bracket that closes the one at open_at, or -1."""
    depth = 0
    for k in range(open_at, len(text)):
        if text[k] == opening:
            depth += 1
        elif text[k] == closing:
            depth -= 1
            if depth == 0:
                return k
    return -1


def _assignment_at(header):
    """The offset of an '=' outside parentheses and angle brackets that starts an initializer."""
    depth = 0
    for k, c in enumerate(header):
        if c in "(<[":
            depth += 1
        elif c in ")>]":
            depth = max(0, depth - 1)
        elif c == "=" and depth == 0:
            before = header[k - 1] if k > 0 else ""
            after = header[k + 1] if k + 1 < len(header) else ""
            if before not in "=!<>+-*/%&|^" and after != "=":
                return k
    return -1


def classify(header):
    """What the brace after this header opens: scope, function, init-list (a member's
    braced initialiser in a constructor's list) or data."""
    header = _strip_access_labels(header)
    words = IDENTIFIER.findall(header)
    if not header.strip():
        return "data"
    if words and words[0] == "template" and not _first_paren_group(header):
        words = words[1:]
    if any(w in SCOPE_KEYWORDS for w in words) and "(" not in header:
        return "scope"
    if "enum" in words:
        return "data"
    assignment = _assignment_at(header)
    if assignment >= 0:
        rest = header[assignment + 1:].lstrip()
        return "function" if rest.startswith("[") else "data"
    group = _first_paren_group(header)
    if group is None:
        return "data"
    after = header[group[1] + 1:]
    if re.search(r"(?<!:):(?!:)", after):
        # A constructor's initialiser list: its body brace follows a ')' or '}',
        # a member's braced initialiser follows the member's name.
        stripped = header.rstrip()
        if stripped and (stripped[-1].isalnum() or stripped[-1] in "_>"):
            return "init-list"
    return "function"


def function_name(header):
    """The name the header defines and its offset in the header."""
    clean = _strip_access_labels(header)
    assignment = _assignment_at(clean)
    if assignment >= 0 and clean[assignment + 1:].lstrip().startswith("["):
        names = list(IDENTIFIER.finditer(clean[:assignment]))
        if names:
            return names[-1].group(0), names[-1].start()
    group = _first_paren_group(clean)
    end = group[0] if group else len(clean)
    m = re.search(r"((?:[A-Za-z_][A-Za-z_0-9]*\s*(?:<[^()]*>)?\s*::\s*)*~?\s*(?:operator\s*[^\s(]+|operator\s*\(\s*\)|[A-Za-z_][A-Za-z_0-9]*))\s*$",
                  clean[:end])
    if m:
        name = m.group(1)
        return re.sub(r"\s+", "", name), m.start(1) + len(name) - len(name.lstrip())
    return clean[:end].strip() or "?", len(clean) - len(clean.lstrip())


def source_files(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
            continue
        for folder, subfolders, files in os.walk(path):
            subfolders[:] = sorted(d for d in subfolders if not d.startswith(".") and not d.startswith("build"))
            for name in sorted(files):
                if name.endswith(SOURCE_ENDINGS):
                    yield os.path.join(folder, name)


def program_folders(top):
    return [os.path.join(top, d) for d in sorted(os.listdir(top))
            if os.path.isdir(os.path.join(top, d)) and d not in SKIPPED_FOLDERS
            and not d.startswith(".") and not d.startswith("build")]


def main():
    parser = argparse.ArgumentParser(description="Lists C++ functions longer than a limit.")
    parser.add_argument("--limit", type=int, default=100, help="longest allowed function in lines (100)")
    parser.add_argument("--all", action="store_true", help="list every function with its length")
    parser.add_argument("paths", nargs="*", help="files or folders (the program's own folders when none)")
    args = parser.parse_args()

    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    paths = args.paths or program_folders(top)
    found = []
    for path in source_files(paths):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = blank_out(f.read())
        shown = os.path.relpath(path, top) if not args.paths else path
        for function in find_functions(text):
            if args.all or function.length > args.limit:
                found.append((shown, function))
    found.sort(key=lambda item: (-item[1].length, item[0], item[1].first_line))
    for shown, function in found:
        print(f"{shown}:{function.first_line}: {function.name} ({function.length} lines)")
    if args.all:
        return 0
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
