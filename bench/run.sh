#!/usr/bin/env bash
# Runs the benchmarks under Wine in the build's prefix (after scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX=$PWD/build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash cmake/wine-session.sh start "$WINEPREFIX"
trap 'bash cmake/wine-session.sh stop "$WINEPREFIX"' EXIT  # also unmounts the small disk
wine build/bin/prefs_bench.exe | tr -d '\r'
wine build/bin/switch_bench.exe | tr -d '\r'
