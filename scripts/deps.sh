#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tidyfold
# need, and only those that are missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config git
    qt6-base-dev libgl-dev libxcb1-dev
    libsimpleini-dev
    libarchive-dev libarchive-tools unzip
    libsqlite3-dev
    libblkid-dev libglib2.0-dev
    libgtest-dev libgmock-dev
    systemd desktop-file-utils dbus-daemon
    # man --warnings checks the man page; the shells check their completion.
    man-db bash-completion zsh fish
    clang libclang-rt-dev
    fonts-dejavu-core
    # The drive suites and figures make and mount images of the file systems
    # people offload to (loop devices; FUSE for exFAT, NTFS and FAT32).
    util-linux mount e2fsprogs btrfs-progs xfsprogs exfatprogs exfat-fuse ntfs-3g dosfstools fusefat fuse3
)
for group in "$@"; do
    case "$group" in
        --screenshots) packages+=(xvfb xauth x11-apps imagemagick) ;;
        # Building the .deb, installing it and checking it (scripts/package-check.sh).
        --package) packages+=(dpkg-dev file desktop-file-utils appstream lintian xvfb xauth xdotool) ;;
        # Rendering the SVG pictures into PNG files (scripts/render-art.sh).
        --art) packages+=(librsvg2-bin) ;;
        *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
