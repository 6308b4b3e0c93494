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
source "$(dirname "$0")/measure.sh"
measure_conversion "$bin" "$chm" "$work"
echo "document: $(stat -c %s "$work/converted.docx") bytes"
