#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) in build-fuzz and runs each for a bounded
# time: TIDYFOLD_FUZZ_SECONDS per reader, 60 by default. Readers may be named
# as arguments (settings, archive_list, rtf, keep_list, keep_match,
# recent_files); all run by default.
#
# Seeds come from tests/fuzz/corpus/<reader>/; what the fuzzer learns stays
# in build-fuzz/corpus/<reader>/. An input that crashes or hangs a reader is
# saved in tests/fuzz/regressions/<reader>/: commit it with the fix, and
# every ordinary test run replays it (the fuzz_replay_* tests).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${TIDYFOLD_FUZZ_SECONDS:-60}
# A fixed seed keeps a test run repeatable; set TIDYFOLD_FUZZ_SEED=0 for a
# fresh random one when hunting.
seed=${TIDYFOLD_FUZZ_SEED:-1}
readers=("$@")
if ((${#readers[@]} == 0)); then
    readers=(settings archive_list rtf keep_list keep_match recent_files)
fi
build=build-fuzz
sanitizers="address,undefined"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTIDYFOLD_FUZZ=ON -DTIDYFOLD_BUILD_UI=OFF -DTIDYFOLD_BUILD_TESTS=OFF -DTIDYFOLD_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,$sanitizers -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$sanitizers" >/dev/null
cmake --build "$build" -j"$(( $(nproc) < 2 ? $(nproc) : 2 ))" --target "${readers[@]/#/fuzz_}"

failed=()
for reader in "${readers[@]}"; do
    work="$build/corpus/$reader"
    regressions="tests/fuzz/regressions/$reader"
    mkdir -p "$work" "$regressions"
    echo "== fuzzing the $reader reader for ${seconds}s"
    if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
        "$build/bin/fuzz_$reader" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
        -max_len=16384 -print_final_stats=1 -artifact_prefix="$regressions/" \
        "$work" "tests/fuzz/corpus/$reader" 2>"$build/fuzz_$reader.log"; then
        tail -n 40 "$build/fuzz_$reader.log"
        failed+=("$reader")
    else
        grep -E "^stat::number_of_executed_units|^Done" "$build/fuzz_$reader.log" || true
    fi
done

if ((${#failed[@]} > 0)); then
    echo "fuzzing found failures in: ${failed[*]} (inputs saved in tests/fuzz/regressions/)"
    exit 1
fi
