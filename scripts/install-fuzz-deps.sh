#!/usr/bin/env bash
# Installs what the fuzz targets need besides what scripts/install-deps.sh installs: clang 14
# and its runtime libraries (libFuzzer, AddressSanitizer, UBSan). Only those missing; CI's
# ordinary run needs neither.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/install-deps.sh clang-14 libclang-rt-14-dev
