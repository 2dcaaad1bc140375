#!/usr/bin/env python3
"""Fails on a link of the project's Markdown that leads nowhere:

    check_links.py <source>

A relative link must name a file or folder that exists, and its anchor a
heading of that page (GitHub's slug). The package READMEs, which their
registries show alone, may link only within themselves or to addresses.
"""
import glob
import os
import re
import sys

FENCED = re.compile(r"^```.*?^```", re.M | re.S)
INLINE = re.compile(r"`[^`\n]+`")


def anchors(page):
    with open(page, encoding="utf-8") as file:
        headings = re.findall(r"^#{1,6} +(.+?) *$", FENCED.sub("", file.read()), re.M)
    found = set()
    for heading in headings:
        slug = re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
        unique, repeat = slug, 0
        while unique in found:  # GitHub numbers a repeated heading's slug
            repeat += 1
            unique = f"{slug}-{repeat}"
        found.add(unique)
    return found


def broken_links(page, alone):
    with open(page, encoding="utf-8") as file:
        text = INLINE.sub("", FENCED.sub("", file.read()))
    for target in re.findall(r"\]\(([^)\s]+)", text):
        path, _, anchor = target.partition("#")
        if re.match(r"[a-z]+:", target):
            continue
        if alone and path:
            yield f"{page}: {target} (its registry shows the page alone)"
            continue
        linked = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(linked) or (anchor and anchor not in anchors(linked)):
            yield f"{page}: {target}"


def main(source):
    pages = [os.path.join(source, name) for name in ("README.md", "CHANGELOG.md")]
    pages += sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    packaged = sorted(glob.glob(os.path.join(source, "packages", "*", "README.md")))
    broken = [link for page in pages + packaged for link in broken_links(page, page in packaged)]
    print("\n".join(broken) or f"every link of {len(pages + packaged)} pages resolves")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
