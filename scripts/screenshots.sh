#!/usr/bin/env bash
# Saves pictures of the windows to screenshots/: the main window before and
# after a pass on a throw-away Desktop, the pass's result box, and both pages
# of the Options dialog. Runs the real windows on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --screenshots

build="${TIDYFOLD_BUILD_DIR:-build}"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target screenshot_tool tidyfold -j"$(nproc)"

rm -rf screenshots
mkdir -p screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
    "$build/bin/screenshot_tool" screenshots
