#!/usr/bin/env python3
"""Checks the relative links of the documentation: README.md and docs/*.md.

Every link [text](target) or ![alt](target) outside code blocks and inline code whose
target is not a URL must name a file that exists, and its #anchor (if any) a heading of
that file (GitHub's rule: lower case, punctuation other than - and _ dropped, spaces to
-, a repeated heading gets -1, -2, ...) or an explicit <a id="..."> / <a name="...">.
Prints one line per broken link (file:line: target: what is missing) and exits 1 if any.

  python3 scripts/check-links.py              # the repository's documents
  python3 scripts/check-links.py FILE...      # the given files
  python3 scripts/check-links.py --self-test  # checks the checker on a fixture
"""
import os
import re
import sys
import tempfile

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
HEADING = re.compile(r"^ {0,3}#{1,6}[ \t]+(.*?)[ \t]*#*[ \t]*$")
EXPLICIT_ANCHOR = re.compile(r"""<a\s+(?:id|name)\s*=\s*["']([^"']+)["']""", re.I)
INLINE_CODE = re.compile(r"(`+)(?:(?!\1).)+?\1")
# [text](target "title") and ![alt](target); the target may be wrapped in <...>.
LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+[\"'][^)]*[\"'])?\s*\)")


def prose_lines(path):
    """(line number, text) of the lines outside fenced and indented code blocks."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    fence = None
    previous_blank = True
    in_indented = False
    for number, line in enumerate(lines, 1):
        if fence:
            if line.strip().startswith(fence) and set(line.strip()) == {fence[0]}:
                fence = None
            continue
        m = FENCE.match(line)
        if m:
            fence = m.group(1)
            continue
        blank = not line.strip()
        # An indented code block starts after a blank line (list items' own indented
        # paragraphs aside, which this documentation does not use for prose).
        if line.startswith(("    ", "\t")) and (previous_blank or in_indented):
            in_indented = True
            previous_blank = blank
            continue
        if not blank:
            in_indented = False
        previous_blank = blank
        yield number, line


def anchor_of(heading):
    text = INLINE_CODE.sub(lambda m: m.group(0).strip("`"), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link shows its text
    text = re.sub(r"<[^>]+>", "", text).lower()
    text = "".join(c for c in text if c.isalnum() or c in "-_ ")
    return text.replace(" ", "-")


_anchors = {}


def anchors(path):
    cache = _anchors
    if path not in cache:
        found, seen = set(), {}
        for _, line in prose_lines(path):
            found.update(EXPLICIT_ANCHOR.findall(line))
            m = HEADING.match(line)
            if not m:
                continue
            base = anchor_of(m.group(1))
            count = seen.get(base, 0)
            seen[base] = count + 1
            found.add(base if count == 0 else f"{base}-{count}")
        cache[path] = found
    return cache[path]


def check(path):
    faults = []
    for number, line in prose_lines(path):
        for m in LINK.finditer(INLINE_CODE.sub(lambda c: " " * len(c.group(0)), line)):
            target = m.group(1)
            if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                continue  # http:, https:, mailto: ... are not fetched
            file_part, _, anchor = target.partition("#")
            where = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
            if not os.path.exists(where):
                faults.append(f"{path}:{number}: {target}: no file {where}")
            elif anchor and where.endswith(".md") and anchor not in anchors(where):
                faults.append(f"{path}:{number}: {target}: no heading or anchor #{anchor} in {where}")
    return faults


def documents():
    names = ["README.md"] + sorted(
        os.path.join("docs", n) for n in os.listdir("docs") if n.endswith(".md"))
    return [n for n in names if os.path.exists(n)]


def self_test():
    fixture = """# Title
## Same
## Same
## Odd: `code`, and punctuation!
<a id="explicit"></a>

[ok](#same-1) [ok](#odd-code-and-punctuation) [ok](#explicit) [ok](other.md#there)
[missing file](nowhere.md)
[missing anchor](#same-2) [missing remote anchor](other.md#elsewhere)
`[in code](nowhere.md)` [web](https://example.org/x#y)

    [indented code](nowhere.md)

```
[fenced code](nowhere.md)
```
"""
    with tempfile.TemporaryDirectory() as d:
        page = os.path.join(d, "page.md")
        with open(page, "w", encoding="utf-8") as f:
            f.write(fixture)
        with open(os.path.join(d, "other.md"), "w", encoding="utf-8") as f:
            f.write("## There\n")
        got = [fault.replace(d + os.sep, "") for fault in check(page)]
    want = [
        "page.md:8: nowhere.md: no file nowhere.md",
        "page.md:9: #same-2: no heading or anchor #same-2 in page.md",
        "page.md:9: other.md#elsewhere: no heading or anchor #elsewhere in other.md",
    ]
    if got != want:
        print("check-links self-test FAILED:\n  got  " + "\n       ".join(got)
              + "\n  want " + "\n       ".join(want))
        return 1
    print("check-links self-test passed")
    return 0


def main(args):
    if args == ["--self-test"]:
        return self_test()
    if not args:
        os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = args or documents()
    faults = [fault for path in files for fault in check(path)]
    for fault in faults:
        print(fault)
    if faults:
        print(f"check-links: {len(faults)} broken link(s)", file=sys.stderr)
        return 1
    print(f"check-links: {len(files)} documents, every relative link resolves")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
