#!/usr/bin/env bash
# Builds everything and runs every test; with --sanitize (or VANDREL_SANITIZE=1) it also
# builds the libraries and the application under AddressSanitizer and UndefinedBehaviorSanitizer
# and runs their tests (the application's windows offscreen),
# and builds the data library under ThreadSanitizer to run the tests of the statements that
# wait for the server on a worker thread and are cancelled from the window's thread.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
bash scripts/deps.sh --test

export QT_QPA_PLATFORM=offscreen
# The tree the run command uses too, configured the same way.
configure_tree build
build_tree build
# The windows' tests and those of statements that wait for the server on a worker thread
# hang on timing more than any other: they run twice, so that one that can fail by chance
# fails here rather than in someone's landing.
waits='StatementWait|StatementWorker'
ctest --test-dir build --output-on-failure -j"$jobs" -LE app -E "$waits"
ctest --test-dir build --output-on-failure -j"$jobs" -L app --repeat until-fail:2
ctest --test-dir build --output-on-failure -j"$jobs" -R "$waits" --repeat until-fail:2

if [ "${1:-}" = "--sanitize" ] || [ "${VANDREL_SANITIZE:-0}" = "1" ]; then
  # The simulator is built there too, so that the FreeTDS tests of the data library and the
  # application's run under the sanitizers, and so are its fuzz tests; its other tests already
  # ran above.
  cmake -S . -B build-san $(generator build-san) -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE=ON \
        -DVANDREL_BUILD_APP=ON -DVANDREL_BUILD_BENCH=OFF -DVANDREL_BUILD_SIM=ON -DVANDREL_BUILD_SIM_TESTS=OFF >/dev/null
  cmake --build build-san -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-san --output-on-failure -j"$jobs" -L 'foundation|platform|data|odbc|simfuzz'
  # The application's windows, offscreen, against the simulator. Qt, fontconfig and the
  # driver manager keep allocations to the process's end that are not the program's leaks, so
  # leak checking is left to the libraries' run above.
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-san --output-on-failure -j"$jobs" -L 'app|qt'
  cmake -S . -B build-tsan $(generator build-tsan) -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE_THREAD=ON \
        -DVANDREL_BUILD_APP=OFF -DVANDREL_BUILD_BENCH=OFF -DVANDREL_BUILD_SIM=OFF >/dev/null
  cmake --build build-tsan -j"$jobs" --target odbc_tests
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    build-tsan/data/odbc_tests --gtest_filter='StatementWait*:StatementWorker*'
fi
