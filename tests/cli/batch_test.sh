#!/usr/bin/env bash
# quillet convert with several help files: a folder of them and a missing one, two at a time; the
# summary matches the files and only whole documents are written. Then a batch stopped with
# SIGTERM leaves nothing of its unfinished conversions. And --json-progress of one conversion.
# usage: batch_test.sh BIN_FOLDER A.chm B.chm C.chm
set -euo pipefail
bin=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/shelf"
for chm in "$@"; do cp "$chm" "$work/shelf/"; done
echo "not a help file" >"$work/shelf/notes.txt"

nothing_left() {
    [[ -z $(ls -A "$TMPDIR") ]] || { echo "left in the temporary folder: $(ls -A "$TMPDIR")"; exit 1; }
    local stray
    stray=$(ls -A "$work/out" 2>/dev/null | grep -v '\.docx$' || true)
    [[ -z $stray ]] || { echo "left beside the documents: $stray"; exit 1; }
}

# A folder of three and a file that is not there: three documents, one failure, status 1.
status=0
"$bin/quillet" convert "$work/shelf" "$work/missing.chm" -O "$work/out" -j 2 </dev/null \
    >/dev/null 2>"$work/batch.log" || status=$?
[[ $status == 1 ]] || { cat "$work/batch.log"; echo "status $status, not 1"; exit 1; }
grep -q "^3 converted, 1 failed, 0 cancelled$" "$work/batch.log" || {
    cat "$work/batch.log"
    echo "the summary does not match the files"
    exit 1
}
grep -q "failed: $work/missing.chm: there is no such file" "$work/batch.log" || {
    cat "$work/batch.log"
    echo "the failure does not say why"
    exit 1
}
for chm in "$@"; do
    name=$(basename "$chm" .chm)
    unzip -p "$work/out/$name.docx" word/document.xml | grep -q "<w:body>" || {
        echo "no whole document for $name"
        exit 1
    }
done
nothing_left

# Stopped: the parent alone gets SIGTERM and passes it on; status 130, nothing half-done. A long
# shelf, so that some are still waiting when the signal comes.
rm -rf "$work/out"
mkdir "$work/long"
for n in $(seq 1 12); do cp "$1" "$work/long/copy-$n.chm"; done
"$bin/quillet" convert "$work/long" -O "$work/out" -j 2 </dev/null >/dev/null \
    2>"$work/stopped.log" &
batch=$!
sleep 1
kill -TERM "$batch"
status=0
wait "$batch" || status=$?
[[ $status == 130 ]] || { cat "$work/stopped.log"; echo "status $status, not 130"; exit 1; }
grep -qE "^[0-9]+ converted, 0 failed, [1-9][0-9]* cancelled$" "$work/stopped.log" || {
    cat "$work/stopped.log"
    echo "the summary does not tell the cancelled ones"
    exit 1
}
nothing_left
for document in "$work"/out/*.docx; do
    [[ -e $document ]] || continue
    unzip -tq "$document" >/dev/null || { echo "a partial document: $document"; exit 1; }
done

# One JSON object per line with stage, percent and message, ending at 100.
"$bin/quillet" convert "$1" -o "$work/one.docx" --json-progress </dev/null >/dev/null \
    2>"$work/json.log"
/usr/bin/python3 - "$work/json.log" <<'PY'
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
reports = [json.loads(line) for line in lines]
assert reports, "no progress"
for r in reports:
    assert set(r) == {"stage", "percent", "message"}, r
    assert r["stage"] in ("start", "unpack", "distill", "document", "save"), r
    assert 0 <= r["percent"] <= 100, r
assert reports[-1]["percent"] == 100, reports[-1]
assert [r["stage"] for r in reports if r["message"] == "Decompiling..."] == ["unpack"]
print(len(reports), "progress lines")
PY
echo "batch and progress as expected"
