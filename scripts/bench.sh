#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in Release and prints every
# figure. Sandboxes go below $TIDYFOLD_BENCH_DIR (default /tmp) and are removed
# afterwards. Takes a few minutes. build-bench/bin/bench_scan record repeats
# the figure of the desktop's record of opened files alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIDYFOLD_BUILD_TESTS=OFF >/dev/null
targets=(bench_scan bench_transfer bench_archives bench_drives)
if cmake --build "$build" --target help | grep -w bench_window >/dev/null; then
    targets+=(bench_window)
fi
log="$build/bench-build.log"
if ! cmake --build "$build" --target "${targets[@]}" -j"${TIDYFOLD_BENCH_JOBS:-2}" >"$log" 2>&1; then
    cat "$log"
    exit 1
fi

base=${TIDYFOLD_BENCH_DIR:-/tmp}
# Every sandbox of this run goes into folders of its own, removed however the
# run ends: an interrupted benchmark would otherwise leave 100,000 files.
run=$(mktemp -d "$base/tidyfold-bench.XXXXXX")
memory=""
if [[ -d /dev/shm && -w /dev/shm ]]; then
    memory=$(mktemp -d /dev/shm/tidyfold-bench.XXXXXX)
fi
trap 'rm -rf -- "$run" ${memory:+"$memory"}' EXIT
export TIDYFOLD_BENCH_DIR=$run
export TIDYFOLD_BENCH_MEMORY_DIR=$memory
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1), kernel $(uname -r)"
echo "sandboxes: $base, file system $(stat -f -c %T "$base")" \
     "($(findmnt -n -o FSTYPE,OPTIONS -T "$base" | tr -s " " 2>/dev/null || echo "mount unknown"))"

"$build/bin/bench_scan"
"$build/bin/bench_transfer"
"$build/bin/bench_archives"
"$build/bin/bench_drives"
if [[ -x "$build/bin/bench_window" ]]; then
    QT_QPA_PLATFORM=offscreen "$build/bin/bench_window"
else
    echo
    echo "== 5. window: not built (the Qt main window library is not part of this build)"
fi
