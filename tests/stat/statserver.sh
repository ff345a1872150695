#!/bin/bash
# start|stop <dir> [<name>=<port>]...: the loopback statistics server for the
# tests, detached from the caller's pipes (CTest waits for those).
set -euo pipefail
action=$1 dir=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
case $action in
start)
    mkdir -p "$dir"
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/ports.txt"
    setsid python3 "$here/statserver.py" "$dir" "$@" </dev/null >"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
        [ -f "$dir/ports.txt" ] && { cat "$dir/ports.txt"; exit 0; }
        kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
        sleep 0.1
    done
    echo "statistics server did not start:" >&2
    cat "$dir/server.log" >&2
    exit 1
    ;;
stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid"
    ;;
esac
