#!/usr/bin/env bash
# A disk that fills up: the temporary folder, then the output's folder, on a small tmpfs of every
# size from one page up to more than the run needs. Each run either writes a whole document or
# ends with one clear line on standard error; it leaves the tmpfs as it found it and an old
# document unchanged.
# usage: full_disk_test.sh BIN_FOLDER FILE.chm
set -euo pipefail
bin=$(cd "$1" && pwd)
chm=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Mounting a tmpfs needs a mount namespace of our own: as root, or as the root of a user namespace.
if unshare --mount --propagation private true 2>/dev/null; then
    enter=(unshare --mount --propagation private)
elif unshare --user --map-root-user --mount true 2>/dev/null; then
    enter=(unshare --user --map-root-user --mount)
else
    echo "SKIPPED: cannot make a mount namespace here for a small tmpfs"
    exit 0
fi

# Runs one conversion with the tmpfs of SIZE KiB as the folder WHERE (tmp or out) and checks it.
cat >"$work/one_run.sh" <<'RUN'
set -uo pipefail
bin=$1 chm=$2 work=$3 where=$4 size=$5
disk=$work/disk
mkdir -p "$disk" "$work/big"
mount -t tmpfs -o "size=${size}k" tmpfs "$disk" || exit 3
if [[ $where == tmp ]]; then tmp=$disk out=$work/big; else tmp=$work/big out=$disk; fi
mkdir -p "$tmp/t"
printf 'old document' >"$out/doc.docx"
TMPDIR=$tmp/t "$bin/quillet" convert "$chm" -o "$out/doc.docx" </dev/null >/dev/null \
    2>"$work/err.log"
status=$?
fail() {
    echo "$where on ${size}k: $*"
    cat "$work/err.log"
    umount "$disk"
    exit 1
}
case $status in
0)
    /usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).testzip()' \
        "$out/doc.docx" 2>/dev/null || fail "the document written is not whole"
    ;;
1)
    [[ $(cat "$out/doc.docx") == "old document" ]] || fail "the old document changed"
    [[ $(grep -v '^\[' "$work/err.log" | grep -c .) -ge 1 ]] || fail "no error line"
    grep -qiE 'no space left|bytes free' "$work/err.log" ||
        fail "the error does not say the disk is full"
    ;;
*) fail "exit status $status" ;;
esac
left=$(ls -A "$tmp/t"; ls -A "$out" | grep -vx doc.docx || true)
[[ -z $left ]] || fail "left behind: $left"
umount "$disk"
rm -rf "$work/big"
echo "$where ${size}k: status $status $(grep -v "^\\[" "$work/err.log" | head -1)"
RUN

for where in tmp out; do
    for size in 4 8 12 16 20 24 32 40 48 52 56 60 64 96 128 256; do
        "${enter[@]}" bash "$work/one_run.sh" "$bin" "$chm" "$work" "$where" "$size"
    done
done
