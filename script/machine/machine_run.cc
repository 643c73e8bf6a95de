// The machine's run loop.
//
// Most instructions are run by calling their handler. The handlers that
// loops, routine calls and arithmetic spend their time in are steps
// (MachineOps::Step, machine_fused.h), and the loop also runs those in
// place, as cases of its switch: linking gives each instruction the case
// of its handler (Instruction::InPlace), 0 for none. A case runs the very
// step its handler wraps, so the two ways cannot differ. In place, the
// stack top and the next instruction stay in registers from one step to
// the next, instead of making a round trip through the machine's memory
// on every instruction, which made each instruction wait for the one
// before.
#include <new>

#include "base/exception.h"
#include "script/errors/script_errors.h"
#include "script/machine/machine_fused.h"
#include "script/machine/machine_ops.h"
#include "script/machine/virtual_machine.h"

namespace vantrel {
namespace {

using Op = MachineOps;
using Source = Op::Source;

// The fused sequences of one arithmetic operation that run in place: those
// with local and constant operands, the forms counters, sums and index
// computations compile to.
#define VANTREL_IN_PLACE_ARITHMETIC(X, name, op)                                                  \
  X(PushPushOperate##name##LocalConstant,                                                         \
    (Op::PushPushOperate<op, Source::kLocal, Source::kConstant>))                                 \
  X(PushPushOperate##name##LocalLocal, (Op::PushPushOperate<op, Source::kLocal, Source::kLocal>)) \
  X(PushPushPushOperate##name##LocalConstant,                                                     \
    (Op::PushPushPushOperate<op, Source::kLocal, Source::kConstant>))                             \
  X(PushPushPushOperate##name##LocalLocal,                                                        \
    (Op::PushPushPushOperate<op, Source::kLocal, Source::kLocal>))                                \
  X(PushPushOperateStore##name##LocalConstant,                                                    \
    (Op::PushPushOperateStore<op, Source::kLocal, Source::kConstant>))                            \
  X(PushPushOperateStore##name##LocalLocal,                                                       \
    (Op::PushPushOperateStore<op, Source::kLocal, Source::kLocal>))                               \
  X(PushOperate##name##Constant, (Op::PushOperate<op, Source::kConstant>))                        \
  X(PushOperate##name##Local, (Op::PushOperate<op, Source::kLocal>))                              \
  X(PushOperate##name##Output, (Op::PushOperate<op, Source::kOutput>))                            \
  X(PushOperateStore##name##Constant, (Op::PushOperateStore<op, Source::kConstant>))              \
  X(PushOperateStore##name##Local, (Op::PushOperateStore<op, Source::kLocal>))                    \
  X(PushOperateStore##name##Output, (Op::PushOperateStore<op, Source::kOutput>))                  \
  X(OperateStore##name, (Op::OperateStore<op>))

// The compare-and-jump sequences of one comparison that run in place.
#define VANTREL_IN_PLACE_COMPARISON(X, name, op)                      \
  X(PushPushCompareJump##name##LocalConstant,                         \
    (Op::PushPushCompareJump<op, Source::kLocal, Source::kConstant>)) \
  X(PushPushCompareJump##name##LocalLocal,                            \
    (Op::PushPushCompareJump<op, Source::kLocal, Source::kLocal>))    \
  X(CompareJump##name, (Op::CompareJump<op>))

// Every handler that runs in place: X(name, handler).
#define VANTREL_IN_PLACE_HANDLERS(X)                                                 \
  X(CallPrepared, (Op::CallPrepared))                                                \
  X(PushVarReturn, (Op::PushVarReturn))                                              \
  X(CopyVarJump, (Op::CopyVarJump))                                                  \
  X(ForStepUp, (Op::ForStep<Opcode::opOperLE>))                                      \
  X(ForStepDown, (Op::ForStep<Opcode::opOperGE>))                                    \
  X(PushPushOperateCallAddLocalConstant,                                             \
    (Op::PushPushOperateCall<Opcode::opOperAdd, Source::kLocal, Source::kConstant>)) \
  X(PushPushOperateCallSubLocalConstant,                                             \
    (Op::PushPushOperateCall<Opcode::opOperSub, Source::kLocal, Source::kConstant>)) \
  VANTREL_IN_PLACE_ARITHMETIC(X, Add, Opcode::opOperAdd)                             \
  VANTREL_IN_PLACE_ARITHMETIC(X, Sub, Opcode::opOperSub)                             \
  VANTREL_IN_PLACE_ARITHMETIC(X, Mul, Opcode::opOperMul)                             \
  VANTREL_IN_PLACE_ARITHMETIC(X, Mod, Opcode::opOperMod)                             \
  VANTREL_IN_PLACE_COMPARISON(X, NE, Opcode::opOperNE)                               \
  VANTREL_IN_PLACE_COMPARISON(X, GE, Opcode::opOperGE)                               \
  VANTREL_IN_PLACE_COMPARISON(X, LE, Opcode::opOperLE)                               \
  VANTREL_IN_PLACE_COMPARISON(X, Equal, Opcode::opOperEqual)                         \
  VANTREL_IN_PLACE_COMPARISON(X, Greater, Opcode::opOperGreater)                     \
  VANTREL_IN_PLACE_COMPARISON(X, Less, Opcode::opOperLess)

enum InPlaceCase : uint8_t {
  kCallHandler = 0,
#define VANTREL_IN_PLACE_ENUM(name, handler) k##name,
  VANTREL_IN_PLACE_HANDLERS(VANTREL_IN_PLACE_ENUM)
#undef VANTREL_IN_PLACE_ENUM
};

}  // namespace

uint8_t MachineOps::InPlaceCaseOf(InstructionHandler handler) {
#define VANTREL_IN_PLACE_MATCH(name, step) \
  if (handler == &Op::StepHandler<&step>) return k##name;
  VANTREL_IN_PLACE_HANDLERS(VANTREL_IN_PLACE_MATCH)
#undef VANTREL_IN_PLACE_MATCH
  return kCallHandler;
}

template <typename KeepGoing>
void VirtualMachine::RunWhile(KeepGoing keep_going) {
  // The next instruction and the stack top live in registers while steps
  // run in place; the machine's next_ and sp_ are brought up to date
  // around everything else. When an instruction raises, sp_ is already
  // up to date: steps update it before anything that can raise.
  Instruction* instruction = next_;
  Variant* sp = sp_;
  try {
    while (instruction != nullptr && keep_going(instruction)) {
      current_ = instruction;
      switch (instruction->InPlace) {
#define VANTREL_IN_PLACE_RUN(name, step)         \
  case k##name:                                  \
    instruction = step(*this, *instruction, sp); \
    break;
        VANTREL_IN_PLACE_HANDLERS(VANTREL_IN_PLACE_RUN)
#undef VANTREL_IN_PLACE_RUN
        default:
          sp_ = sp;
          next_ = instruction->Next;
          instruction->Handler(*this, *instruction);
          instruction = next_;
          sp = sp_;
      }
      if (attention_.load(std::memory_order_relaxed) != 0) [[unlikely]] {
        sp_ = sp;
        next_ = instruction;
        Attend();
        instruction = next_;
        sp = sp_;
      }
    }
    sp_ = sp;
    next_ = instruction;
  } catch (const MachineRuntimeError& error) {
    RaiseFromInstruction(error.Text(), error.ClassName());
  } catch (const ScriptRuntimeError&) {
    throw;
  } catch (const SilentError&) {
    throw;
  } catch (const Exception& error) {
    RaiseFromInstruction(error.Message(), error.ClassName(), error.HelpContext());
  } catch (const std::bad_alloc& error) {
    RaiseFromInstruction(error.what(), "EOutOfMemory");
  } catch (const std::exception& error) {
    RaiseFromInstruction(error.what(), "Exception");
  }
}

void VirtualMachine::Run() {
  RunWhile([](const Instruction*) { return true; });
}

void VirtualMachine::RunPart(const Instruction* begin, const Instruction* end, size_t depth) {
  RunWhile([this, begin, end, depth](const Instruction* next) {
    return frame_count_ != depth || (next >= begin && next < end);
  });
}

}  // namespace vantrel
