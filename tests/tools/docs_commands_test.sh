#!/usr/bin/env bash
# The README and docs/ as a reader follows them:
# - every fenced sh block marked runnable (the line "<!-- runnable -->" just
#   above its fence) runs as written and exits 0, from the top of a tree that
#   stands for a fresh clone with this native build in build/native: the
#   blocks of one file run in order in one such tree, so a later block may use
#   what an earlier one wrote;
# - every sh block is valid shell;
# - every repository path the texts name (in a sh block or between backticks,
#   under one of the source folders) exists, as named or with an extension,
#   and every relative link leads to a file; generated places (build/) and
#   patterns (*, NAME, PRESET) are not paths.
#   docs_commands_test.sh SOURCE_DIR NATIVE_BUILD_DIR [FILE.md...]
# Without FILE.md: README.md and docs/*.md.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 SOURCE_DIR NATIVE_BUILD_DIR [FILE.md...]" >&2; exit 2; }
src=$(realpath "$1") build=$(realpath "$2")
shift 2
docs=("$@")
if [ ${#docs[@]} -eq 0 ]; then
    docs=("$src/README.md")
    for f in "$src"/docs/*.md; do [ -e "$f" ] && docs+=("$f"); done
fi
block_seconds=${DOCS_BLOCK_SECONDS:-120}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# split FILE.md OUT: each sh block into OUT/NNN.sh (its first line "# LINE",
# its second "# runnable" or "# shown"), the prose, fences and code dropped,
# into OUT/prose.
split() {
    mkdir -p "$2"
    awk -v out="$2" '
        function close_block() { close(file); inside = 0 }
        /^```/ && inside { close_block(); next }
        /^```sh[[:space:]]*$/ && !inside {
            inside = 1; n++
            file = sprintf("%s/%03d.sh", out, n)
            printf "# %d\n# %s\n", NR, (marked ? "runnable" : "shown") > file
            marked = 0; next
        }
        /^```/ { other = !other; marked = 0; next }
        inside { print > file; next }
        other { next }
        /^<!-- runnable -->[[:space:]]*$/ { marked = 1; next }
        /[^[:space:]]/ { marked = 0 }
        { print > (out "/prose") }
    ' "$1"
    touch "$2/prose"
}

# A copy of the source tree's top: links to everything but build/, and this
# native build as build/native. Outputs of the blocks land in it.
make_tree() {
    local tree=$1 entry
    mkdir -p "$tree/build"
    for entry in "$src"/* "$src"/.clang-format; do
        [ -e "$entry" ] || continue
        case ${entry##*/} in build) continue ;; esac
        ln -s "$entry" "$tree/${entry##*/}"
    done
    ln -s "$build" "$tree/build/native"
}

# Repository paths named by the texts: words under a source folder.
repo_paths() {
    grep -hoE '(^|[^A-Za-z0-9_./-])(bench|cmake|docs|include|packaging|plugin|projects|scripts|tests|tools)/[A-Za-z0-9_./+*<>-]*' "$@" |
        sed -E 's/^[^a-z]//; s/[.:,;]+$//' | sort -u |
        grep -vE '[*<>]|NAME|PRESET|PLATFORM|XXXX' || true
}

for md in "${docs[@]}"; do
    rel=${md#"$src"/}
    dir=$tmp/${rel//\//_}
    split "$md" "$dir"
    shopt -s nullglob
    blocks=("$dir"/[0-9]*.sh)
    shopt -u nullglob

    # Links to files of the repository.
    while IFS= read -r target; do
        target=${target%%#*}
        [ -n "$target" ] || continue
        [ -e "$(dirname "$md")/$target" ] || fail "$rel: the link to $target leads nowhere"
    done < <(grep -oE '\]\([^)]+\)' "$dir/prose" | sed -E 's/^\]\(//; s/\)$//' | grep -vE '^[a-z]+:' || true)

    # Paths between backticks in the prose, and in the blocks.
    { grep -oE '`[^`]+`' "$dir/prose" || true; } | tr -d '`' | tr ' ' '\n' >"$dir/ticks"
    for path in $(repo_paths "$dir/ticks" "${blocks[@]}" /dev/null); do
        # A source named without its extension (Vid for Vid.cpp and Vid.h) counts.
        [ -e "$src/$path" ] || compgen -G "$src/$path.*" >/dev/null ||
            fail "$rel names $path, which is not in the repository"
    done

    tree=$tmp/tree-${rel//\//_}
    made=0
    for block in "${blocks[@]}"; do
        line=$(sed -n '1s/^# //p' "$block")
        if ! bash -n "$block" 2>"$block.err"; then
            fail "$rel:$line: not valid shell: $(head -n 1 "$block.err")"
            continue
        fi
        [ "$(sed -n 2p "$block")" = "# runnable" ] || continue
        if [ $made -eq 0 ]; then
            make_tree "$tree"
            made=1
        fi
        status=0
        (cd "$tree" && timeout -k 5 "$block_seconds" bash -euo pipefail "$block") \
            </dev/null >"$block.out" 2>&1 || status=$?
        if [ $status -eq 0 ]; then
            echo "ok   $rel:$line ($(grep -cvE '^[[:space:]]*(#|$)' "$block") commands)"
        else
            fail "$rel:$line: exit status $status"
            sed 's/^/    /' "$block" | tail -n +3
            echo "  output:"
            tail -n 20 "$block.out" | sed 's/^/    /'
        fi
    done
done

echo "docs_commands_test: $failures failed"
[ "$failures" -eq 0 ]
