#!/usr/bin/env bash
# A help file whose topic holds nested, typed and numbered-from lists, converted end to end: its
# list items are paragraphs of Word lists (w:numPr into a numbering part) whose text holds no
# number, and LibreOffice, a program not written here, shows their numbers and bullets when it
# is installed.
# usage: lists_test.sh BIN_FOLDER FIXTURE.chm
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
import sys, zipfile
import xml.etree.ElementTree as ET

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
with zipfile.ZipFile(sys.argv[1]) as z:
    body = ET.fromstring(z.read("word/document.xml"))
    numbering = ET.fromstring(z.read("word/numbering.xml"))
    rels = z.read("word/_rels/document.xml.rels").decode("utf-8")
    types = z.read("[Content_Types].xml").decode("utf-8")
failures = []

def expect(condition, what):
    if not condition:
        failures.append(what)

expect('Target="numbering.xml"' in rels, "no relationship to the numbering part")
expect('PartName="/word/numbering.xml"' in types, "no content type for the numbering part")
nums = {n.get(W + "numId"): n.find(W + "abstractNumId").get(W + "val")
        for n in numbering.iter(W + "num")}
formats = {}
for a in numbering.iter(W + "abstractNum"):
    for lvl in a.iter(W + "lvl"):
        formats[(a.get(W + "abstractNumId"), lvl.get(W + "ilvl"))] = (
            lvl.find(W + "numFmt").get(W + "val"), lvl.find(W + "lvlText").get(W + "val"))
items = {}
for p in body.iter(W + "p"):
    text = "".join(t.text or "" for t in p.iter(W + "t"))
    numPr = p.find(W + "pPr/" + W + "numPr")
    if numPr is None:
        continue
    num = numPr.find(W + "numId").get(W + "val")
    level = numPr.find(W + "ilvl").get(W + "val")
    items[text] = (num, level) + formats.get((nums.get(num), level), (None, None))
expected = {
    # Bullets by depth in any lists, as browsers draw them: circles inside one, squares deeper.
    "First step": ("0", "decimal", "%1."), "Inner point": ("1", "bullet", "\u25e6"),
    "Deepest point": ("2", "bullet", "\u25aa"), "Letter c": ("0", "lowerLetter", "%1."),
    "Roman one": ("0", "upperRoman", "%1."), "Square item": ("0", "bullet", "\u25aa"),
}
for text, (level, fmt, lvl_text) in expected.items():
    got = items.get(text)
    expect(got is not None and got[1:] == (level, fmt, lvl_text), f"{text}: {got}")
expect(items.get("First step", [None])[0] == items.get("Third step", [0])[0],
       "the items of one list are in different lists")
expect(items.get("First step", [None])[0] != items.get("Again one", [None])[0],
       "two lists share their numbering")
expect(len(items) == 12, f"{len(items)} list paragraphs: {sorted(items)}")
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PYTHON
if command -v soffice >/dev/null; then
    soffice -env:UserInstallation=file://$work/profile --headless \
        --convert-to "txt:Text (encoded):UTF8" --outdir "$work/txt" "$work/document.docx" \
        >"$work/soffice.log" 2>&1
    if [[ ! -s $work/txt/document.txt ]]; then
        cat "$work/soffice.log"
        echo "LibreOffice could not convert the document"
        exit 1
    fi
    # LibreOffice writes each list paragraph indented by its level, with its number or bullet
    # before its text; its text export shows bullets by level (•, ◦, ▪), whatever their glyph.
    missing=0
    while IFS= read -r line; do
        grep -qxF -- "$line" "$work/txt/document.txt" || { echo "LibreOffice shows no: '$line'"; missing=1; }
    done <<'LINES'
    1. First step
    2. Second step
        ◦ Inner point
        ◦ Another point
            ▪ Deepest point
    3. Third step
    c. Letter c
    j. Letter j
    I. Roman one
    II. Roman two
    • Square item
    1. Again one
LINES
    if [[ $missing != 0 ]]; then
        cat "$work/txt/document.txt"
        exit 1
    fi
    echo "LibreOffice shows the list numbers and bullets"
fi
