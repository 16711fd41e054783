#!/usr/bin/env python3
"""Turns a program's --help page into a manual page (roff, section 1).

The help pages of the Morvik tools are laid out like a manual already: a section title in
capitals at the start of a line, its text indented by four blanks. Each section becomes .SH;
its text keeps its lines (no filling), so tables and examples stay as the help shows them.
NAME becomes the "name \\- summary" line that whatis and apropos read.

    help-to-man.py NAME VERSION < help.txt > NAME.1
"""
import re
import sys

SECTION_TITLE = re.compile(r"^[A-Z][A-Z0-9 ]*$")


def escape(line):
    line = line.replace("\\", "\\e").replace("-", "\\-")
    # A line that starts with a dot or an apostrophe would be read as a request.
    if line.startswith((".", "'")):
        line = "\\&" + line
    return line


def sections(text):
    title, body = None, []
    for line in text.splitlines():
        if SECTION_TITLE.match(line):
            if title is not None:
                yield title, body
            title, body = line, []
        elif title is not None:
            body.append(line[4:] if line.startswith("    ") else line.lstrip())
    if title is not None:
        yield title, body


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: help-to-man.py NAME VERSION < help.txt > NAME.1")
    name, version = sys.argv[1], sys.argv[2]
    found = list(sections(sys.stdin.read()))
    if not found or found[0][0] != "NAME":
        sys.exit("help-to-man.py: the help text does not start with a NAME section")
    out = [f'.TH {name.upper()} 1 "" "{name} {version}" "Morvik"']
    for title, body in found:
        while body and not body[-1].strip():
            body.pop()
        out.append(f".SH {title}")
        if title == "NAME":
            summary = " ".join(line.strip() for line in body if line.strip())
            program, _, what = summary.partition(" - ")
            out.append(f"{escape(program)} \\- {escape(what)}")
            continue
        out.append(".nf")
        out.extend(escape(line) if line.strip() else "" for line in body)
        out.append(".fi")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
