#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample help file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
mkdir -p build/sample
build/release/bin/quillet convert samples/quillet-sample.chm -o build/sample/quillet-sample.docx
echo "The document is $(pwd)/build/sample/quillet-sample.docx"
