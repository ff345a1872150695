#!/usr/bin/env bash
# Builds both installers and runs the main job: a silent install of the
# x86_64 installer in a fresh, throwaway Wine prefix (build/mainjob), then
# prints what the product now is on that system.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
B=${VEK_BUILD:-$root/build}
bash "$root/tools/setup-machine.sh" >/dev/null
bash "$root/tools/build.sh"
LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 python3 "$root/tools/mainjob.py" "$B"
