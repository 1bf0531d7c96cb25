#!/usr/bin/env bash
# Builds the preference-file fuzzer natively (clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it for a bounded time; any finding
# fails the run. Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-60}
out=$here/build
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I "$here/../src" "$here/ini_fuzz.cpp" "$here/../src/prefs/ini_text.cpp" -o "$out/ini_fuzz"
cp -n "$here"/corpus/* "$out/corpus/" 2>/dev/null || true
status=0
"$out/ini_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" >"$out/last-run.log" 2>&1 || status=$?
grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|deadly" "$out/last-run.log" || true
echo "corpus: $(ls "$out/corpus" | wc -l) inputs"
if [ "$status" -ne 0 ]; then echo "fuzzing found a fault (exit $status); see $out/last-run.log"; fi
exit "$status"
