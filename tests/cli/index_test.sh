#!/usr/bin/env bash
# A help file with an index file (.hhk), converted end to end: its keywords mark the topics'
# headings (hidden XE fields) and an INDEX field after the last chapter lists them, sorted, under
# letter headings, sub-entries indented, with the pages of their topics; --no-index leaves both
# out. The document passes the schema check, and LibreOffice, a program not written here, shows
# the index with its page numbers as written, before any field update, and so does the PDF
# output, whose contents LibreOffice updates.
# usage: index_test.sh BIN_FOLDER FIXTURE.chm [OXCHECK]
set -euo pipefail
bin=$1
chm=$2
oxcheck=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp OXCHECK_BUILD=$work/oxcheck-build
mkdir -p "$TMPDIR"

convert() {
    "$bin/quillet" convert "$chm" --new-page chapter "$@" </dev/null >/dev/null 2>"$work/convert.log" || {
        cat "$work/convert.log"
        exit 1
    }
}
convert -o "$work/index.docx"
convert --no-index -o "$work/none.docx"

/usr/bin/python3 - "$work/index.docx" "$work/none.docx" <<'PYTHON'
import sys, zipfile
import xml.etree.ElementTree as ET

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
failures = []

def expect(condition, what):
    if not condition:
        failures.append(what)

def fields(path):
    """The field codes of the body, each with whether its code runs are hidden."""
    with zipfile.ZipFile(path) as z:
        body = ET.fromstring(z.read("word/document.xml"))
        styles = z.read("word/styles.xml").decode("utf-8")
    codes, code, hidden, depth = [], "", True, 0
    for r in body.iter(W + "r"):
        c = r.find(W + "fldChar")
        if c is not None:
            kind = c.get(W + "fldCharType")
            if kind == "begin":
                depth += 1
                code, hidden = "", True
            elif kind in ("separate", "end") and depth and code:
                codes.append((code, hidden))
                code = ""
            if kind == "end":
                depth -= 1
            continue
        t = r.find(W + "instrText")
        if t is not None:
            code += t.text or ""
            hidden = hidden and r.find(W + "rPr/" + W + "vanish") is not None
    return codes, styles

codes, styles = fields(sys.argv[1])
marks = sorted(c for c, _ in codes if c.strip().startswith("XE"))
expect(marks == sorted([' XE "setup" ', ' XE "setup" ', ' XE "Printing" ',
                        ' XE "Printing:Paper sizes" ', ' XE "Printing:Margins" ',
                        ' XE "Time\\: 12\\:00" ', ' XE "TCP/IP" ', ' XE "zebra" ']),
       f"the marks: {marks}")
expect(all(h for c, h in codes if c.strip().startswith("XE")), "a mark is not hidden")
index = [c for c, _ in codes if c.strip().startswith("INDEX")]
expect(index == [' INDEX \\h "A" \\c "2" \\z "1033" '], f"the index field: {index}")
for name in ("index 1", "index 2", "index heading"):
    expect(f'w:val="{name}"' in styles, f"no style {name}")
codes, styles = fields(sys.argv[2])
expect(not any(c.strip().split()[0] in ("XE", "INDEX") for c, _ in codes),
       "--no-index leaves marks or an index")
expect('w:val="index 1"' not in styles, "--no-index leaves the index styles")
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PYTHON

if [[ -n $oxcheck && -x $oxcheck ]]; then
    "$oxcheck" --quiet "$work/index.docx" >"$work/check.log" 2>&1 || {
        grep -E '^(E|FILE|KIND)' "$work/check.log" | head -40
        echo "the document does not pass the schema check"
        exit 1
    }
    echo "the document passes the schema check"
fi

# Cover, contents (page 1), one page per chapter (2 to 4), the index on page 5: each entry with
# the pages of the topics it marks.
expected_lines() {
    cat <<'LINES'
Index
P
Printing, 3
Margins, 3
Paper sizes, 2
S
setup, 2, 4
T
TCP/IP, 4
Time: 12:00, 3
Z
zebra, 4
LINES
}
shows_index() { # PDF WHAT: fails unless the PDF's text holds every expected line
    pdftotext "$1" "$work/index.txt"
    local missing=0
    while IFS= read -r line; do
        grep -qxF -- "$line" "$work/index.txt" || { echo "$2 shows no: '$line'"; missing=1; }
    done < <(expected_lines)
    if [[ $missing != 0 ]]; then
        cat "$work/index.txt"
        exit 1
    fi
    echo "$2 shows the index with its page numbers"
}

if command -v soffice >/dev/null && command -v pdftotext >/dev/null; then
    soffice -env:UserInstallation=file://$work/profile --headless --convert-to pdf \
        --outdir "$work/pdf" "$work/index.docx" >"$work/soffice.log" 2>&1
    if [[ ! -s $work/pdf/index.pdf ]]; then
        cat "$work/soffice.log"
        echo "LibreOffice could not convert the document"
        exit 1
    fi
    shows_index "$work/pdf/index.pdf" "LibreOffice"
    # Quillet's own PDF output, where LibreOffice updates the tables of contents first.
    convert -o "$work/index.pdf"
    shows_index "$work/index.pdf" "The PDF output"
fi
