#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillet needs, and any named as
# arguments, only those missing. Safe to run again: with everything present it changes nothing
# and needs no network.
# usage: install-deps.sh [PACKAGE...]
set -euo pipefail

packages=(
    build-essential
    cmake
    pkg-config
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    libmspack-dev     # quillet-hh unpacks help files with it
    nlohmann-json3-dev  # the command line's --json output
    libcli11-dev      # the command line's options, their checks and --help, declared once
    libzip-dev        # the document engine writes .docx packages
    libpugixml-dev    # ... and their XML parts
    libstb-dev        # picture sizes
    libgumbo-dev      # the engine reads topic pages with a browser-grade HTML parser
    libgmime-3.0-dev  # topics that are web archives (.mht) are MIME documents: GMime decodes them
    libicu-dev        # language tags of the help file's language identifier, line breaks, sorting the index
    libharfbuzz-dev   # the engine measures text: HarfBuzz shapes it ...
    libfontconfig-dev # ... in the fonts fontconfig finds
    fonts-liberation2 # ... metric-compatible with Arial, Times New Roman, Courier New
    fonts-crosextra-carlito  # ... with Calibri
    fonts-crosextra-caladea  # ... with Cambria
    fonts-noto-cjk    # ... and Chinese, Japanese and Korean text
    qt6-base-dev      # the desktop windows
    qt6-tools-dev     # Qt Linguist for CMake: the interface in the user's language
    qt6-l10n-tools    # ... lupdate and lrelease
    fonts-wqy-microhei  # the windows' Chinese captions render on a fresh machine
    xvfb              # screenshots of the windows
    xauth
    python3-docx      # tests read our .docx with a program not written here
    libreoffice-writer-nogui  # .doc and PDF output, and tests convert our .docx with it
    python3-uno       # PDF output has LibreOffice update the contents' page numbers first
    fp-utils          # chmcmd builds the help-file fixtures of the tests
    libchm-bin        # extract_chmLib: a second unpacker the tests compare with
    unzip             # tests open the .docx packages
    xz-utils          # ... and compare their parts with the kept ones
    poppler-utils     # pdftotext and pdftoppm: checking the PDF that LibreOffice makes of them
    qpdf              # ... and its bookmarks (qpdf --json lists them with their pages)
    default-jdk-headless  # the Office Open XML schema check of the documents (oxcheck) ...
    libxmlbeans-java      # ... validates with XMLBeans ...
    libapache-poi-java    # ... and opens the package with Apache POI
    dpkg-dev          # the Debian package: dpkg-shlibdeps works out its Depends line
    file              # ... on the programs that CPack finds with it
    appstream         # tests validate the package's AppStream metainfo
    man-db            # ... and render its manual page
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
