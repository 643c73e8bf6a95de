#!/usr/bin/env bash
# Installs what the tests need, builds Vantrel with its tests and runs them
# with ctest.
#   ./test.sh           Release build in build/
#   ./test.sh --asan    AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
#   ./test.sh --tsan    ThreadSanitizer, in build-tsan/
#   ./test.sh --clang   the same with clang++, in build-clang/
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
tools/install_packages.sh "${VANTREL_BUILD_PACKAGES[@]}" "${VANTREL_RUN_PACKAGES[@]}" \
  "${VANTREL_TEST_PACKAGES[@]}"

build_dir=build
build_type=Release
options=(-DVANTREL_BUILD_TESTS=ON -DVANTREL_WERROR=ON)
for arg in "$@"; do
  case "$arg" in
    --asan) build_dir=build-asan; build_type=Debug
            options+=(-DVANTREL_ASAN=ON -DVANTREL_UBSAN=ON) ;;
    --tsan) build_dir=build-tsan; build_type=Debug; options+=(-DVANTREL_TSAN=ON) ;;
    --clang) build_dir="$build_dir-clang"
             options+=(-DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
