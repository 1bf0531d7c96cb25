#!/usr/bin/env bash
# Every test: sets up and builds, runs clang-tidy over src/, the unit and
# end-to-end tests under Wine, the type 1 layout on two monitors, then fuzzes
# the preference-file parser for a minute. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/lint.sh
ctest --preset windows
bash scripts/two-monitors.sh
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"
