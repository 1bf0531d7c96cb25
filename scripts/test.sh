#!/usr/bin/env bash
# Every test: sets up and builds, runs clang-tidy over src/, checks the CI
# workflows against their schema, runs the unit and end-to-end tests under Wine
# with CTest and again through the Windows test kit's batch file, checks the
# type 1 layout on two monitors, then fuzzes the preference-file parser for a
# minute. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/lint.sh
for workflow in .github/workflows/*.yml; do
  build/tools/node_modules/.bin/action-validator "$workflow"
  echo "$workflow: valid"
done
ctest --preset windows
bash scripts/test-kit-under-wine.sh
bash scripts/two-monitors.sh
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"
