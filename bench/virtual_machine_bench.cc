// The machine's run loop on hand-assembled programs, instruction for
// instruction what the Basic compiler makes of them.
#include <benchmark/benchmark.h>

#include "script/machine/instruction.h"
#include "script/machine/virtual_machine.h"

namespace vantrel {
namespace {

class Program {
 public:
  Instruction& Emit(Opcode op, int32_t a = 0) {
    code_.emplace_back();
    code_.back().Op = op;
    code_.back().A = a;
    return code_.back();
  }
  int Here() const { return static_cast<int>(code_.size()); }
  InstructionList& Code() { return code_; }

 private:
  InstructionList code_;
};

// total = 0: for i = 1 to n: total = total + (i * 2) mod 7: next
// Locals: 0 total, 1 i, 2 #ForStop. 17 instructions per iteration.
InstructionList NumericLoop(int n) {
  Program p;
  p.Emit(opGlobalPrepare);
  p.Emit(opPrepare, 3);
  p.Emit(opStoreVarInteger, 0).X = 0;
  p.Emit(opPushInteger, 1);
  p.Emit(opPushInteger, n);
  p.Emit(opStoreVar, 2);
  int loop = p.Here();
  p.Emit(opStoreVar, 1);
  p.Emit(opPushVar, 1);
  p.Emit(opPushVar, 2);
  p.Emit(opOperLE);
  int exit_jump = p.Here();
  p.Emit(opJumpIfFalse);
  p.Emit(opPushVar, 0);
  p.Emit(opPushVar, 1);
  p.Emit(opPushInteger, 2);
  p.Emit(opOperMul);
  p.Emit(opPushInteger, 7);
  p.Emit(opOperMod);
  p.Emit(opOperAdd);
  p.Emit(opStoreVar, 0);
  p.Emit(opPushInteger, 1);
  p.Emit(opPushVar, 1);
  p.Emit(opOperAdd);
  p.Emit(opJump, loop);
  p.Code()[static_cast<size_t>(exit_jump)].A = p.Here();
  p.Emit(opPushVar, 0);
  p.Emit(opRet);
  return p.Code();
}

void BM_NumericLoop(benchmark::State& state) {
  constexpr int kIterations = 1'000'000;
  constexpr int kInstructionsPerIteration = 17;
  InstructionList code = NumericLoop(kIterations);
  VirtualMachine machine;
  machine.Link(code);
  for (auto _ : state) {
    Variant total = machine.Execute("", Variant::Null());
    benchmark::DoNotOptimize(total);
  }
  double iterations = static_cast<double>(state.iterations()) * kIterations;
  state.counters["ns_per_iteration"] =
      benchmark::Counter(iterations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["instructions_per_second"] =
      benchmark::Counter(iterations * kInstructionsPerIteration, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NumericLoop)->Unit(benchmark::kMillisecond);

// s = "": for 100,000 times: s = s & "abc"
void BM_StringAppendLoop(benchmark::State& state) {
  Program p;
  p.Emit(opGlobalPrepare);
  p.Emit(opPrepare, 2);
  p.Emit(opStoreVarString, 0);
  p.Emit(opStoreVarInteger, 1).X = 0;
  int loop = p.Here();
  p.Emit(opPushVar, 0);
  p.Emit(opPushString).S = "abc";
  p.Emit(opOperConcat);
  p.Emit(opStoreVar, 0);
  p.Emit(opPushVar, 1);
  p.Emit(opPushInteger, 1);
  p.Emit(opOperAdd);
  p.Emit(opStoreVar, 1);
  p.Emit(opPushVar, 1);
  p.Emit(opPushInteger, 100'000);
  p.Emit(opOperLess);
  p.Emit(opJumpIfTrue, loop);
  p.Emit(opRet);
  VirtualMachine machine;
  machine.Link(p.Code());
  for (auto _ : state) machine.Execute("", Variant::Null());
}
BENCHMARK(BM_StringAppendLoop)->Unit(benchmark::kMillisecond);

// function fib(n): if n < 2 then fib = n else fib = fib(n-1) + fib(n-2)
void BM_RecursiveFib(benchmark::State& state) {
  Program p;
  p.Emit(opGlobalPrepare);
  Instruction* jump_to_main = &p.Emit(opJump);
  (void)jump_to_main;
  int fib = p.Here();
  p.Emit(opPrepare, 1).S = "fib";
  p.Emit(opPushVar, -1);
  p.Emit(opPushInteger, 2);
  p.Emit(opOperLess);
  int to_else = p.Here();
  p.Emit(opJumpIfFalse);
  p.Emit(opPushVar, -1);
  p.Emit(opStoreVar, 0);
  int to_end = p.Here();
  p.Emit(opJump);
  p.Code()[static_cast<size_t>(to_else)].A = p.Here();
  p.Emit(opPushVar, -1);
  p.Emit(opPushInteger, 1);
  p.Emit(opOperSub);
  p.Emit(opCall, fib).B = 1;
  p.Emit(opPushOutput, 0);
  p.Emit(opPushVar, -1);
  p.Emit(opPushInteger, 2);
  p.Emit(opOperSub);
  p.Emit(opCall, fib).B = 1;
  p.Emit(opPushOutput, 0);
  p.Emit(opOperAdd);
  p.Emit(opStoreVar, 0);
  p.Code()[static_cast<size_t>(to_end)].A = p.Here();
  p.Emit(opPushVar, 0);
  p.Emit(opRet);
  p.Code()[1].A = p.Here();
  p.Emit(opPrepare, 0);
  p.Emit(opPushInteger, static_cast<int32_t>(state.range(0)));
  p.Emit(opCall, fib).B = 1;
  p.Emit(opPushOutput, 0);
  p.Emit(opRet);
  VirtualMachine machine;
  machine.Link(p.Code());
  for (auto _ : state) benchmark::DoNotOptimize(machine.Execute("", Variant::Null()));
}
BENCHMARK(BM_RecursiveFib)->Arg(27)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel
