#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time from the committed seeds,
# under AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/.
# Skipped, with a note, where clang's libFuzzer is not available.
#   tools/run_fuzzers.sh [SECONDS_PER_TARGET]     (default 12)
# New corpus entries go to a temporary folder, not into the repository. A
# finding is kept as build-fuzz/findings/<target>-crash-...; minimise it
# (`build-fuzz/bin/<target> -minimize_crash=1 -runs=10000 FILE`) and commit
# the smallest input to fuzz/regressions/<target>/, where every test build
# replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-12}
build=build-fuzz

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  > "$probe/probe.cc"
if ! clang++ -fsanitize=fuzzer "$probe/probe.cc" -o "$probe/probe" 2>/dev/null; then
  echo "run_fuzzers: clang's libFuzzer is not available; fuzzing skipped"
  exit 0
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVANTREL_FUZZ=ON -DVANTREL_ASAN=ON -DVANTREL_UBSAN=ON -DVANTREL_BUILD_TESTS=OFF >/dev/null
mapfile -t targets < <(cut -d' ' -f1 "$build/fuzz_seeds.txt")
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

mkdir -p "$build/findings"
failed=0
while read -r name seeds; do
  corpus="$probe/$name"
  mkdir -p "$corpus"
  existing=()
  for seed in $seeds; do [ -e "$seed" ] && existing+=("$seed"); done
  log="$build/findings/$name.log"
  if "$build/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$build/findings/$name-" -print_final_stats=1 \
       "$corpus" "${existing[@]}" >"$log" 2>&1; then
    echo "run_fuzzers: $name: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') runs, no finding"
  else
    echo "run_fuzzers: $name: FINDING (log: $log)" >&2
    tail -40 "$log" >&2
    failed=1
  fi
done < "$build/fuzz_seeds.txt"
exit "$failed"
