#!/usr/bin/env bash
# Prints, in deb822 form, a "deb-src" entry (or, given "deb", a plain "deb"
# entry) for every enabled "deb" entry of this Debian release found in the
# machine's apt sources (both the one-line *.list form and the deb822
# *.sources form). URIs, suites, components and the keyring are taken over as
# they are; entries of other releases or other vendors (suites without the
# release's code name) are left out.
#   debsrc-entries.sh [deb-src|deb]
# VEK_APT_DIR and VEK_OS_RELEASE name other files than the machine's (tests).
set -euo pipefail
type=${1:-deb-src}
case $type in deb|deb-src) ;; *) echo "usage: debsrc-entries.sh [deb-src|deb]" >&2; exit 2 ;; esac
apt=${VEK_APT_DIR:-/etc/apt}
os_release=${VEK_OS_RELEASE:-/etc/os-release}
codename=$(. "$os_release" && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "no VERSION_CODENAME in $os_release" >&2; exit 1; }
own=vek-debian-src.sources

shopt -s nullglob
lists=("$apt/sources.list" "$apt"/sources.list.d/*.list)
sources=()
for f in "$apt"/sources.list.d/*.sources; do
    [ "$(basename "$f")" = "$own" ] || sources+=("$f")
done

# One-line form: deb [options] URI SUITE COMPONENT...
for f in "${lists[@]}"; do
    [ -f "$f" ] || continue
    awk -v cn="$codename" -v type="$type" '
        $1 != "deb" { next }
        {
            opts = ""; i = 2
            if ($2 ~ /^\[/) {
                while (i <= NF) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break } i++ }
            }
            uri = $(i); suite = $(i + 1); comps = ""
            for (j = i + 2; j <= NF; j++) comps = comps (comps ? " " : "") $j
            if (suite !~ "^" cn "([-/]|$)") next
            keyring = ""
            if (match(opts, /signed-by=[^] ]+/)) keyring = substr(opts, RSTART + 10, RLENGTH - 10)
            printf "Types: %s\nURIs: %s\nSuites: %s\nComponents: %s\n", type, uri, suite, comps
            if (keyring != "") printf "Signed-By: %s\n", keyring
            printf "\n"
        }' "$f"
done

# deb822 form: stanzas separated by blank lines; comments and
# "Enabled: no" stanzas are skipped.
for f in "${sources[@]}"; do
    awk -v cn="$codename" -v type="$type" '
        function flush(   n, parts, i, keep) {
            if (types ~ /(^| )deb( |$)/ && enabled != "no") {
                n = split(suites, parts, " "); keep = ""
                for (i = 1; i <= n; i++)
                    if (parts[i] ~ "^" cn "([-/]|$)") keep = keep (keep ? " " : "") parts[i]
                if (keep != "") {
                    printf "Types: %s\nURIs: %s\nSuites: %s\nComponents: %s\n", type, uris, keep, comps
                    if (signed != "") printf "Signed-By: %s\n", signed
                    printf "\n"
                }
            }
            types = uris = suites = comps = signed = enabled = ""
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[ \t]/ { if (key == "signed-by") signed = signed "\n" $0; next }
        {
            key = tolower($1); sub(/:$/, "", key)
            val = $0; sub(/^[^:]*:[ \t]*/, "", val)
            if (key == "types") types = val
            else if (key == "uris") uris = val
            else if (key == "suites") suites = val
            else if (key == "components") comps = val
            else if (key == "signed-by") signed = val
            else if (key == "enabled") enabled = tolower(val)
        }
        END { flush() }' "$f"
done
