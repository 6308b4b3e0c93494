#!/usr/bin/env bash
# Two conversions of different help files to one output at the same time: both succeed, and the
# document left is whole and is one of the two, never a mix; nothing is left beside it.
# usage: two_runs_one_output_test.sh BIN_FOLDER A.chm B.chm
set -euo pipefail
bin=$1
a=$2
b=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/ref" "$work/out"

body() { /usr/bin/python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("word/document.xml"))' "$1"; }

# The text of each document alone, without what changes between runs (none does today, but the
# comparison is of the body only).
"$bin/quillet" convert "$a" -o "$work/ref/a.docx" </dev/null >/dev/null 2>&1
"$bin/quillet" convert "$b" -o "$work/ref/b.docx" </dev/null >/dev/null 2>&1
body "$work/ref/a.docx" >"$work/ref/a.xml"
body "$work/ref/b.docx" >"$work/ref/b.xml"
cmp -s "$work/ref/a.xml" "$work/ref/b.xml" && { echo "the two help files give one document"; exit 1; }

for round in 1 2 3; do
    "$bin/quillet" convert "$a" -o "$work/out/doc.docx" </dev/null >/dev/null 2>"$work/a.log" &
    first=$!
    "$bin/quillet" convert "$b" -o "$work/out/doc.docx" </dev/null >/dev/null 2>"$work/b.log" &
    second=$!
    wait "$first" || { cat "$work/a.log"; echo "round $round: the first run failed"; exit 1; }
    wait "$second" || { cat "$work/b.log"; echo "round $round: the second run failed"; exit 1; }
    body "$work/out/doc.docx" >"$work/out.xml" || { echo "round $round: not a whole document"; exit 1; }
    if cmp -s "$work/out.xml" "$work/ref/a.xml"; then
        echo "round $round: the first help file's document"
    elif cmp -s "$work/out.xml" "$work/ref/b.xml"; then
        echo "round $round: the second help file's document"
    else
        echo "round $round: a document that is neither"
        exit 1
    fi
    left=$(ls -A "$work/out" | grep -vx doc.docx || true)
    [[ -z $left ]] || { echo "round $round: left beside the output: $left"; exit 1; }
    [[ -z $(ls -A "$TMPDIR") ]] || { echo "round $round: left in the temporary folder: $(ls -A "$TMPDIR")"; exit 1; }
done
