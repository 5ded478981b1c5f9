#!/usr/bin/env bash
# The packaging stage of the test command: builds the Debian package
# (scripts/package.sh), installs it with dpkg, checks that the installed
# program starts and saves its settings under $XDG_CONFIG_HOME/tidyfold of a
# throw-away home, that bash finds its completion, that the launcher and the
# metadata validate and that lintian finds no error, then removes the package
# again. Needs root (or sudo) for dpkg; a tidyfold package installed before
# is replaced and removed.
set -euo pipefail
cd "$(dirname "$0")/.."

# Run by this script under Xvfb: starts the installed program, opens
# File > Options by its shortcut and clicks Apply, which saves at once.
drive_options_apply() {
    # On the X server, whatever platform the caller's tests use.
    QT_QPA_PLATFORM=xcb /usr/bin/tidyfold &
    local pid=$! main dialog WIDTH HEIGHT
    main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tidyfold - Beta$' | head -n 1) ||
        { echo "no main window within 20 seconds" >&2; kill "$pid"; return 1; }
    # Without a window manager, focus is given directly.
    xdotool windowfocus --sync "$main"
    xdotool key ctrl+o
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Options$' | head -n 1) ||
        { echo "no Options dialog within 20 seconds of Ctrl+O" >&2; kill "$pid"; return 1; }
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    # Apply is the last button of the row at the dialog's bottom right; any
    # style's margins and button sizes put this point inside it.
    xdotool mousemove --window "$dialog" $((WIDTH - 46)) $((HEIGHT - 24)) click 1
    for _ in $(seq 50); do
        [[ -f $HOME/.config/tidyfold/settings.ini ]] && break
        sleep 0.1
    done
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
if [[ ${1:-} == --drive-options-apply ]]; then
    drive_options_apply
    exit 0
fi

scripts/deps.sh --package

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi

scratch=$(mktemp -d)
installed=0
cleanup() {
    if ((installed)); then
        dpkg_waiting -r tidyfold || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "package check: $1" >&2
    exit 1
}

# dpkg refuses at once while another install holds its lock (the machine is
# shared); wait for it, up to two minutes.
dpkg_waiting() {
    local out
    for _ in $(seq 60); do
        if out=$($sudo dpkg "$@" 2>&1); then
            return 0
        fi
        if [[ $out != *"lock"* ]]; then
            echo "$out" >&2
            return 1
        fi
        sleep 2
    done
    echo "$out" >&2
    return 1
}

echo "== package: build"
deb=$(scripts/package.sh | tail -n 1)
[[ -f $deb ]] || fail "no package was built"
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

echo "== package: lintian"
# --fail-on error: warnings are printed, errors fail the stage.
lintian --fail-on error --tag-display-limit 0 "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
    fail "lintian reports errors"

echo "== package: install"
installed=1
dpkg_waiting -i "$deb" || fail "dpkg -i $deb"
[[ -x /usr/bin/tidyfold ]] || fail "/usr/bin/tidyfold is missing after installing"

echo "== package: launcher and metadata"
desktop-file-validate /usr/share/applications/org.tidyfold.Tidyfold.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.tidyfold.Tidyfold.metainfo.xml >/dev/null ||
    fail "appstreamcli validate"
for size in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
    ls /usr/share/icons/hicolor/$size/apps/org.tidyfold.Tidyfold.* >/dev/null || fail "no $size icon"
done

echo "== package: shell completion"
for file in /usr/share/bash-completion/completions/tidyfold /usr/share/zsh/vendor-completions/_tidyfold \
    /usr/share/fish/vendor_completions.d/tidyfold.fish; do
    [[ -f $file ]] || fail "$file is missing after installing"
done
# As Tab in bash finds it: by the command's name.
loaded=$(bash -c 'source /usr/share/bash-completion/bash_completion; __load_completion tidyfold && complete -p tidyfold') ||
    true
[[ $loaded == "complete -F _tidyfold tidyfold" ]] || fail "bash-completion does not load the completion of tidyfold"

echo "== package: the installed program starts"
home="$scratch/home"
mkdir -p "$home"
export HOME="$home"
unset XDG_CONFIG_HOME
version=$(dpkg-deb -f "$deb" Version)
if [[ -f app/CommandLine.cpp ]]; then
    out=$(/usr/bin/tidyfold --version) || fail "tidyfold --version failed"
    [[ $out == *"$version"* ]] || fail "tidyfold --version printed '$out', not $version"
else
    QT_QPA_PLATFORM=offscreen /usr/bin/tidyfold &
    pid=$!
    sleep 2
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended within 2 seconds of starting"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
fi

echo "== package: a settings save lands in ~/.config/tidyfold"
# A real X server (Xvfb) and real input (xdotool), as a user would: the
# offscreen platform takes no input from outside the program.
xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --drive-options-apply >"$scratch/save.log" 2>&1 ||
    { cat "$scratch/save.log" >&2; fail "the Options dialog could not be driven"; }
settings="$home/.config/tidyfold/settings.ini"
[[ -f $settings ]] || { cat "$scratch/save.log" >&2; fail "no $settings after Apply"; }
grep -q '^\[TYFL\]' "$settings" || fail "$settings holds no [TYFL] section"
[[ $(stat -c %a "$home/.config/tidyfold") == 700 ]] || fail "$home/.config/tidyfold is not private (0700)"
for beside in /usr/bin/settings.ini /usr/share/tidyfold/settings.ini /usr/bin/compressed.lst; do
    [[ ! -e $beside ]] || fail "the installed program wrote $beside"
done

echo "== package: remove"
dpkg_waiting -r tidyfold || fail "dpkg -r tidyfold"
installed=0
[[ ! -e /usr/bin/tidyfold && ! -e /usr/share/tidyfold ]] || fail "files left after removing the package"
echo "package check: $(basename "$deb") builds, installs, starts, saves under ~/.config/tidyfold, validates, removes"
