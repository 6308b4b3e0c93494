#!/usr/bin/env bash
# Configures and builds one preset: "release" (default) or "asan" (AddressSanitizer + UBSan,
# warnings as errors). Usage: scripts/build.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$jobs"
