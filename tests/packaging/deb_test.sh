#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh (or takes the one named) and checks it from
# outside the build: its control fields, its files under /usr, and its programs run from a copy
# unpacked with dpkg -x, where quillet must convert the sample help file with the quillet-hh
# beside it and not one found on PATH.
# usage: tests/packaging/deb_test.sh [PACKAGE.deb]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM HUP

fail() {
    echo "deb_test: $*" >&2
    exit 1
}

deb=${1:-}
if [[ -z $deb ]]; then
    deb=$("$top/scripts/package.sh")
fi
[[ -f $deb ]] || fail "no package at '$deb'"
echo "deb_test: checking $deb"

# ---- Name and control fields ----
version=$(sed -n 's/^project(Quillet VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[[ -n $version ]] || fail "no version in CMakeLists.txt"
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "quillet_${version}_${arch}.deb" ]] ||
    fail "the package is named $(basename "$deb"), not quillet_${version}_${arch}.deb"
dpkg-deb -I "$deb" >"$work/control"
field() { # the value of one control field, as dpkg-deb -I shows it
    sed -n "s/^ $1: //p" "$work/control"
}
[[ $(field Package) == quillet ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture is '$(field Architecture)'"
# The package names in Depends, one a line, without their versions.
field Depends | sed 's/[,|]/\n/g' | awk 'NF { print $1 }' >"$work/depends"
# dpkg-shlibdeps read every program: the windows' Qt, the unpacker's libmspack, the engine's
# libzip and the text measure's HarfBuzz and fontconfig; the fonts it measures Office's in come
# along.
for library in libqt6widgets6 libqt6core6 libmspack0 libzip4 libharfbuzz0b libfontconfig1 libc6 \
    fonts-liberation2; do
    grep -qx "$library" "$work/depends" || fail "Depends lacks $library: $(field Depends)"
done
for font in fonts-crosextra-carlito fonts-crosextra-caladea fonts-noto-cjk; do
    [[ $(field Recommends) == *$font* ]] || fail "Recommends lacks $font: $(field Recommends)"
done
[[ $(field Suggests) == *libreoffice-writer* ]] || fail "Suggests lacks libreoffice-writer"
[[ $(field Suggests) == *python3-uno* ]] || fail "Suggests lacks python3-uno"
[[ -n $(field Maintainer) && -n $(field Section) ]] || fail "no Maintainer or Section"

# ---- Files ----
root=$work/root
dpkg -x "$deb" "$root"
[[ $(ls -A "$root") == usr ]] || fail "the package installs outside /usr: $(ls -A "$root")"
expected=(
    usr/bin/quillet
    usr/bin/quillet-hh
    usr/bin/quillet-gui
    usr/share/applications/quillet.desktop
    usr/share/icons/hicolor/scalable/apps/quillet.svg
    usr/share/metainfo/io.github.quillet.metainfo.xml
    usr/share/man/man1/quillet.1.gz
)
for f in "${expected[@]}"; do
    [[ -f $root/$f ]] || fail "the package lacks /$f"
done
for program in quillet quillet-hh quillet-gui; do
    binary=$root/usr/bin/$program
    [[ -x $binary ]] || fail "/usr/bin/$program is not executable"
    # No run path at all: the programs link system libraries only, and one into the build
    # folder would load the build's libraries, or none on another machine.
    if readelf -d "$binary" | grep -E '\((RPATH|RUNPATH)\)'; then
        fail "/usr/bin/$program has a run path"
    fi
    [[ $(file -b "$binary") == *", stripped"* ]] || fail "/usr/bin/$program is not stripped"
    if ldd "$binary" | grep 'not found'; then
        fail "/usr/bin/$program needs a library that is not installed"
    fi
done

# The desktop entry starts the packaged program on the chosen file, and names its icon.
desktop=$root/usr/share/applications/quillet.desktop
grep -qx 'Exec=quillet-gui %f' "$desktop" || fail "the desktop entry's Exec is not 'quillet-gui %f'"
grep -qx 'Icon=quillet' "$desktop" || fail "the desktop entry's icon is not quillet"
mimetypes=$(sed -n 's/^MimeType=//p' "$desktop")
for type in application/vnd.ms-htmlhelp application/x-chm; do
    [[ ";$mimetypes" == *";$type;"* ]] || fail "the desktop entry's MimeType lacks $type"
done

# The metainfo is valid and launches the desktop entry the package holds.
metainfo=$root/usr/share/metainfo/io.github.quillet.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log"
    fail "the metainfo does not validate"
}
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[[ -f $root/usr/share/applications/$launchable ]] ||
    fail "the metainfo launches '$launchable', which the package does not hold"

# The manual page renders without warnings and describes every option that --help lists.
man_page=$root/usr/share/man/man1/quillet.1.gz
gzip -t "$man_page" || fail "the manual page is not a gzip file"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" >"$work/man.txt" 2>"$work/man.log"
[[ ! -s $work/man.log ]] || fail "the manual page renders with warnings: $(cat "$work/man.log")"
grep -q '^NAME' "$work/man.txt" || fail "the manual page renders without a NAME section"
zcat "$man_page" | sed 's/\\-/-/g; s/\\f[BIRP]//g' >"$work/man.source"

# ---- The programs, run from the unpacked copy ----
# A clean environment: PATH holds neither the build folder nor the unpacked one, and its first
# folder holds a quillet-hh that only records that it ran. quillet must take the one beside it.
mkdir -p "$work/decoy" "$work/tmp" "$work/home" "$work/out"
cat >"$work/decoy/quillet-hh" <<DECOY
#!/bin/sh
echo "\$@" > '$work/decoy-ran'
exit 1
DECOY
chmod +x "$work/decoy/quillet-hh"
run() { # PROGRAM ARGUMENTS...: runs the unpacked /usr/bin/PROGRAM
    local program=$1
    shift
    env -i HOME="$work/home" PATH="$work/decoy:/usr/bin:/bin" TMPDIR="$work/tmp" \
        LC_ALL=C.UTF-8 "$root/usr/bin/$program" "$@"
}

[[ $(run quillet --version) == "quillet $version" ]] ||
    fail "quillet --version says '$(run quillet --version)', not 'quillet $version'"

run quillet --help >"$work/help.txt"
options=$(grep -oE -- '--[a-z][a-z-]*' "$work/help.txt" | sort -u)
for known in --output --max-entries --json; do
    grep -qx -- "$known" <<<"$options" || fail "no $known among the options --help lists"
done
for option in $options; do
    grep -qE -- "$option([^a-z-]|$)" "$work/man.source" ||
        fail "the manual page does not describe $option"
done
for command in info contents distill convert; do
    grep -q "^\.B $command " "$work/man.source" || fail "the manual page lacks the command $command"
done

sample=$top/samples/quillet-sample.chm
run quillet distill "$sample" "$work/distilled" >/dev/null 2>"$work/distill.log" || {
    cat "$work/distill.log"
    fail "the packaged quillet cannot distil the sample"
}
run quillet convert "$sample" -o "$work/out/sample.docx" </dev/null >"$work/convert.log" 2>&1 || {
    cat "$work/convert.log"
    fail "the packaged quillet cannot convert the sample"
}
[[ ! -e $work/decoy-ran ]] || fail "quillet ran the quillet-hh on PATH, not the one beside it"
unzip -Z1 "$work/out/sample.docx" >"$work/parts" || fail "the document is not a zip package"
grep -qx 'word/document.xml' "$work/parts" || fail "the document has no word/document.xml"
/usr/bin/python3 "$top/tests/cli/check_docx.py" "$work/out/sample.docx" \
    "$work/distilled/contents.json" --toc --header --footer
if [[ -n $(ls -A "$work/tmp") ]]; then
    fail "the packaged quillet left files in its temporary folder: $(ls -A "$work/tmp")"
fi
echo "deb_test: the package is sound"
