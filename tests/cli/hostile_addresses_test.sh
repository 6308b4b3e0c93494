#!/usr/bin/env bash
# A help file whose contents and pages point outside the working folder, in every form an address
# can take, converted end to end. A victim folder lies beside the working folder: after the
# conversion its files have the same bytes and times, and none of their text is in the document.
# usage: hostile_addresses_test.sh BIN_FOLDER
set -euo pipefail
bin=$1
command -v chmcmd >/dev/null || {
    echo "SKIPPED: chmcmd is not installed"
    exit 0
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
victim=$TMPDIR/victim
project=$work/project
mkdir -p "$victim" "$project"

# The forms an address that leaves the folder can take; VICTIM stands for the victim's folder
# seen from the working folder, FILE for the victim file of the case.
forms=(
    'slash-dotdot|/../victim/FILE'
    'backslash-dotdot|\..\victim\FILE'
    'percent-dotdot|%2e%2e/victim/FILE'
    'slash-percent-dotdot|/%2E%2E/victim/FILE'
    'dotdot|../victim/FILE'
    'ms-its-own|ms-its:hostile.chm::/../victim/FILE'
    'msitstore-own|mk:@MSITStore:hostile.chm::/../victim/FILE'
    'its-backslash|ms-its:hostile.chm::\..\victim\FILE'
    'absolute|ABSOLUTE/FILE'
    'file-url|file://ABSOLUTE/FILE'
    'drive-letter|C:\..\victim\FILE'
)
places=(local ahref linkhref img)

address() { # form-template file
    local a=${1//FILE/$2}
    echo "${a//ABSOLUTE/$victim}"
}

{
    echo '<HTML><BODY><UL>'
    echo '<LI><OBJECT type="text/sitemap"><param name="Name" value="Home"><param name="Local" value="index.htm"></OBJECT>'
} >"$project/hostile.hhc"
links=""
for entry in "${forms[@]}"; do
    form=${entry%%|*}
    template=${entry#*|}
    for place in "${places[@]}"; do
        case_name="$place-$form"
        # Each case has its own victim page (with a hidden paragraph and a justified one, which
        # distillation would rewrite) and its own style sheet and picture.
        cat >"$victim/$case_name.htm" <<EOF
<html><head><title>LEAKTITLE $case_name</title></head><body>
<p style="display:none">LEAKHIDDEN $case_name</p><p align="justify">LEAKTEXT $case_name</p>
</body></html>
EOF
        printf 'p { display: none; text-align: justify } /* LEAKCSS %s */\n' "$case_name" \
            >"$victim/$case_name.css"
        cp "$victim/$case_name.htm" "$victim/$case_name.gif"
        case $place in
        local)
            echo "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Entry $case_name\"><param name=\"Local\" value=\"$(address "$template" "$case_name.htm")\"></OBJECT>" \
                >>"$project/hostile.hhc"
            ;;
        ahref) links+="<p><a href=\"$(address "$template" "$case_name.htm")\">link $case_name</a></p>"$'\n' ;;
        linkhref) links+="<link rel=\"stylesheet\" href=\"$(address "$template" "$case_name.css")\">"$'\n' ;;
        img) links+="<p><img src=\"$(address "$template" "$case_name.gif")\" alt=\"picture\"></p>"$'\n' ;;
        esac
    done
done
echo '</UL></BODY></HTML>' >>"$project/hostile.hhc"
cat >"$project/index.htm" <<EOF
<html><head><title>Home</title></head><body>
<p>The home page.</p>
$links
</body></html>
EOF
cat >"$project/hostile.hhp" <<'EOF'
[OPTIONS]
Compiled file=hostile.chm
Contents file=hostile.hhc
Default topic=index.htm
Title=Hostile addresses

[FILES]
index.htm
EOF
(cd "$project" && chmcmd hostile.hhp >"$work/chmcmd.log" 2>&1) || true
[[ -s $project/hostile.chm ]] || {
    cat "$work/chmcmd.log"
    exit 1
}

fingerprint() { (cd "$victim" && find . -type f -printf '%p %s %T@\n' | sort && sha256sum ./*); }
before=$(fingerprint)

status=0
"$bin/quillet" convert "$project/hostile.chm" -o "$work/out/hostile.docx" --no-cover \
    </dev/null >"$work/convert.log" 2>&1 || status=$?
if ((status != 0)); then
    cat "$work/convert.log"
    echo "quillet convert exited with $status"
    exit 1
fi

after=$(fingerprint)
if [[ $before != "$after" ]]; then
    echo "the victim folder changed:"
    diff <(echo "$before") <(echo "$after") || true
    exit 1
fi
leaks=$(/usr/bin/python3 - "$work/out/hostile.docx" <<'EOF'
import re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    text = " ".join(z.read(n).decode("utf-8", "replace") for n in z.namelist())
print("\n".join(sorted(set(re.findall(r"LEAK[A-Z]+ [a-z-]+", text)))))
EOF
)
# No link may lead to the victim either: refused links stay text, and what is left of the others
# is a name inside the help file (no "..", no absolute path, no "file:").
if /usr/bin/python3 - "$work/out/hostile.docx" <<'EOF'
import re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    rels = z.read("word/_rels/document.xml.rels").decode("utf-8")
targets = [t for t in re.findall(r'Target="([^"]*)"', rels) if "victim" in t]
bad = [t for t in targets if t.startswith("/") or ".." in t or t.lower().startswith("file:")]
if bad:
    print("\n".join(bad))
sys.exit(0 if bad else 1)
EOF
then
    echo "a link in the document leads to the victim folder"
    exit 1
fi
if [[ -n $leaks ]]; then
    echo "text from outside the help file reached the document:"
    echo "$leaks"
    exit 1
fi
for entry in "${forms[@]}"; do
    grep -q "Entry local-${entry%%|*}" <(/usr/bin/python3 -c '
import sys, zipfile
print(zipfile.ZipFile(sys.argv[1]).read("word/document.xml").decode())' "$work/out/hostile.docx") || {
        echo "the refused entry local-${entry%%|*} lost its heading"
        exit 1
    }
done
if [[ -n $(ls -A "$TMPDIR" | grep -v '^victim$') ]]; then
    echo "left behind in the temporary folder:"
    ls -A "$TMPDIR"
    exit 1
fi
echo "victim folder untouched, nothing leaked (${#forms[@]} forms x ${#places[@]} places)"
