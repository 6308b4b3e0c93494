#!/usr/bin/env bash
# Converts a generated help file of N topics (default 2000) and prints the time of each stage
# and the peak memory. usage: bench/convert_bench.sh [N] [BIN_FOLDER]
set -euo pipefail
topics=${1:-2000}
bin=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project=$work/project
mkdir -p "$project/html"

# A help project: chapters of 20 topics, each page with a shared navigation bar and footer, a
# title, paragraphs, a small table and a link to the next topic.
{
    echo "[OPTIONS]"; echo "Compiled file=bench.chm"; echo "Contents file=toc.hhc"
    echo "Default topic=html/t0.htm"; echo "Language=0x409 English (United States)"; echo "Title=Benchmark"
    echo; echo "[FILES]"
    for ((n = 0; n < topics; n++)); do echo "html/t$n.htm"; done
} >"$project/bench.hhp"
{
    echo "<HTML><BODY><UL>"
    for ((n = 0; n < topics; n++)); do
        if ((n % 20 == 0)); then
            ((n > 0)) && echo "</UL>"
            echo "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Chapter $((n / 20))\"><param name=\"Local\" value=\"html/t$n.htm\"></OBJECT><UL>"
        else
            echo "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Topic $n\"><param name=\"Local\" value=\"html/t$n.htm\"></OBJECT>"
        fi
    done
    echo "</UL></UL></BODY></HTML>"
} >"$project/toc.hhc"
for ((n = 0; n < topics; n++)); do
    cat >"$project/html/t$n.htm" <<PAGE
<html><head><title>Topic $n</title></head><body>
<div class="nav"><a href="t0.htm">Home</a> | Index | Search</div>
<h1>Topic $n</h1>
<p>This is topic number $n of the benchmark project. It describes function_$n, which takes a window handle and returns a value.</p>
<table border="1"><tr><th>Parameter</th><th>Meaning</th></tr><tr><td>hWnd$n</td><td>The window.</td></tr></table>
<p>See <a href="t$(((n + 1) % topics)).htm">the next topic</a>.</p>
<p class="foot">Copyright 2024 Example Corporation.</p>
</body></html>
PAGE
done
(cd "$project" && chmcmd bench.hhp >/dev/null 2>&1 || true)
echo "help file: $topics topics, $(stat -c %s "$project/bench.chm") bytes"

# Each progress line with the time it appeared.
/usr/bin/time -v "$bin/quillet" convert "$project/bench.chm" -o "$work/bench.docx" </dev/null \
    2> >(while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >"$work/log") >/dev/null
sleep 1
awk '
    /\[[0-9]+%\]/ {
        t = $1; $1 = ""; text = $0
        if (text ~ /Decompiling/) start["unpack"] = t
        if (text ~ /Analyzing/) { stop["unpack"] = t; start["distill"] = t }
        if (text ~ /Launching Word/) { stop["distill"] = t; start["document (with refreshes)"] = t }
        if (text ~ /%\] 调整内嵌形状/) { stop["document (with refreshes)"] = t; start["pictures, header, contents"] = t }
        if (text ~ /保存文档/) { stop["pictures, header, contents"] = t; start["save"] = t }
        last = t
    }
    /Maximum resident set size/ { rss = $NF }
    END {
        stop["save"] = last
        n = split("unpack distill document_(with_refreshes) pictures,_header,_contents save", order, " ")
        for (i = 1; i <= n; i++) { k = order[i]; gsub("_", " ", k); printf "%-28s %6.2f s\n", k, stop[k] - start[k] }
        printf "%-28s %6.2f s\n", "whole conversion", last - start["unpack"]
        printf "peak memory                  %6.1f MiB\n", rss / 1024
    }' "$work/log"
