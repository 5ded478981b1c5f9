#!/usr/bin/env bash
# Installs what is missing, builds Tidyfold and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDYFOLD_BUILD_TESTS=OFF >/dev/null
cmake --build build --target tidyfold -j"$(nproc)"
exec build/bin/tidyfold "$@"
