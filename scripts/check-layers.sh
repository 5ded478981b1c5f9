#!/usr/bin/env bash
# Fails when a folder includes a layer above it, or when the core or the RTF
# reader includes Qt. The build's include paths already refuse such a line;
# this names it. The layers, bottom first:
#
#   base < fs < shell < settings < engine < history < ui < app
#
# The core (base, fs, shell, settings, engine, history) is plain C++ and POSIX, and
# ui/rtf stands alone. The whole rule for the core as one grep:
#
#   grep -rnE '#include [<"](Q|ui/|app/)' base fs shell settings engine history ui/rtf
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(base fs shell settings engine history ui app)
core=(base fs shell settings engine history)
failed=0

complain() {
    echo "layer check: $1" >&2
    failed=1
}

for ((i = 0; i < ${#layers[@]}; i++)); do
    folder=${layers[i]}
    [[ -d $folder ]] || continue
    above=("${layers[@]:i+1}")
    if [[ $folder == ui ]]; then
        files=$(find ui -path ui/rtf -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print)
    else
        files=$(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \))
    fi
    [[ -n $files ]] || continue
    for higher in "${above[@]}"; do
        while IFS= read -r line; do
            [[ -n $line ]] && complain "$folder includes the higher layer $higher: $line"
        done < <(grep -nE "#include [<\"]$higher/" $files || true)
    done
done

while IFS= read -r line; do
    [[ -n $line ]] && complain "Qt or a front end in the core: $line"
done < <(grep -rnE '#include [<"](Q|ui/|app/)' "${core[@]}" || true)

while IFS= read -r line; do
    [[ -n $line ]] && complain "the RTF reader must stand alone: $line"
done < <(grep -rnE '#include [<"](Q|base/|fs/|shell/|settings/|engine/|history/|app/)' ui/rtf || true)

if ((failed)); then
    exit 1
fi
echo "layer check: every folder includes only itself and the layers below it"
