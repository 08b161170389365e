#!/usr/bin/env python3
"""Writes the plain-text user guide of the release archive from README.md's sections for people
who use the component (those its Contents line "For people who use it" links), so that the
README and the guide are one text.

    user-guide.py README.md OUTPUT.txt
"""
import re
import sys
import textwrap

WIDTH = 78
INDENT = "    "


def user_section_titles(lines):
    for i, line in enumerate(lines):
        if line.startswith("- For people who use it:"):
            item = [line]
            for following in lines[i + 1:]:
                if not following.startswith("  "):
                    break
                item.append(following)
            return re.findall(r"\[([^\]]+)\]\(#", " ".join(item))
    sys.exit("README.md has no Contents line 'For people who use it'")


def sections(lines, titles):
    """The lines of each titled section, in the README's order."""
    found, current = {}, None
    for line in lines:
        if line.startswith("## "):
            current = line[3:].strip() if line[3:].strip() in titles else None
            if current:
                found[current] = []
        elif current:
            found[current].append(line)
    missing = [t for t in titles if t not in found]
    if missing:
        sys.exit(f"README.md lacks the sections {missing}")
    return [(title, found[title]) for title in titles]


def plain(text):
    """Markdown inline markup to plain text: images dropped, links to their text."""
    text = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", text)
    text = re.sub(r"\[([^\]]+)\]\(#[^)]*\)", r'"\1"', text)
    text = re.sub(r"\[([^\]]+)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\1", text)
    text = re.sub(r"\*([^*]+)\*", r"\1", text)
    return re.sub(r"`([^`]+)`", r"\1", text).strip()


def wrap(text, first="", rest=""):
    return textwrap.wrap(text, WIDTH, initial_indent=first, subsequent_indent=rest,
                         break_on_hyphens=False, break_long_words=False) or [first.rstrip()]


def table(rows):
    """Each row as a block: its first cell, then the others indented below it, each under its
    column's name when there are several."""
    cells = [[plain(c) for c in row.strip().strip("|").split("|")] for row in rows]
    header, body = cells[0], cells[2:]
    out = []
    for row in body:
        out += wrap(row[0])
        for name, cell in zip(header[1:], row[1:]):
            if len(header) == 2:
                out += wrap(cell, INDENT, INDENT)
            else:
                out += wrap(f"{name}: {cell}", INDENT, INDENT + "  ")
        out.append("")
    return out[:-1]


def blocks(lines):
    """Paragraphs, list items, tables and code blocks of a section, as plain-text lines."""
    out, paragraph, i = [], [], 0

    def flush():
        if paragraph:
            text = plain(" ".join(paragraph))
            if text.startswith("- "):
                out.extend(wrap(text[2:], "  - ", "    "))
            elif text:
                out.extend(wrap(text))
            if text:
                out.append("")
            paragraph.clear()

    while i < len(lines):
        line = lines[i]
        if line.startswith("```"):
            flush()
            i += 1
            while not lines[i].startswith("```"):
                out.append((INDENT + lines[i]).rstrip())
                i += 1
            out.append("")
        elif line.startswith("|"):
            flush()
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(lines[i])
                i += 1
            out += table(rows) + [""]
            continue
        elif not line.strip() or line.startswith("- "):
            flush()
            if line.strip():
                paragraph.append(line)
        else:
            paragraph.append(line.strip())
        i += 1
    flush()
    return out


def main():
    readme, output = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        lines = f.read().splitlines()
    title = lines[0].lstrip("# ").strip()
    text = [title, "=" * len(title), ""]
    # The README's first paragraph says what the component is.
    intro = lines[2:lines.index("", 2)]
    text += wrap(plain(" ".join(intro)))
    text.append("")
    for name, body in sections(lines, user_section_titles(lines)):
        text += [name, "-" * len(name), ""] + blocks(body)
    while text and not text[-1]:
        text.pop()
    # Windows' own text viewers expect CRLF line ends.
    with open(output, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(text) + "\n")


if __name__ == "__main__":
    main()
