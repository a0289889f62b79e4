#!/bin/sh
# module_symbols.sh MODULE PROGRAM
#
# Every symbol the export module leaves undefined must be found when the
# program loads it: in the program's own exported symbols, or in a shared
# library the program or the module loads. Weak references may stay
# unresolved. binutils (nm) and the dynamic loader (ldd) tell, not our code.
set -eu
module=$1
program=$2
NM=${NM:-nm}
LDD=${LDD:-ldd}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The libraries of both, as the dynamic loader resolves them: the program's
# dependencies are in its global scope, the module's in its own.
"$LDD" "$program" "$module" >"$work/ldd"
if grep -q 'not found' "$work/ldd"; then
    echo "a library is missing:"; grep 'not found' "$work/ldd"; exit 1
fi
awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// && NF == 2 { print $1 }' "$work/ldd" | sort -u >"$work/libs"

# Defined symbols, as name@version and, for a default version (@@) or none,
# also as the bare name that an unversioned reference binds to.
defined() {
    "$NM" -D --defined-only "$1" | awk '{ s = $NF; n = s; sub(/@.*/, "", n)
        if (index(s, "@@")) { sub(/@@/, "@", s); print s; print n }
        else { print s; if (s == n) print n } }'
}
defined "$program" | sort -u >"$work/program"
while read -r lib; do defined "$lib"; done <"$work/libs" | sort -u >"$work/libraries"

"$NM" -D --undefined-only "$module" >"$work/all"
awk '$1 == "U" { print $2 }' "$work/all" | sort -u >"$work/undefined"
weak=$(awk '$1 == "w" || $1 == "v"' "$work/all" | wc -l)
total=$(wc -l <"$work/undefined")
if [ "$total" -eq 0 ]; then
    echo "nm lists no undefined symbols in $module"; exit 1
fi
comm -12 "$work/undefined" "$work/program" >"$work/fromProgram"
comm -23 "$work/undefined" "$work/program" | comm -23 - "$work/libraries" >"$work/missing"

echo "$total undefined symbols in $(basename "$module"):" \
     "$(wc -l <"$work/fromProgram") from $(basename "$program")," \
     "the rest from $(wc -l <"$work/libs") libraries; $weak weak ones may stay unresolved"
if [ -s "$work/missing" ]; then
    echo "$(wc -l <"$work/missing") symbols are found nowhere:"
    c++filt <"$work/missing" | sed 's/^/  /'
    exit 1
fi
