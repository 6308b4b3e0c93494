#!/usr/bin/env bash
# Recompiles the bundled sample help file from its project with chmcmd (Debian fp-utils).
# The compiled file is kept in the repository so that converting it needs no compiler.
set -euo pipefail
cd "$(dirname "$0")/../samples/sample-project"
chmcmd sample.hhp
mv quillet-sample.chm ../quillet-sample.chm
echo "wrote samples/quillet-sample.chm"
