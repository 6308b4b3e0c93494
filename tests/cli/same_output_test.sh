#!/usr/bin/env bash
# Converts the bundled sample, the corpus files and a generated help file, and compares every XML
# part of each document with the one kept in tests/data/expected (xz-compressed). The conversion is
# deterministic: no part holds a date, a random id or a temporary name, so the parts must match
# byte for byte. A change that means to alter the document regenerates them with --update and
# says why in its commit.
# usage: same_output_test.sh BIN_FOLDER [--update]
set -euo pipefail
bin=$1
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
expected=$root/tests/data/expected
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

if ! command -v chmcmd >/dev/null; then
    echo "SKIPPED: chmcmd is not installed"
    exit 0
fi
"$root/bench/make_project.sh" 60 "$work/generated" >/dev/null
declare -A files=(
    [sample]=$root/samples/quillet-sample.chm
    [generated]=$work/generated/bench.chm
)
for chm in "$root"/tests/data/corpus/*.chm; do
    files[$(basename "$chm" .chm)]=$chm
done

failed=0
for name in $(printf '%s\n' "${!files[@]}" | sort); do
    "$bin/quillet" convert "${files[$name]}" -o "$work/$name.docx" </dev/null >/dev/null \
        2>"$work/$name.log" || {
        cat "$work/$name.log"
        exit 1
    }
    mkdir -p "$work/$name"
    (cd "$work/$name" && unzip -q "$work/$name.docx")
    while IFS= read -r part; do
        kept=$expected/$name/$part.xz
        if [[ $update == --update ]]; then
            mkdir -p "$(dirname "$kept")"
            xz -9e -c "$work/$name/$part" >"$kept"
        elif [[ ! -f $kept ]]; then
            echo "$name: $part is new (no $kept)"
            failed=1
        elif ! xz -dc "$kept" | cmp -s - "$work/$name/$part"; then
            echo "$name: $part differs from the kept one; first difference:"
            xz -dc "$kept" | cmp - "$work/$name/$part" || true
            failed=1
        fi
    done < <(cd "$work/$name" && find . -name '*.xml' -o -name '*.rels' | sed 's|^\./||' | sort)
    if [[ $update != --update ]]; then
        while IFS= read -r kept; do
            part=${kept%.xz}
            [[ -f $work/$name/$part ]] || { echo "$name: $part is missing"; failed=1; }
        done < <(cd "$expected/$name" && find . -name '*.xz' | sed 's|^\./||' | sort)
    fi
done
[[ $update == --update ]] && echo "kept parts written to $expected"
exit $failed
