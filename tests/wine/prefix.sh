#!/usr/bin/env bash
# The test prefix: prefix.sh ensure|start|stop
#   ensure  create and configure the prefix once (safe to call concurrently)
#   start   ensure, then keep a wine server running for the test run
#   stop    stop the server (and every program still running in the prefix)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wineenv.sh"

configure() {
    "$WINE" wineboot -i >/dev/null 2>&1
    # Shell folders as real folders inside the prefix, not links to $HOME.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link"; mkdir -p "$link"; fi
    done
    local reg=$WINEPREFIX/vek-settings.reg
    # No display needed: windows and dialogs exist, nothing is drawn.
    # Chinese text: map the usual faces to WenQuanYi Micro Hei.
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Drivers]' '"Graphics"="null"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"Microsoft YaHei"="WenQuanYi Micro Hei"' '"微软雅黑"="WenQuanYi Micro Hei"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\DllOverrides]' '"winemenubuilder.exe"=""' '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]' \
        '"Tahoma"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,00,00,00,00' \
        | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    "$WINE" regedit /S "$reg" >/dev/null 2>&1
    "$WINESERVER" -w
}

ensure() {
    [ -f "$WINEPREFIX/.vek-ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/.vek-ready" ]; then
        rm -rf "$WINEPREFIX"
        configure
        touch "$WINEPREFIX/.vek-ready"
    fi
    flock -u 9
}

case "${1:-}" in
    ensure) ensure ;;
    start)
        ensure
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w
        # Server and background programs detached from our output, or the
        # caller would wait for them to end.
        "$WINESERVER" -p </dev/null >/dev/null 2>&1
        "$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true ;;
    stop) "$WINESERVER" -k 2>/dev/null || true ;;
    *) echo "usage: prefix.sh ensure|start|stop" >&2; exit 2 ;;
esac
