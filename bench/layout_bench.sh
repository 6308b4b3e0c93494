#!/usr/bin/env bash
# Converts the generated help file of N topics (default 5000) into a .docx and measures how fast
# the engine lays out its pages (build/release/bin/quillet_layout_bench).
# usage: bench/layout_bench.sh [N] [BIN_FOLDER]
set -euo pipefail
topics=${1:-5000}
bin=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$(dirname "$0")/make_project.sh" "$topics" "$work/project" >/dev/null
"$bin/quillet" convert "$work/project/bench.chm" -o "$work/bench.docx" >/dev/null 2>&1
QUILLET_LAYOUT_DOCX=$work/bench.docx "$bin/quillet_layout_bench"
