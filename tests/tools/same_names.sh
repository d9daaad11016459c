# Sourced by the export checks.
# same_names HAVE WANT EXTRA MISSING: compares two lists of names, one a line;
# says "EXTRA: NAME" for each name only in HAVE and "MISSING: NAME" for each
# only in WANT; returns 1 if there is any.
same_names() {
    local have=$1 want=$2 extra=$3 missing=$4 name status=0
    while IFS= read -r name; do
        [ -n "$name" ] || continue
        grep -qxF -- "$name" <<<"$want" && continue
        echo "$extra: $name"
        status=1
    done <<<"$have"
    while IFS= read -r name; do
        [ -n "$name" ] || continue
        grep -qxF -- "$name" <<<"$have" && continue
        echo "$missing: $name"
        status=1
    done <<<"$want"
    return $status
}
