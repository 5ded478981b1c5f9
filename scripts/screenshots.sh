#!/usr/bin/env bash
# Saves pictures of the windows to screenshots/: the Preview of a pass on a
# throw-away Desktop, the main window before and after that pass, the pass's
# result box, the History window with the pass, and the pages of the Options
# dialog; again at twice the pixel density (screenshots/scale2)
# and in a dark palette (screenshots/dark). Runs the real windows on a
# virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --screenshots

build="${TIDYFOLD_BUILD_DIR:-build}"
# The tool is built with the tests; scripts/run.sh leaves them out of build/.
if [[ ! -f "$build/CMakeCache.txt" ]] || ! grep -q '^TIDYFOLD_BUILD_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDYFOLD_BUILD_TESTS=ON >/dev/null
fi
cmake --build "$build" --target screenshot_tool tidyfold -j"$(nproc)"

rm -rf screenshots
mkdir -p screenshots
shoot() {
    xvfb-run -a -s "-screen 0 2560x2048x24" env QT_QPA_PLATFORM=xcb "$@"
}
shoot "$build/bin/screenshot_tool" screenshots
# As on a screen of twice the pixel density: the icon and the banner must stay sharp.
shoot env QT_SCALE_FACTOR=2 "$build/bin/screenshot_tool" screenshots/scale2
# In a dark palette: every text must stay readable.
shoot "$build/bin/screenshot_tool" screenshots/dark --dark
