# bash completion for tidyfold                             -*- shell-script -*-
# The options are those of `tidyfold --help`; tests/app/completion_test.sh
# checks the two against each other.

_tidyfold()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local word given=" "
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        given+="$word "
    done
    COMPREPLY=()
    # --help and --version stand alone; nothing else goes with them.
    case $given in
        *" -h "* | *" --help "* | *" -v "* | *" --version "*) return ;;
    esac
    local -a offered=()
    if [[ $given == " " ]]; then
        offered+=(--help --version)
    fi
    for word in --clean --clean-unpacked --remove-empty; do
        [[ $given == *" $word "* ]] || offered+=("$word")
    done
    # A quiet run acts, a dry run only tells: one or the other.
    case $given in
        *" -q "* | *" --quiet "* | *" --dry-run "*) ;;
        *) offered+=(--quiet --dry-run) ;;
    esac
    if [[ $cur == -[!-]* || $cur == - ]]; then
        [[ $given == " " ]] && offered+=(-h -v)
        [[ ${offered[*]} == *--quiet* ]] && offered+=(-q)
    fi
    mapfile -t COMPREPLY < <(compgen -W "${offered[*]}" -- "$cur")
} &&
    complete -F _tidyfold tidyfold
