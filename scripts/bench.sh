#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in Release and prints every
# figure. Sandboxes go below $TIDYFOLD_BENCH_DIR (default /tmp) and are removed
# afterwards. Takes a few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIDYFOLD_BUILD_TESTS=OFF >/dev/null
targets=(bench_scan bench_transfer bench_archives)
if cmake --build "$build" --target help | grep -qw bench_window; then
    targets+=(bench_window)
fi
cmake --build "$build" --target "${targets[@]}" -j"${TIDYFOLD_BENCH_JOBS:-2}"

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
     "kernel $(uname -r), ${TIDYFOLD_BENCH_DIR:-/tmp} on $(stat -f -c %T "${TIDYFOLD_BENCH_DIR:-/tmp}")"

"$build/bin/bench_scan"
"$build/bin/bench_transfer"
"$build/bin/bench_archives"
if [[ -x "$build/bin/bench_window" ]]; then
    QT_QPA_PLATFORM=offscreen "$build/bin/bench_window"
else
    echo
    echo "== 5. window: not built (the Qt main window library is not part of this build)"
fi
