#!/usr/bin/env bash
# Lua_DeleteFileAfterReboot for real: the pending deletion is recorded while
# the wine server runs, and a cold start of the server (Wine's reboot)
# removes the file and the emptied folder.
#   reboot_test.sh <probe installer>
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wineenv.sh"
probe=$1
failed=0
expect() {  # expect <description> <command...>
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

temp_unix=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | grep -v Public | head -1)
user=$(basename "$(dirname "$temp_unix")")
name=vek-reboot-$$
work_unix=$temp_unix/$name
work_win="C:\\users\\$user\\Temp\\$name"
rm -rf "$work_unix"
mkdir -p "$work_unix/scratch"
echo data > "$work_unix/scratch/file.txt"
cat > "$work_unix/script.lua" <<LUA
local work = [[$work_win]]
probe_record(tostring(Lua_DeleteFileAfterReboot(work .. "\\\\scratch\\\\file.txt")))
probe_record(tostring(Lua_DeleteFileAfterReboot("%TEMP%\\\\$name\\\\scratch")))
probe_record(tostring(Lua_DeleteFileAfterReboot(work .. "\\\\missing")))
LUA

VEK_PROBE_SCRIPT="$work_win\\script.lua" VEK_PROBE_OUT="$work_win\\records.txt" \
    "$WINE" "$probe" /InstallSlience true </dev/null >/dev/null 2>&1
expect "both registrations and the missing path report true" \
    test "$(tr -d '\r' < "$work_unix/records.txt" | head -3 | tr '\n' ' ')" = "true true true "
pending=$("$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
expect "the file is pending deletion" grep -qF "$name\\scratch\\file.txt" <<<"$pending"
expect "the folder is pending deletion" grep -qF "$name\\scratch\\0" <<<"$pending"
expect "nothing is removed before the reboot" test -f "$work_unix/scratch/file.txt"

"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w
"$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
expect "the file is gone after the reboot" test ! -e "$work_unix/scratch/file.txt"
expect "the emptied folder is gone after the reboot" test ! -e "$work_unix/scratch"

# Back to the persistent server the rest of the run expects.
"$here/prefix.sh" start
rm -rf "$work_unix"
echo "$((6 - failed)) passed, $failed failed"
[ "$failed" = 0 ]
