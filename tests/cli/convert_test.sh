#!/usr/bin/env bash
# Converts a help file with quillet, checks the document against the entries quillet distill
# lists, and has LibreOffice (a program not written here) convert it to PDF when it is installed.
# usage: convert_test.sh BIN_FOLDER FILE.chm
set -euo pipefail
bin=$1
chm=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

if [[ ! -f $chm ]]; then
    echo "SKIPPED: $chm is not here"
    exit 0
fi
"$bin/quillet" distill "$chm" "$work/distilled" >/dev/null
"$bin/quillet" convert "$chm" -o "$work/out/document.docx" </dev/null 2>"$work/convert.log" || {
    cat "$work/convert.log"
    exit 1
}
/usr/bin/python3 "$here/check_docx.py" "$work/out/document.docx" "$work/distilled/contents.json" \
    --toc --header --footer
# An ordinary file of the user's: the mode new files get under the umask, not a temporary's 0600.
expected_mode=$(printf '%o' $((0666 & ~0$(umask))))
mode=$(stat -c %a "$work/out/document.docx")
[[ $mode == "$expected_mode" ]] || { echo "the document's mode is $mode, not $expected_mode"; exit 1; }
# A document that was private and is replaced stays private, as editors keep a file's mode
# (checked on the sample, which converts quickly).
if [[ $(basename "$chm") == quillet-sample.chm ]]; then
    chmod 600 "$work/out/document.docx"
    "$bin/quillet" convert "$chm" -o "$work/out/document.docx" </dev/null 2>"$work/convert.log" || {
        cat "$work/convert.log"
        exit 1
    }
    mode=$(stat -c %a "$work/out/document.docx")
    [[ $mode == 600 ]] || { echo "the replaced document's mode is $mode, not 600"; exit 1; }
fi
if [[ -n $(ls -A "$TMPDIR") ]]; then
    echo "left behind in the temporary folder:"
    ls -A "$TMPDIR"
    exit 1
fi
if command -v soffice >/dev/null; then
    soffice -env:UserInstallation=file://$work/profile --headless --convert-to pdf \
        --outdir "$work/pdf" "$work/out/document.docx" >"$work/soffice.log" 2>&1
    if [[ ! -s $work/pdf/document.pdf ]]; then
        cat "$work/soffice.log"
        echo "LibreOffice could not convert the document"
        exit 1
    fi
    echo "LibreOffice converted it: $(stat -c %s "$work/pdf/document.pdf") bytes of PDF"
fi
