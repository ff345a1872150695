#!/usr/bin/env bash
# Runs a Windows program in the test prefix; CTest's emulator for x86_64.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/prefix.sh" ensure
source "$here/wineenv.sh"
exec "$WINE" "$@"
