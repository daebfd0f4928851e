#!/usr/bin/env bash
# Fails when the media libraries are loaded anywhere but at a program's start: the desktop
# program's main() and its application object, and vantre-convert's entry. The media layer's
# own loader and its components' load calls are where loading is defined. A library folder
# is the application object's business too: no window or model takes one.
# With --self-test, plants a call in a copy of a small tree and expects to find it.
set -u

check() {
    local root=$1
    local allowed='/(main|VantreApp|VantreConvert|ConvertCommand)\.(cpp|h)$'
    local layer='/src/(media/(FFmpegLoader\.(cpp|h)|FFBaseComponent\.h)|player/CustomPlayer\.(cpp|h)|encoder/CustomFFEncoder\.(cpp|h))$'
    local calls='\bLoadLibraries[[:space:]]*\(|\bLoadLibrarySet[[:space:]]*\(|\bLoad(One)?[[:space:]]*\([[:space:]]*(TLibraryKind::|[A-Za-z]*Libraries\b)|\bSetLibraryFolder[[:space:]]*\('
    local folders='\b[lL]ibraryFolder\b'
    local files=0 found=""
    while IFS= read -r -d '' file; do
        files=$((files + 1))
        [[ $file =~ $layer ]] && continue
        # Comments say what they like.
        local text
        text=$(sed -e 's://.*$::' "$file")
        local hits
        if [[ ! $file =~ $allowed ]]; then
            hits=$(grep -nE "$calls|$folders" <<<"$text")
            [ -n "$hits" ] && found+=$(sed "s:^:$file\::" <<<"$hits")$'\n'
        fi
    done < <(find "$root/src" \( -name '*.cpp' -o -name '*.h' \) -print0)
    echo "checked $files source files"
    [ "$files" -gt 0 ] || { echo "no sources found in $root"; return 1; }
    if [ -n "$found" ]; then
        echo "libraries loaded (or a library folder taken) outside a program's start:"
        printf '%s' "$found"
        return 1
    fi
}

if [ "${1:-}" = "--self-test" ]; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/src/app/dialogs" "$scratch/src/player"
    printf 'int main() { vantre.LoadLibraries(folder); }\n' >"$scratch/src/app/main.cpp"
    printf 'bool TCustomPlayer::LoadLibraries(const std::string& f) { return LoadLibrarySet(s, f, e); }\n' \
        >"$scratch/src/player/CustomPlayer.cpp"
    printf '// Was: player_.LoadLibraries(libraryFolder_)\nvoid TfrmX::Show() { player_.Open(f); }\n' \
        >"$scratch/src/app/dialogs/WinX.cpp"
    check "$scratch" >/dev/null || { echo "self-test: a clean tree was refused"; exit 1; }
    for planted in 'if (!player_.LibrariesLoaded()) player_.LoadLibraries(folder_);' \
                   'loader.Load(PlayerLibraries);' \
                   'TfrmX(TJobList& jobs, std::string libraryFolder);'; do
        printf '%s\n' "$planted" >"$scratch/src/app/dialogs/WinX.cpp"
        if check "$scratch" >/dev/null; then
            echo "self-test: missed $planted"
            exit 1
        fi
    done
    echo "self-test: the planted calls were found"
    exit 0
fi

check "${1:?project folder}"
