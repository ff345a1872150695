#!/usr/bin/env bash
# Builds both installers and runs the main job: a silent install of the
# x86_64 installer in a fresh, throwaway Wine prefix (build/mainjob), then
# prints what the product now is on that system.
#   main.sh [--interactive]
# --interactive: the shipped installer's window instead, for a person on
# $DISPLAY, or driven by itself under xvfb-run when there is no display;
# a screenshot of each view goes to the folder it prints.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
B=${VEK_BUILD:-$root/build}
interactive=0
for arg in "$@"; do
    case $arg in
        --interactive) interactive=1 ;;
        *) echo "usage: main.sh [--interactive]" >&2; exit 2 ;;
    esac
done
bash "$root/tools/setup-machine.sh" >/dev/null
bash "$root/tools/build.sh"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
if [ $interactive = 0 ]; then
    python3 "$root/tools/mainjob.py" "$B"
elif [ -n "${DISPLAY:-}" ]; then
    /usr/bin/python3 "$root/tools/interactive.py" "$B"
else
    xvfb-run -a -s "-screen 0 1920x1200x24" /usr/bin/python3 "$root/tools/interactive.py" "$B" --drive
fi
