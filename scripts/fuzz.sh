#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each for a bounded
# time, starting from its committed seed corpus (fuzz/corpus/<target>/); what a run adds to the
# corpus stays in build-fuzz/corpus/. A crash, a leak or a broken property fails the script and
# leaves the input in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-30}
targets=(normalizedatapath windowspath settingsvalue datetext)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DREPEATFIX_FUZZ=ON -DREPEATFIX_SANITIZE=ON -DREPEATFIX_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    log="$build/fuzz_$target.log"
    mkdir -p "$corpus"
    echo "== fuzz_$target: ${seconds}s"
    if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/$target-" \
        "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "   ${runs:-?} runs, corpus $(ls "$corpus" | wc -l) new inputs, no failure"
    else
        failed+=("$target")
        echo "   FAILED: see $log and $build/artifacts/"
        grep -E "ERROR|property broken|SUMMARY" "$log" | head -5 | sed 's/^/   /'
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
