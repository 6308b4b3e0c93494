#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer + UBSan and runs every test, then builds
# the Debian package from the release preset and checks it (tests/packaging/deb_test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset asan -j "$(nproc 2>/dev/null || echo 2)"
tests/packaging/deb_test.sh
