#!/usr/bin/env bash
# Installs what the tests need, builds Vantrel with its tests and runs them.
#   ./test.sh           the whole run, as CI does it:
#                         1. the suite, Release, in build/ (with the load and fault
#                            tests, the Debian package and the replayed fuzz inputs);
#                         2. every fuzz target for a bounded time (tools/run_fuzzers.sh,
#                            where clang's libFuzzer is available);
#                         3. the suite under AddressSanitizer and UndefinedBehaviorSanitizer
#                            (build-asan/, without the load tests);
#                         4. the threaded tests under ThreadSanitizer (build-tsan/).
#                       Steps 3 and 4 are left out, with a note, when the run has used
#                       so much of its time budget (VANTREL_TEST_BUDGET minutes, default
#                       25) that they would not fit.
#   ./test.sh --quick   step 1 only
#   ./test.sh --asan    only the suite under ASan and UBSan, in build-asan/
#   ./test.sh --tsan    only the suite under ThreadSanitizer, in build-tsan/
#   ./test.sh --clang   only the suite built with clang++, in build-clang/
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
tools/install_packages.sh "${VANTREL_BUILD_PACKAGES[@]}" "${VANTREL_RUN_PACKAGES[@]}" \
  "${VANTREL_TEST_PACKAGES[@]}"

started=$SECONDS
budget_minutes=${VANTREL_TEST_BUDGET:-25}
# What a sanitizer step takes on a 2-core machine, building from scratch.
sanitizer_step_minutes=8

# suite DIR BUILD_TYPE [CMAKE OPTIONS...] -- [CTEST OPTIONS...]: configures,
# builds and runs the tests of one build folder.
suite() {
  local dir=$1 type=$2
  shift 2
  local options=() ctest_options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  ctest_options=("$@")
  echo "test.sh: $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DVANTREL_BUILD_TESTS=ON \
    -DVANTREL_WERROR=ON "${options[@]}" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "${ctest_options[@]}"
}

asan() { suite build-asan Debug -DVANTREL_ASAN=ON -DVANTREL_UBSAN=ON -- -LE load; }
# Only the programs whose code runs on several threads are built and run.
tsan() {
  echo "test.sh: build-tsan"
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_TESTS=ON \
    -DVANTREL_WERROR=ON -DVANTREL_TSAN=ON >/dev/null
  cmake --build build-tsan -j"$(nproc)" --target vantrel_base_tests vantrel_http_tests \
    vantrel_cgi_tests vantrel_serial_tests vantrel_app_tests
  ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -L threads
}

# True when a sanitizer step still fits into the time budget.
time_left() {
  local used=$(( (SECONDS - started) / 60 ))
  if [ $(( used + sanitizer_step_minutes )) -gt "$budget_minutes" ]; then
    echo "test.sh: $1 left out: $used of $budget_minutes minutes used"
    return 1
  fi
}

case "${1:-}" in
  --quick) suite build Release ;;
  --asan) asan ;;
  --tsan) tsan ;;
  --clang) suite build-clang Release -DCMAKE_CXX_COMPILER=clang++ ;;
  "")
    suite build Release
    tools/run_fuzzers.sh
    if time_left "the sanitizer suite"; then asan; fi
    if time_left "the ThreadSanitizer suite"; then tsan; fi
    echo "test.sh: done in $(( (SECONDS - started) / 60 )) minutes"
    ;;
  *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
esac
