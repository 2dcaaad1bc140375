#!/usr/bin/env python3
"""check_links.py <source>: each relative link of the README, docs/, the changelog and the
package READMEs (shown alone, so linking to no file) leads to a file and a heading's slug."""
import glob, os, re, sys


def read(page, code=r"^```.*?^```"):  # code holds no links or headings
    with open(page, encoding="utf-8") as file:
        return re.sub(code, "", file.read(), flags=re.M | re.S)


source, broken = sys.argv[1], []
packaged = glob.glob(f"{source}/packages/*/README.md")
for page in [f"{source}/README.md", f"{source}/CHANGELOG.md", *glob.glob(f"{source}/docs/*.md"), *packaged]:
    for path, anchor in re.findall(r"\]\((?![a-z]+:)([^)#\s]*)#?([^)\s]*)\)", read(page, r"^```.*?^```|`[^`\n]*`")):
        linked = os.path.join(os.path.dirname(page), path) if path else page
        headings = re.findall(r"^#+ (.+)", read(linked), re.M) if os.path.isfile(linked) else []
        slugs = {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-") for heading in headings}
        if path and page in packaged or not os.path.exists(linked) or anchor and anchor not in slugs:
            broken.append(f"{page}: {path}#{anchor}")
sys.exit("\n".join(broken) or print("every link resolves"))
