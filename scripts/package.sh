#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds what the package holds with the
# release preset (the programs and the manual page, not the tests) and packs it with CPack
# (cmake/Packaging.cmake). The package is written to build/release/; its path is the one line
# this script prints on standard output, everything else goes to standard error.
# Install it with: sudo apt install ./build/release/quillet_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release -j "$jobs" --target quillet_installed >&2
cd build/release
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cpack -G DEB >"$log" 2>&1; then
    cat "$log" >&2
    echo "package: cpack failed" >&2
    exit 1
fi
cat "$log" >&2
# CPack names what it wrote: "CPack: - package: /path/quillet_0.1.0_amd64.deb generated."
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log")
if [[ -z $deb || ! -f $deb ]]; then
    echo "package: cpack did not say which package it wrote" >&2
    exit 1
fi
echo "$deb"
