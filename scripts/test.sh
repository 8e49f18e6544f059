#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test (the reliability suite
# included). In CI (CI=true), or with --all, it then builds everything again with AddressSanitizer
# and UndefinedBehaviorSanitizer in build-asan/ and runs every test there once, and runs each
# fuzzer for a bounded time (scripts/fuzz.sh). The time of each stage is printed at the end.
#   scripts/test.sh [--all]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

all=false
for arg in "$@"; do
    case "$arg" in
    --all) all=true ;;
    *)
        echo "usage: $0 [--all]" >&2
        exit 2
        ;;
    esac
done
if [ "${CI:-}" = true ]; then
    all=true
fi

timings=()
report() {
    if [ ${#timings[@]} -gt 0 ]; then
        echo "== stage times"
        printf '   %s\n' "${timings[@]}"
    fi
}
trap report EXIT

stage() {
    local name=$1
    shift
    local start=$SECONDS
    echo "== $name"
    if ! "$@"; then
        timings+=("$name: $((SECONDS - start)) s, FAILED")
        return 1
    fi
    timings+=("$name: $((SECONDS - start)) s")
}

run_tests() {
    local dir=$1
    shift
    (cd "$dir" && ctest --output-on-failure --timeout 900 "$@")
}

stage "dependencies" "$root/scripts/deps.sh"
stage "build" "$root/scripts/build.sh" "$root/build"
stage "tests" run_tests "$root/build"

if $all; then
    # A sanitizer report fails the test that caused it, with the report in its output. Leaks
    # inside system libraries (D-Bus, reached through Qt's platform plugin) are not ours.
    mkdir -p "$root/build-asan"
    printf 'leak:libdbus-1.so\n' >"$root/build-asan/lsan-suppressions.txt"
    export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/build-asan/lsan-suppressions.txt:print_suppressions=0}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
    stage "sanitizer build" "$root/scripts/build.sh" "$root/build-asan" -DREPEATFIX_SANITIZE=ON
    # The Windows registry test builds with MinGW and runs under Wine: nothing of it is sanitized.
    stage "sanitizer tests" run_tests "$root/build-asan" -LE windows
    stage "fuzzing" "$root/scripts/fuzz.sh" 30
fi
