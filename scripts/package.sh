#!/usr/bin/env bash
# Builds the Debian package tidyfold_<version>_<arch>.deb in build-package/,
# in its own Release build without tests or benchmarks. Its dependencies are
# computed from the libraries the program links. Prints the package's path
# as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --package

build="${TIDYFOLD_PACKAGE_DIR:-build-package}"
# Debian's own flags for packages (-O2, hardening: stack protector, fortified
# calls, read-only relocations) in place of CMake's Release -O3.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DTIDYFOLD_BUILD_TESTS=OFF -DTIDYFOLD_BUILD_BENCH=OFF -DTIDYFOLD_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/tidyfold_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/tidyfold_*.deb
