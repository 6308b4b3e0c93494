#!/usr/bin/env bash
# Converts a large real help file, the Lazarus component library reference lcl.chm (16 MB, about
# 20,000 pages; Debian package lazarus-doc-2.2), and prints the wall and CPU time, the peak
# memory, the stage split, and the time of quillet-hh alone on the same file (the unpacking
# floor). The package is downloaded once into the cache folder (default ~/.cache/quillet-bench).
# usage: bench/large.sh [BIN_FOLDER] [CACHE_FOLDER]
set -euo pipefail
bin=${1:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
cache=${2:-${XDG_CACHE_HOME:-$HOME/.cache}/quillet-bench}
mkdir -p "$cache"
chm=$(find "$cache" -name lcl.chm -print -quit)
if [[ -z $chm ]]; then
    (cd "$cache" && apt-get download lazarus-doc-2.2 >/dev/null)
    dpkg -x "$(ls "$cache"/lazarus-doc-2.2_*.deb | head -1)" "$cache/extracted"
    chm=$(find "$cache/extracted" -name lcl.chm -print -quit)
fi
[[ -n $chm ]] || { echo "lcl.chm is not in the package"; exit 1; }
echo "help file: $chm, $(stat -c %s "$chm") bytes"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
/usr/bin/time -f "quillet-hh alone: %e s wall, %U+%S s CPU, peak %M KB" \
    "$bin/quillet-hh" -decompile "$work/unpacked" "$chm" >/dev/null 2>"$work/hh.log" || {
    cat "$work/hh.log"
    exit 1
}
tail -1 "$work/hh.log"
rm -rf "$work/unpacked"
/usr/bin/time -f "convert: %e s wall, %U+%S s CPU, peak %M KB" \
    "$bin/quillet" convert "$chm" -o "$work/lcl.docx" --timings </dev/null >/dev/null \
    2>"$work/convert.log" || {
    cat "$work/convert.log"
    exit 1
}
grep -E '^(timings|convert):' "$work/convert.log"
echo "document: $(stat -c %s "$work/lcl.docx") bytes"
