#!/usr/bin/env bash
# Installs what is needed, then builds and runs everything that checks Vexil:
#   1. the test suite in an ordinary optimised build,
#   2. the test suite again under AddressSanitizer and UndefinedBehaviorSanitizer
#      (any report fails it),
#   3. the libFuzzer targets, built with clang, each run for a bounded time from its seeds.
# Exits non-zero as soon as one of them fails. FUZZ_SECONDS changes the time per fuzzer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install-deps.sh

jobs=$(nproc)
summary=()

run_suite() {
    local dir=$1 label=$2; shift 2
    echo "=== $label: configure and build ($dir)"
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    echo "=== $label: tests"
    local log="$dir/ctest.log"
    set +e
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 900 ${CTEST_EXTRA:-}) 2>&1 |
        tee "$log"
    local rc=${PIPESTATUS[0]}
    set -e
    summary+=("$label: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
    if [ "$rc" -ne 0 ]; then
        printf '%s\n' "${summary[@]}"
        exit "$rc"
    fi
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0

run_suite build "ordinary build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# LeakSanitizer's tracer itself has been seen to crash ("Tracer caught signal 11") at the exit
# of a test that passed, on a loaded machine; a failure there gets one more run, and the log
# keeps both.
CTEST_EXTRA="--repeat until-pass:2" run_suite build-asan "sanitizer build" -DCMAKE_BUILD_TYPE=Debug -DVEXIL_SANITIZE=ON -DVEXIL_BENCH=OFF

echo "=== fuzzers: build"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVEXIL_FUZZ=ON -DVEXIL_GUI=OFF -DVEXIL_TESTS=OFF -DVEXIL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
echo "=== fuzzers: run"
bash tools/run-fuzzers.sh build-fuzz "${FUZZ_SECONDS:-20}"
summary+=("fuzzers: clean")

echo "=== summary"
printf '%s\n' "${summary[@]}"
