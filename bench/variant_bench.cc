// How fast script values compute: the inline integer and double paths that
// every loop of a script page runs through, comparison, string copies and
// appends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "script/values/variant.h"
#include "script/values/variant_operations.h"

namespace vantrel {
namespace {

using BinaryOperator = void (*)(Variant&, const Variant&);

// left := left op right on a fresh copy of the left operand, as the machine
// does after pushing both.
template <BinaryOperator op>
void Binary(benchmark::State& state, const Variant& left, const Variant& right) {
  for (auto _ : state) {
    Variant slot = left;
    benchmark::DoNotOptimize(&slot);
    op(slot, right);
    benchmark::DoNotOptimize(&slot);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_IntegerAdd(benchmark::State& state) { Binary<VariantAdd>(state, 40'000, 2); }
BENCHMARK(BM_IntegerAdd);

void BM_IntegerMod(benchmark::State& state) { Binary<VariantMod>(state, 40'001, 7); }
BENCHMARK(BM_IntegerMod);

void BM_IntegerMultiply(benchmark::State& state) { Binary<VariantMultiply>(state, 40'001, 2); }
BENCHMARK(BM_IntegerMultiply);

// A whole double from a product, then mod: the `(i * 2) mod 7` of a loop.
void BM_DoubleMod(benchmark::State& state) { Binary<VariantMod>(state, 80'002.0, 7); }
BENCHMARK(BM_DoubleMod);

void BM_MixedAdd(benchmark::State& state) { Binary<VariantAdd>(state, 40'000, 0.5); }
BENCHMARK(BM_MixedAdd);

void BM_DoubleDivide(benchmark::State& state) { Binary<VariantDivide>(state, 7.0, 2); }
BENCHMARK(BM_DoubleDivide);

// The general path, for comparison: a numeric string plus an integer.
void BM_StringNumberAdd(benchmark::State& state) { Binary<VariantAdd>(state, "40000", 2); }
BENCHMARK(BM_StringNumberAdd);

void BM_CompareIntegers(benchmark::State& state) {
  const Variant a = 41;
  const Variant b = 10'000'000;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&a);
    Variant result = VariantLessOrEqual(a, b);
    benchmark::DoNotOptimize(IsFalse(result));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompareIntegers);

void BM_CompareIntegerWithDouble(benchmark::State& state) {
  const Variant a = 41;
  const Variant b = 1e7;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&a);
    benchmark::DoNotOptimize(VariantLess(a, b));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompareIntegerWithDouble);

void BM_CompareStrings(benchmark::State& state) {
  const Variant a = "content-length";
  const Variant b = "content-type";
  for (auto _ : state) benchmark::DoNotOptimize(VariantEquals(a, b));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompareStrings);

// Copying and dropping a string value: two atomic count changes.
void BM_CopyString(benchmark::State& state) {
  const Variant text = "some text of a page";
  for (auto _ : state) {
    Variant copy = text;
    benchmark::DoNotOptimize(&copy);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopyString);

// s := s & "abc", 100,000 times, the value moved into the slot and back.
void BM_Append100000(benchmark::State& state) {
  const Variant tail = "abc";
  for (auto _ : state) {
    Variant s = "";
    for (int k = 0; k < 100'000; ++k) {
      Variant slot = std::move(s);
      VariantConcat(slot, tail);
      s = std::move(slot);
    }
    benchmark::DoNotOptimize(s.StringView().data());
  }
  state.SetItemsProcessed(state.iterations() * 100'000);
}
BENCHMARK(BM_Append100000)->Unit(benchmark::kMillisecond);

// The value operations of one pass of
//   while i <= 10000000: total = total + (i * 2) mod 7; i = i + 1
// as the machine runs them on its stack (pushes are copies, stores moves).
void BM_LoopBodyValueWork(benchmark::State& state) {
  Variant stack[4];
  Variant total = 0;
  Variant i = 1;
  const Variant two = 2;
  const Variant seven = 7;
  const Variant one = 1;
  const Variant limit = 10'000'000;
  for (auto _ : state) {
    stack[0] = total;
    stack[1] = i;
    stack[2] = two;
    VariantMultiply(stack[1], stack[2]);
    stack[2] = seven;
    VariantMod(stack[1], stack[2]);
    VariantAdd(stack[0], stack[1]);
    total = std::move(stack[0]);
    stack[0] = i;
    stack[1] = one;
    VariantAdd(stack[0], stack[1]);
    i = std::move(stack[0]);
    stack[0] = i;
    stack[1] = limit;
    stack[0] = VariantLessOrEqual(stack[0], stack[1]);
    if (IsFalse(stack[0])) i = 1;
    benchmark::DoNotOptimize(stack);
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopBodyValueWork);

}  // namespace
}  // namespace vantrel
