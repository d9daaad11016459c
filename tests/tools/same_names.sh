# Sourced by the export checks.
# same_names HAVE WANT EXTRA MISSING: compares two lists of names, one a line;
# says "EXTRA: NAME" for each name only in HAVE and "MISSING: NAME" for each
# only in WANT; returns 1 if there is any.
same_names() {
    local status=0
    only_in "$1" "$2" "$3" || status=1
    only_in "$2" "$1" "$4" || status=1
    return $status
}

# only_in A B LABEL: says "LABEL: NAME" for each name of A not in B; returns 1 if any.
only_in() {
    local name status=0
    while IFS= read -r name; do
        [ -n "$name" ] || continue
        grep -qxF -- "$name" <<<"$2" && continue
        echo "$3: $name"
        status=1
    done <<<"$1"
    return $status
}
