#!/usr/bin/env bash
# A help file whose N contents entries (default 2000) all point at anchors of one page, as API
# references often do: times `quillet distill` (which splits the page into N parts) and a whole
# conversion, with the peak memory of each. usage: bench/anchors_bench.sh [N] [BIN_FOLDER]
set -euo pipefail
entries=${1:-2000}
bin=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project=$work/project
mkdir -p "$project"
printf '[OPTIONS]\nCompiled file=anchors.chm\nContents file=toc.hhc\nDefault topic=ref.htm\nTitle=Anchors\n\n[FILES]\nref.htm\n' \
    >"$project/anchors.hhp"
{
    echo "<HTML><BODY><UL>"
    for ((n = 0; n < entries; n++)); do
        echo "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Member $n\"><param name=\"Local\" value=\"ref.htm#m$n\"></OBJECT>"
    done
    echo "</UL></BODY></HTML>"
} >"$project/toc.hhc"
{
    echo "<html><head><title>Reference</title></head><body>"
    for ((n = 0; n < entries; n++)); do
        echo "<h2><a name=\"m$n\"></a>Member $n</h2><p>Member $n takes a handle and returns a value; see <a href=\"#m$(((n + 1) % entries))\">the next one</a>.</p>"
    done
    echo "</body></html>"
} >"$project/ref.htm"
(cd "$project" && chmcmd anchors.hhp >/dev/null 2>&1) || true
[[ -s $project/anchors.chm ]] || { echo "chmcmd wrote nothing"; exit 1; }

measure() { # label command...
    local label=$1
    shift
    /usr/bin/time -f "$label: %e s, peak %M KB" "$@" >/dev/null 2>"$work/time.log" || {
        cat "$work/time.log"
        exit 1
    }
    tail -1 "$work/time.log"
}
echo "$entries entries pointing at anchors of one page"
measure "distill" "$bin/quillet" distill "$project/anchors.chm" "$work/distilled"
measure "convert" "$bin/quillet" convert "$project/anchors.chm" -o "$work/anchors.docx"
