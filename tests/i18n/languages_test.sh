#!/usr/bin/env bash
# quillet convert in a German and a Chinese locale, and with QUILLET_LANG over the locale: the
# progress lines and the end of the run speak the language chosen.
# usage: languages_test.sh BIN_FOLDER FILE.chm
set -euo pipefail
bin=$1
chm=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

run() {  # LANG QUILLET_LANG EXPECTED UNEXPECTED
    env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$1" QUILLET_LANG="$2" \
        "$bin/quillet" convert "$chm" -o "$work/out.docx" </dev/null >/dev/null 2>"$work/log"
    grep -qF "$3" "$work/log" || { cat "$work/log"; echo "LANG=$1 QUILLET_LANG=$2: no '$3'"; exit 1; }
    if grep -qF "$4" "$work/log"; then
        cat "$work/log"
        echo "LANG=$1 QUILLET_LANG=$2: '$4' shown"
        exit 1
    fi
}
run de_DE.UTF-8 "" "Saving the document..." "保存文档"
run zh_CN.UTF-8 "" "保存文档..." "Saving the document"
run zh_CN.UTF-8 en "Creating the table of contents..." "创建"
run en_US.UTF-8 zh_CN "创建文件..." "Creating the document"
echo "each language as chosen"
