#!/usr/bin/env bash
# Builds the seed folders of the fuzz targets, fuzz/seeds/TARGET/, from the test fixtures and the
# sample help files (../shared/corpus, or QUILLET_CORPUS): small help files whole, and pieces cut
# out of the others once quillet-hh has unpacked them (contents and index files, pages, style
# sheets). Text targets take an options byte first (fuzz/targets.h); the seeds carry one that
# picks the code page the piece is written in.
# Usage: fuzz/make_seeds.sh [QUILLET_HH]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seeds=$root/fuzz/seeds
corpus=${QUILLET_CORPUS:-$root/../shared/corpus}
[[ -d $corpus ]] || corpus=/work/shared/corpus
hh=${1:-}
if [[ -z $hh ]]; then
    for candidate in build/release/bin/quillet-hh build/asan/bin/quillet-hh build/fuzz/bin/quillet-hh; do
        if [[ -x $candidate ]]; then hh=$root/$candidate; break; fi
    done
fi
if [[ -z $hh ]]; then
    cmake --build --preset fuzz --target quillet-hh >/dev/null
    hh=$root/build/fuzz/bin/quillet-hh
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-seeds.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$seeds"
targets=(system_records help_file contents html_text topic_page web_page web_archive docx)
for t in "${targets[@]}"; do mkdir -p "$seeds/$t"; done

n=0
# seed TARGET OPTIONS_BYTE(or "") FILE [MAX_BYTES]: the file's first MAX_BYTES, behind the byte.
seed() {
    local target=$1 options=$2 file=$3 max=${4:-65536}
    n=$((n + 1))
    local out=$seeds/$target/seed-$n
    {
        if [[ -n $options ]]; then printf "\\x$(printf %02x "$options")"; fi
        head -c "$max" "$file"
    } >"$out"
}

# The code page a piece is in, as the options byte's index into the targets' table
# (1252, 65001, 936, 1251, 932, 950), guessed from the help file's name.
options_of() {
    case $1 in
        *utf8* | *utf-8*) echo 1 ;; *gb2312* | *gbk* | zh-*) echo 2 ;; *cp1251* | ru-*) echo 3 ;;
        ja-*) echo 4 ;; *) echo 0 ;;
    esac
}

# The fixtures' help files, compiled as the tests compile them.
for project in tests/data/chm/*/; do
    name=$(basename "$project")
    cp -r "$project" "$work/$name"
    (cd "$work/$name" && chmcmd "$name.hhp" >/dev/null 2>&1) || true
    [[ -f $work/$name/$name.chm ]] && cp "$work/$name/$name.chm" "$work/fixture-$name.chm"
done

helpfiles=("$work"/fixture-*.chm)
for f in "$corpus"/*.chm; do [[ -f $f ]] && helpfiles+=("$f"); done

for f in "${helpfiles[@]}"; do
    size=$(stat -c %s "$f")
    seed system_records "" "$f" 65536
    if ((size <= 262144)); then seed help_file "" "$f" "$size"; fi
    opt=$(options_of "$(basename "$f")")
    pages=0
    out=$work/unpacked/$(basename "$f" .chm)
    "$hh" -decompile "$out" "$f" >/dev/null 2>&1 || continue
    while IFS= read -r -d '' piece; do
        case ${piece,,} in
            *.hhc | *.hhk) seed contents "$opt" "$piece" 32768 ;;
            *.htm | *.html)
                # A few pages of each help file: the fuzzers do better on fewer, smaller seeds.
                pages=$((pages + 1))
                if ((pages <= 4 || pages % 16 == 0)); then
                    seed topic_page "$opt" "$piece" 16384
                    seed html_text "$opt" "$piece" 2048
                    seed web_page "" "$piece" 16384
                fi
                ;;
            *.css) seed web_page "" "$piece" 8192 ;;
            *.mht | *.mhtml) seed web_archive "" "$piece" 65536 ;;
        esac
    done < <(find "$out" -type f -print0 | sort -z)
done

# The fixtures' own sources.
while IFS= read -r -d '' piece; do
    case ${piece,,} in
        *.hhc | *.hhk) seed contents 0 "$piece" ;;
        *.htm) seed topic_page 0 "$piece"; seed html_text 0 "$piece" 4096; seed web_page "" "$piece" ;;
        *.css) seed web_page "" "$piece" ;;
        *.mht) seed web_archive "" "$piece" ;;
    esac
done < <(find tests/data/chm -type f -print0 | sort -z)

# .docx packages as their parts ("NAME\0CONTENT\0..."): the small kept package of the sample,
# and one whose document part is cut to its first paragraphs.
python3 - "$root/tests/data/expected" "$seeds/docx" <<'PY'
import lzma, pathlib, re, sys
expected, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
for n, package in enumerate(sorted(p for p in expected.iterdir() if p.is_dir())):
    parts = {}
    for f in sorted(package.rglob("*.xz")):
        parts[str(f.relative_to(package))[:-3]] = lzma.decompress(f.read_bytes())
    doc = parts.get("word/document.xml", b"")
    if len(doc) > 16384:
        # Keep whole paragraphs up to about 12 KB and close the body and the document.
        cut = doc.rfind(b"</w:p>", 0, 12288)
        if cut < 0:
            continue
        tail = doc[doc.rfind(b"<w:sectPr"):] if b"<w:sectPr" in doc else b"</w:body></w:document>"
        parts["word/document.xml"] = doc[:cut + 6] + tail
    blob = b"".join(name.encode() + b"\0" + data + b"\0" for name, data in parts.items())
    (out / f"seed-package-{n}").write_bytes(blob)
PY

for t in "${targets[@]}"; do echo "make_seeds: $t: $(ls "$seeds/$t" | wc -l) seeds"; done
