#!/usr/bin/env bash
# Builds both targets and runs the whole test suite (x86_64 programs under
# Wine in the build tree's own prefix). Needs root on a fresh machine for the
# package set-up.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/tools/setup-machine.sh"
bash "$root/tools/build.sh"
ctest --test-dir "${VEK_BUILD:-$root/build}/x86_64" --output-on-failure
