#!/usr/bin/env bash
# Runs a Windows program in the test prefix; CTest's emulator for x86_64.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/prefix.sh" ensure
source "$here/wineenv.sh"
# A server started here must not hold the caller's pipes open: start it, and
# the prefix's background programs, detached before the program under test.
if "$WINESERVER" -p </dev/null >/dev/null 2>&1; then
    "$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
fi
exec "$WINE" "$@"
