#!/usr/bin/env bash
# PDF output end to end, in one LibreOffice run: every heading of the contents is a bookmark of
# the PDF, in order and nested as the contents nest; the table of contents gives each heading the
# page number that the footer prints on the page the bookmark leads to; and nothing is left
# beside the PDF or in the temporary folder. Without LibreOffice, the error says what to install
# and no file is written.
# usage: pdf_output_test.sh BIN_FOLDER FILE.chm
set -euo pipefail
bin=$1
chm=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/out"

# No LibreOffice: a clear error, nothing written.
if QUILLET_SOFFICE=$work/no-soffice "$bin/quillet" convert "$chm" -o "$work/out/none.pdf" \
    </dev/null >/dev/null 2>"$work/none.log"; then
    echo "converted to PDF without LibreOffice"
    exit 1
fi
grep -q "install LibreOffice (Debian package libreoffice-writer)" "$work/none.log" || {
    cat "$work/none.log"
    echo "the error does not say what to install"
    exit 1
}
[[ -z $(ls -A "$work/out") ]] || { echo "left behind: $(ls -A "$work/out")"; exit 1; }

for tool in soffice qpdf pdftotext; do
    if ! command -v $tool >/dev/null; then
        echo "SKIPPED: $tool is not installed"
        exit 0
    fi
done
"$bin/quillet" convert "$chm" -o "$work/out/document.pdf" </dev/null >/dev/null \
    2>"$work/convert.log" || {
    cat "$work/convert.log"
    exit 1
}
[[ $(ls -A "$work/out") == document.pdf ]] || { echo "beside the PDF: $(ls -A "$work/out")"; exit 1; }
[[ -z $(ls -A "$TMPDIR") ]] || { echo "left in the temporary folder: $(ls -A "$TMPDIR")"; exit 1; }

qpdf --json --json-key=outlines "$work/out/document.pdf" >"$work/outlines.json"
/usr/bin/python3 - "$work/out/document.pdf" "$work/outlines.json" <<'PYTHON'
import json, re, subprocess, sys

pdf = sys.argv[1]
failures = []

def expect(condition, what):
    if not condition:
        failures.append(what)

def page_text(page):
    return subprocess.run(["pdftotext", "-layout", "-f", str(page), "-l", str(page), pdf, "-"],
                          check=True, capture_output=True, text=True).stdout

# The bookmarks, depth first: (depth, title, physical page).
bookmarks = []
def walk(items, depth):
    for item in items:
        bookmarks.append((depth, item["title"].strip(), item["destpageposfrom1"]))
        walk(item["kids"], depth + 1)
walk(json.load(open(sys.argv[2]))["outlines"], 0)
expect(len(bookmarks) >= 3, "too few bookmarks: %r" % bookmarks)

# The table of contents: "2.1 Installing.......3", indented by level.
contents = {}
for page in range(1, 4):
    for line in page_text(page).splitlines():
        m = re.match(r"^( *)(\S.*?)[ .]*\.{3,} *(\d+)$", line)
        if m:
            contents[m.group(2).strip()] = int(m.group(3))
expect(contents, "no table of contents with page numbers on the first pages")

# The number the footer prints on a page: its last line that is a number alone.
def footer_number(page):
    numbers = [l.strip() for l in page_text(page).splitlines() if re.fullmatch(r" *\d+ *", l)]
    return int(numbers[-1]) if numbers else None

# The contents list the first three heading levels, as conversions make them by default.
bookmarks = [b for b in bookmarks if b[0] < 3]
for depth, title, page in bookmarks:
    expect(title in contents, "bookmark %r is not in the table of contents" % title)
    if title in contents:
        expect(contents[title] == footer_number(page),
               "%r: the contents say page %d, its bookmark leads to a page numbered %r"
               % (title, contents[title], footer_number(page)))
    expect(title in page_text(page), "%r is not on the page its bookmark leads to (%d)"
           % (title, page))
expect([t for _, t, _ in bookmarks] == list(contents),
       "bookmarks %r and contents %r differ in order" % ([t for _, t, _ in bookmarks], list(contents)))
expect(any(d > 0 for d, _, _ in bookmarks), "the bookmarks do not nest")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
PYTHON
echo "$(qpdf --show-npages "$work/out/document.pdf") pages, bookmarks and contents agree"
