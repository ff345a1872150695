#!/usr/bin/env bash
# Runs a fuzz target over the committed corpus (read only): new inputs go
# to a scratch folder.
#   run_fuzzer.sh <fuzzer> <corpus> [libFuzzer options...]
set -euo pipefail
fuzzer=$1 corpus=$2; shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$fuzzer" "$@" "$scratch" "$corpus"
