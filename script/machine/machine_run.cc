// The machine's run loop.
//
// Most instructions are run by calling their handler. The handlers that
// loops, routine calls and arithmetic spend their time in are also run in
// place, as cases of the loop's switch: linking gives each instruction the
// case of its handler (Instruction::InPlace), 0 for none. A case runs the
// same inline handler body (machine_fused.h) that the call would, so the
// two ways cannot differ; the case saves the call, the handler's entry and
// exit, and the reloading of the machine's registers around them.
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
#define VANTREL_IN_PLACE_MATCH(name, in_place) \
  if (handler == in_place) return k##name;
  VANTREL_IN_PLACE_HANDLERS(VANTREL_IN_PLACE_MATCH)
#undef VANTREL_IN_PLACE_MATCH
  return kCallHandler;
}

template <typename KeepGoing>
void VirtualMachine::RunWhile(KeepGoing keep_going) {
  try {
    while (next_ != nullptr && keep_going()) {
      Instruction* instruction = next_;
      current_ = instruction;
      next_ = instruction->Next;
      switch (instruction->InPlace) {
#define VANTREL_IN_PLACE_RUN(name, in_place) \
  case k##name:                              \
    in_place(*this, *instruction);           \
    break;
        VANTREL_IN_PLACE_HANDLERS(VANTREL_IN_PLACE_RUN)
#undef VANTREL_IN_PLACE_RUN
        default:
          instruction->Handler(*this, *instruction);
      }
      if (attention_.load(std::memory_order_relaxed) != 0) [[unlikely]]
        Attend();
    }
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
  RunWhile([] { return true; });
}

void VirtualMachine::RunPart(const Instruction* begin, const Instruction* end, size_t depth) {
  RunWhile([this, begin, end, depth] {
    return frame_count_ != depth || (next_ >= begin && next_ < end);
  });
}

}  // namespace vantrel
