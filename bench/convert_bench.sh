#!/usr/bin/env bash
# Converts a generated help file of N topics (default 2000; 5000 and 20000 are the sizes to
# compare) and prints the wall and CPU time, the peak memory, the time of each stage, and the time
# of quillet-hh alone on the same file (the unpacking floor).
# usage: bench/convert_bench.sh [N] [BIN_FOLDER]
set -euo pipefail
topics=${1:-2000}
bin=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project=$work/project

"$(dirname "$0")/make_project.sh" "$topics" "$project"
echo "help file: $topics topics, $(stat -c %s "$project/bench.chm") bytes"

source "$(dirname "$0")/measure.sh"
measure_conversion "$bin" "$project/bench.chm" "$work"
