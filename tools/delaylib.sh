#!/usr/bin/env bash
# Makes a delay-load import library from a MinGW import library:
#   delaylib.sh <triplet> <import library> <dll name> <output>
# Every function the import library names is taken over; calls resolve on
# first use through the C runtime's delay-load helper, with the process's
# library search in force then (the system folder only) instead of the
# loader's search at start, which looks beside the program first.
set -euo pipefail
triplet=$1 implib=$2 dll=$3 out=$4
def=$out.def
{
    echo "LIBRARY $dll"
    echo "EXPORTS"
    "$triplet-nm" -g --defined-only "$implib" |
        awk -v x86="$([ "$triplet" = i686-w64-mingw32 ] && echo 1)" '
            $2 == "I" && $3 ~ /^__imp_/ { name = $3; sub(/^__imp_/, "", name); if (x86) sub(/^_/, "", name); print name }' |
        sort -u
} > "$def"
kill_at=()
[ "$triplet" = i686-w64-mingw32 ] && kill_at=(--kill-at)
"$triplet-dlltool" --def "$def" --dllname "$dll" --output-delaylib "$out" "${kill_at[@]}"
