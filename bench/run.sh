#!/usr/bin/env bash
# Runs the benchmarks under Wine in the build's prefix (after scripts/setup.sh).
# Usage: bench/run.sh [EARLIER_CORVALIN_EXE...]: earlier builds' switches are
# timed beside this one's, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
. cmake/wine-env.sh "$PWD/build/wineprefix"
bash cmake/wine-session.sh start "$WINEPREFIX"
trap 'bash cmake/wine-session.sh stop "$WINEPREFIX"' EXIT  # also unmounts the small disk
wine build/bin/prefs_bench.exe | tr -d '\r'
earlier=()
for exe in "$@"; do earlier+=("$(winepath -w "$exe")"); done
wine build/bin/switch_bench.exe "${earlier[@]}" | tr -d '\r'
