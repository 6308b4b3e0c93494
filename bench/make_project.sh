#!/usr/bin/env bash
# Writes a generated help project of N topics into FOLDER and compiles it with chmcmd into
# FOLDER/bench.chm. Shared by the benchmarks and the output comparison test.
# usage: bench/make_project.sh N FOLDER
set -euo pipefail
topics=$1
project=$2
mkdir -p "$project/html" "$project/notes" "$project/images"

# A help project: chapters of 20 topics. Each page has a shared navigation bar and footer, a
# title, paragraphs, a table, a list, a picture, a link to an anchor of the next topic and, every
# tenth page, a link to a note page that the contents do not list.
{
    echo "[OPTIONS]"; echo "Compiled file=bench.chm"; echo "Contents file=toc.hhc"
    echo "Default topic=html/t0.htm"; echo "Language=0x409 English (United States)"; echo "Title=Benchmark"
    echo; echo "[FILES]"
    for ((n = 0; n < topics; n++)); do echo "html/t$n.htm"; done
    for ((n = 0; n < topics; n += 10)); do echo "notes/n$n.htm"; done
    echo "images/logo.gif"
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
# A 16x16 GIF, all one colour.
printf 'GIF89a\x10\x00\x10\x00\x80\x00\x00\x00\x33\x99\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x10\x00\x10\x00\x00\x02\x0e\x8c\x8f\xa9\xcb\xed\x0f\xa3\x9c\xb4\xda\x8b\xb3\x3e\x05\x00;' \
    >"$project/images/logo.gif"
for ((n = 0; n < topics; n++)); do
    note=""
    ((n % 10 == 0)) && note="<p>Read the <a href=\"../notes/n$n.htm\">note on topic $n</a>.</p>"
    cat >"$project/html/t$n.htm" <<PAGE
<html><head><title>Topic $n</title></head><body>
<div class="nav"><a href="t0.htm">Home</a> | Index | Search</div>
<h1>Topic $n</h1>
<p><img src="../images/logo.gif" alt="logo"> This is topic number $n of the benchmark project &amp; its "quoted" &lt;text&gt; &#x263A;. It describes function_$n, which takes a window handle and returns a value.</p>
<table border="1"><tr><th>Parameter</th><th>Meaning</th></tr><tr><td>hWnd$n</td><td>The window.</td></tr><tr><td>flags$n</td><td>How to draw it.</td></tr></table>
<ul><li>Call it from the main thread.</li><li>It returns zero on failure.</li><li>See also function_$(((n + 7) % topics)).</li></ul>
<h2><a name="remarks"></a>Remarks</h2><p>The value is cached until the window is destroyed.</p>
<p>See <a href="t$(((n + 1) % topics)).htm#remarks">the remarks of the next topic</a>.</p>
$note
<p class="foot">Copyright 2024 Example Corporation.</p>
</body></html>
PAGE
done
for ((n = 0; n < topics; n += 10)); do
    printf '<html><head><title>Note %d</title></head><body><p>A note on topic %d.</p></body></html>\n' \
        "$n" "$n" >"$project/notes/n$n.htm"
done
(cd "$project" && chmcmd bench.hhp >/dev/null 2>&1 || true)
[[ -s $project/bench.chm ]] || { echo "chmcmd wrote nothing"; exit 1; }
