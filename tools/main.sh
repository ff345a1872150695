#!/usr/bin/env bash
# Builds both installers and runs the main job: a silent install of the
# x86_64 installer in a fresh, throwaway Wine prefix, then prints what the
# install left behind.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
B=${VEK_BUILD:-$root/build}
bash "$root/tools/setup-machine.sh" >/dev/null
bash "$root/tools/build.sh"

export VEK_WINEPREFIX=$B/mainjob/prefix
rm -rf "$B/mainjob"
"$root/tests/wine/prefix.sh" start
trap '"$root/tests/wine/prefix.sh" stop' EXIT
source "$root/tests/wine/wineenv.sh"

echo "== installers"
ls -l "$B/i686/TovikCleanSetup.exe" "$B/x86_64/TovikCleanSetup.exe"
echo "== silent install: TovikCleanSetup.exe /InstallSlience true"
set +e
"$WINE" "$B/x86_64/TovikCleanSetup.exe" /InstallSlience true
echo "exit code: $?"
set -e

temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -1)
echo "== diagnostic log ($(basename "$temp")/TovikInstall_*.log)"
cat "$temp"/TovikInstall_*.log
echo "== events that ran"
grep -o 'log:VekSE_[A-Za-z]*' "$temp"/TovikInstall_*.log | sed 's/^log://'
echo "== registered for removal at the next reboot (read while the server runs: a cold start acts as the reboot)"
"$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_MULTI_SZ *//p' | sed 's/\\0/\n/g' | grep -v '^$' || echo "(nothing)"
