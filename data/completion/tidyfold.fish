# fish completion for tidyfold. The options and their descriptions are those
# of `tidyfold --help`; tests/app/completion_test.sh checks them.

# --help and --version stand alone: offered only as the first argument, and
# nothing after them.
function __tidyfold_first
    test (count (commandline -opc)) -eq 1
end
function __tidyfold_operation
    not __fish_seen_argument -s h -l help -s v -l version
end

complete -c tidyfold -f
complete -c tidyfold -s h -l help -n '__tidyfold_first' -d 'Show this help and end.'
complete -c tidyfold -s v -l version -n '__tidyfold_first' -d 'Show the version and end.'
complete -c tidyfold -l clean -n '__tidyfold_operation; and not __fish_seen_argument -l clean' -d 'Clean the Desktop once with the saved options, as the Clean Desktop button does.'
complete -c tidyfold -l clean-unpacked -n '__tidyfold_operation; and not __fish_seen_argument -l clean-unpacked' -d 'Remove folders unpacked beside their archives, as Clean Uncompressed Folders does.'
complete -c tidyfold -l remove-empty -n '__tidyfold_operation; and not __fish_seen_argument -l remove-empty' -d "Remove the Desktop's empty folders, as Remove Empty Folders does."
complete -c tidyfold -s q -l quiet -n '__tidyfold_operation; and not __fish_seen_argument -s q -l quiet -l dry-run' -d 'Print only errors, and show a desktop notification when files were moved or could not be (for automatic runs).'
complete -c tidyfold -l dry-run -n '__tidyfold_operation; and not __fish_seen_argument -s q -l quiet -l dry-run' -d 'Print what the operations would do, one line per action, and change nothing at all.'
