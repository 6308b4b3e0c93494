#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 60), one after the other: installs the tools
# when missing, configures and builds the fuzz preset, makes the seed folders once, and keeps
# each target's growing corpus in fuzz/corpus/TARGET/. Inputs that crash, leak, time out (10 s)
# or take over 2 GB go to fuzz/findings/TARGET/; each one found becomes a fix and a file in
# tests/fuzz_regressions/TARGET/.
# With --bounded, the page targets (topic_page, web_page: pages and style sheets) run on inputs of
# up to 1 MB that must each take at most 10 s and 1 GB: the bound every page of that size keeps
# in the document stage.
# Usage: fuzz/run.sh [--bounded] [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bounded=0
if [[ ${1:-} == --bounded ]]; then
    bounded=1
    shift
fi
seconds=${1:-60}
shift || true
all=(system_records help_file contents html_text topic_page web_page web_archive docx)
((bounded)) && all=(topic_page web_page)
targets=("$@")
((${#targets[@]})) || targets=("${all[@]}")
rss_limit=2048
((bounded)) && rss_limit=1024

scripts/install-fuzz-deps.sh >/dev/null
[[ -f build/fuzz/CMakeCache.txt ]] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"
[[ -d fuzz/seeds ]] || fuzz/make_seeds.sh

# The help-file target unpacks whole files; every other target reads a page-sized piece.
max_len() {
    if ((bounded)); then echo 1048576; elif [[ $1 == help_file ]]; then echo 262144; else echo 65536; fi
}
dict() {
    case $1 in
        contents | html_text | topic_page | web_page | web_archive) echo "-dict=$root/fuzz/html.dict" ;;
        docx) echo "-dict=$root/fuzz/docx.dict" ;;
    esac
}

status=0
for t in "${targets[@]}"; do
    mkdir -p "fuzz/corpus/$t" "fuzz/findings/$t"
    echo "== $t: $seconds s"
    # shellcheck disable=SC2046
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
        "build/fuzz/bin/fuzz_$t" "fuzz/corpus/$t" "fuzz/seeds/$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb="$rss_limit" -max_len="$(max_len "$t")" \
        -artifact_prefix="$root/fuzz/findings/$t/" -print_final_stats=1 $(dict "$t") \
        2>"fuzz/findings/$t.log" || status=1
    grep -E 'DONE|^stat::(number_of_executed_units|average_exec_per_sec)' \
        "fuzz/findings/$t.log" || tail -n 30 "fuzz/findings/$t.log"
done
if find fuzz/findings -mindepth 2 -type f | grep -q .; then echo "findings: fuzz/findings/"; fi
exit "$status"
