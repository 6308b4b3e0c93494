#!/usr/bin/env bash
# Checks the documents users get against the Office Open XML schemas (ECMA-376 transitional),
# their package and their bookmarks, with a checker not written here (oxcheck: XMLBeans and Apache
# POI). Word refuses what LibreOffice forgives, elements out of their schema order among them.
# The documents: the bundled sample, the kept corpus files and a generated help file, as the kept
# documents of same_output_test.sh are made.
# usage: schema_test.sh BIN_FOLDER OXCHECK
set -euo pipefail
bin=$1
oxcheck=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [[ ! -x $oxcheck ]]; then
    echo "SKIPPED: the schema checker is not at $oxcheck (set QUILLET_OXCHECK)"
    exit 0
fi
if ! command -v chmcmd >/dev/null; then
    echo "SKIPPED: chmcmd is not installed"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp OXCHECK_BUILD=$work/oxcheck-build
mkdir -p "$TMPDIR"

"$root/bench/make_project.sh" 60 "$work/generated" >/dev/null
documents=()
for chm in "$root/samples/quillet-sample.chm" "$work/generated/bench.chm" \
    "$root"/tests/data/corpus/*.chm; do
    out=$work/$(basename "$chm" .chm).docx
    "$bin/quillet" convert "$chm" -o "$out" </dev/null >/dev/null 2>"$work/convert.log" || {
        cat "$work/convert.log"
        exit 1
    }
    documents+=("$out")
done
if ! "$oxcheck" --quiet "${documents[@]}" >"$work/check.log" 2>&1; then
    grep -E '^(E|FILE|KIND)' "$work/check.log" | head -60
    echo "the documents do not pass the schema check"
    exit 1
fi
grep '^FILE' "$work/check.log"
