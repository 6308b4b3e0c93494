#!/usr/bin/env bash
# A help file without a contents file, converted end to end: its contents come from the default
# topic's links (a link written with blanks and a line break around its "=" among them), a
# frameset topic shows its frames, a web-archive topic shows its page and picture, a page no link
# reaches goes under Addenda, and every link inside the document lands on a bookmark.
# usage: pages_from_links_test.sh BIN_FOLDER FIXTURE.chm
set -euo pipefail
bin=$1
chm=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

"$bin/quillet" convert "$chm" -o "$work/document.docx" </dev/null >/dev/null 2>"$work/convert.log" || {
    cat "$work/convert.log"
    exit 1
}
/usr/bin/python3 - "$work/document.docx" <<'PYTHON'
import re, sys, zipfile
import xml.etree.ElementTree as ET

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
with zipfile.ZipFile(sys.argv[1]) as z:
    body = ET.fromstring(z.read("word/document.xml"))
    media = [n for n in z.namelist() if n.startswith("word/media/")]
failures = []

def expect(condition, what):
    if not condition:
        failures.append(what)

# The body's paragraphs: (heading level or 0, text).
paragraphs = []
for p in body.iter(W + "p"):
    style = p.find(W + "pPr/" + W + "pStyle")
    name = style.get(W + "val", "") if style is not None else ""
    level = int(name[7:]) if re.fullmatch(r"Heading\d", name) else 0
    paragraphs.append((level, "".join(t.text or "" for t in p.iter(W + "t"))))
headings = [(level, text) for level, text in paragraphs if level]
expect(headings == [(1, "1. Start"), (2, "1.1 Guide"), (2, "1.2 Framed"), (2, "1.3 Archived"),
                    (1, "2. Addenda"), (2, "2.1 Alone")], f"headings: {headings}")

def section(title):
    """The text of the paragraphs between the heading `title` and the next heading."""
    out, inside = [], False
    for level, text in paragraphs:
        if level:
            inside = text == title
        elif inside:
            out.append(text)
    return "\n".join(out)

framed = section("1.2 Framed")
expect("Text of the left frame" in framed and "Text of the right frame" in framed
       and framed.index("left frame") < framed.index("right frame"), f"frames: {framed!r}")
archived = section("1.3 Archived")
expect("Café au lait" in archived, f"archive: {archived!r}")
text = "\n".join(text for _, text in paragraphs)
expect("Content-Transfer-Encoding" not in text and "NextPart" not in text, "MIME text in the body")
expect(len(media) == 1, f"pictures: {media}")
bookmarks = {b.get(W + "name") for b in body.iter(W + "bookmarkStart")}
anchors = [h.get(W + "anchor") for h in body.iter(W + "hyperlink") if h.get(W + "anchor")]
expect(len(anchors) >= 8, f"internal links: {anchors}")
nowhere = [a for a in anchors if a not in bookmarks]
expect(not nowhere, f"links that land nowhere: {nowhere}")
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PYTHON
