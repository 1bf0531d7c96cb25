#!/usr/bin/env bash
# Every test: sets up and builds, runs the unit and end-to-end tests under Wine,
# then fuzzes the preference-file parser for a minute. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --preset windows
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"
