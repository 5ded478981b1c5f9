#!/usr/bin/env bash
# The shell completion as `cmake --install` puts it: installed into a
# throw-away DESTDIR, each file must be where its shell finds it and offer
# exactly the options of `tidyfold --help`, with their words. bash always
# (bash-completion loads it by the command's name, as Tab would); zsh and
# fish where they are installed.
#
#   completion_test.sh <tidyfold> <build folder>
set -euo pipefail
program=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
same() { # what expected got
    [[ $2 == "$3" ]] || fail "$1: expected [$2], got [$3]"
}

DESTDIR="$scratch/root" cmake --install "$build" >/dev/null
found() {
    local files
    mapfile -t files < <(find "$scratch/root" -type f -path "$1")
    ((${#files[@]} == 1)) || { fail "one file $1 installed, found ${#files[@]}"; return 1; }
    echo "${files[0]}"
}
bash_file=$(found '*/bash-completion/completions/tidyfold')
zsh_file=$(found '*/zsh/*/_tidyfold')
fish_file=$(found '*/fish/vendor_completions.d/tidyfold.fish')

# The options of --help, "name<TAB>description" a line, each name alone.
help=$(env -i PATH=/usr/bin:/bin HOME=/nonexistent "$program" --help)
options=$(awk '
    function flush() { for (i = 1; i <= n; ++i) print names[i] "\t" text; n = 0 }
    /^Options:/ { on = 1; next }
    on && /^  -/ {
        flush()
        line = substr($0, 3)
        match(line, /  +/)
        n = split(substr(line, 1, RSTART - 1), names, /, /)
        text = substr(line, RSTART + RLENGTH)
        next
    }
    on && /^ +/ { sub(/^ +/, ""); text = text " " $0 }
    END { flush() }' <<<"$help" | sort)
long=$(cut -f1 <<<"$options" | grep -- '^--' | sort | tr '\n' ' ')
[[ $(wc -l <<<"$options") -ge 10 ]] || fail "--help lists too few options: $options"

# bash: the function itself, on chosen command lines.
complete_bash() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tidyfold
             ((${#COMPREPLY[@]} == 0)) || printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
        _ "$bash_file" tidyfold "$@"
}
same "bash: tidyfold --" "$long" "$(complete_bash --)"
same "bash: tidyfold --cl" "--clean --clean-unpacked " "$(complete_bash --cl)"
same "bash: tidyfold --help" "" "$(complete_bash --help '')"
same "bash: tidyfold --clean --dry-run" "--clean-unpacked --remove-empty " "$(complete_bash --clean --dry-run '')"
same "bash: tidyfold -" "$(cut -f1 <<<"$options" | sort | tr '\n' ' ')" "$(complete_bash -)"
# And bash-completion finds it by the command's name in the installed tree.
if [[ -f /usr/share/bash-completion/bash_completion ]]; then
    data=${bash_file%/bash-completion/completions/tidyfold}
    loaded=$(XDG_DATA_DIRS=$data bash -c 'source /usr/share/bash-completion/bash_completion
                                          __load_completion tidyfold && complete -p tidyfold')
    same "bash-completion loads it" "complete -F _tidyfold tidyfold" "$loaded"
else
    fail "bash-completion is not installed (scripts/deps.sh installs it)"
fi

# zsh: found by compinit in its folder; its _arguments lines name each
# option of --help with its description.
if command -v zsh >/dev/null; then
    zsh -n "$zsh_file" || fail "zsh: $zsh_file does not parse"
    same "zsh: compinit finds it" "_tidyfold" \
        "$(zsh -f -c 'fpath=("$1" $fpath); autoload -U compinit; compinit -u -D; print -r -- $_comps[tidyfold]' \
            _ "$(dirname "$zsh_file")")"
    specs=$(grep -- '\[' "$zsh_file" | sed -E "s/^ *//; s/ *\\\\$//; s/^'\\([^)]*\\)'//; s/^[\"']//; s/^\\([^)]*\\)//; s/[\"']$//" |
        awk '{ at = index($0, "["); names = substr($0, 1, at - 1); text = substr($0, at + 1, length($0) - at - 1)
               gsub(/[{}\047"]/, "", names); n = split(names, list, ","); for (i = 1; i <= n; ++i) print list[i] "\t" text }' |
        sort)
    same "zsh: options and descriptions" "$options" "$specs"
else
    echo "zsh is not installed: its completion is not checked"
fi

# fish: loaded on demand from its folder; offers the options with the words
# of --help.
if command -v fish >/dev/null; then
    fish -n "$fish_file" || fail "fish: $fish_file does not parse"
    # fish loads a completion only for a command it finds on PATH.
    complete_fish() {
        PATH="$(dirname "$program"):$PATH" fish --no-config \
            -c 'set fish_complete_path $argv[1]; complete -C "tidyfold $argv[2]"' "$(dirname "$fish_file")" "$1" | sort
    }
    same "fish: tidyfold --" "$(grep -- '^--' <<<"$options")" "$(complete_fish --)"
    same "fish: tidyfold --help --" "" "$(complete_fish '--help --')"
    same "fish: tidyfold --quiet --clean --" "--clean-unpacked --remove-empty" \
        "$(complete_fish '--quiet --clean --' | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
else
    echo "fish is not installed: its completion is not checked"
fi

((failures == 0)) || exit 1
echo "completion: bash$(command -v zsh >/dev/null && echo ", zsh")$(command -v fish >/dev/null && echo ", fish") offer the options of --help"
