#!/usr/bin/env bash
# Installs what the fuzz targets need besides scripts/install-deps.sh: clang 14 and its runtime
# libraries (libFuzzer, AddressSanitizer, UBSan). Only those missing; CI's ordinary run needs
# neither.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
packages=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]} == 0)); then
    echo "install-fuzz-deps: all ${#packages[@]} packages present"
    exit 0
fi
echo "install-fuzz-deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
