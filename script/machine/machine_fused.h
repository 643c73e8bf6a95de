// The steps of fused sequences (superinstructions; machine_fusion.cc binds
// them) and of routine calls, defined here so that the run loop
// (machine_run.cc) can run the common ones in place, without a call.
//
// Each fused step has a fast path for the cases that cannot fail (plain
// numbers) and otherwise runs the sequence's own instructions one by one
// (MachineOps::RunPlain), so results, errors and their messages are exactly
// those of the unfused code. Internal to the machine.
#ifndef VANTREL_SCRIPT_MACHINE_MACHINE_FUSED_H_
#define VANTREL_SCRIPT_MACHINE_MACHINE_FUSED_H_

#include "script/machine/machine_ops.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant_operations.h"

// Inlined into every caller: a call would cost as much as the operation.
#define VANTREL_FUSED_INLINE [[gnu::always_inline]] inline

namespace vantrel {
namespace fusion {

using Op = MachineOps;
using Source = Op::Source;
using variant_internal::BothIntegers;
using variant_internal::BothNumbers;
using variant_internal::ExactInt32;
using variant_internal::NumberOf;
using variant_internal::SetInt64Result;

constexpr bool IsComparison(Opcode op) {
  return op >= Opcode::opOperNE && op <= Opcode::opOperLess;
}

// Compares two plain numbers; false when either is not one (or is not a
// number at all), which sends the caller to the general path.

template <Opcode kOp>
VANTREL_FUSED_INLINE bool TryCompare(const Variant& left, const Variant& right, bool& outcome) {
  double a;
  double b;
  if (BothIntegers(left, right)) {
    a = left.RawInteger();
    b = right.RawInteger();
  } else if (BothNumbers(left, right)) {
    a = NumberOf(left);
    b = NumberOf(right);
    if (a != a || b != b) return false;  // Not-a-number orders by its own rule.
  } else {
    return false;
  }
  if constexpr (kOp == Opcode::opOperNE) outcome = a != b;
  if constexpr (kOp == Opcode::opOperGE) outcome = a >= b;
  if constexpr (kOp == Opcode::opOperLE) outcome = a <= b;
  if constexpr (kOp == Opcode::opOperEqual) outcome = a == b;
  if constexpr (kOp == Opcode::opOperGreater) outcome = a > b;
  if constexpr (kOp == Opcode::opOperLess) outcome = a < b;
  return true;
}

// result := left kOp right when that cannot fail (plain numbers; a whole,
// non-zero divisor for div and mod) and returns true; otherwise leaves
// result alone and returns false. `result` may be `left` itself.
template <Opcode kOp>
VANTREL_FUSED_INLINE bool TryApply(Variant& result, const Variant& left, const Variant& right) {
  if constexpr (IsComparison(kOp)) {
    bool outcome;
    if (!TryCompare<kOp>(left, right, outcome)) return false;
    result.SetBoolean(outcome);
  } else if constexpr (kOp == Opcode::opOperMod || kOp == Opcode::opOperDiv) {
    int32_t a;
    int32_t b;
    if (!ExactInt32(left, a) || !ExactInt32(right, b) || b == 0 || b == -1) return false;
    result.SetInteger(kOp == Opcode::opOperMod ? a % b : a / b);
  } else if (BothIntegers(left, right)) {
    int64_t a = left.RawInteger();
    int64_t b = right.RawInteger();
    if constexpr (kOp == Opcode::opOperAdd) SetInt64Result(result, a + b);
    if constexpr (kOp == Opcode::opOperSub) SetInt64Result(result, a - b);
    if constexpr (kOp == Opcode::opOperMul) result.SetDouble(static_cast<double>(a * b));
  } else if (BothNumbers(left, right)) {
    double a = NumberOf(left);
    double b = NumberOf(right);
    if constexpr (kOp == Opcode::opOperAdd) result.SetDouble(a + b);
    if constexpr (kOp == Opcode::opOperSub) result.SetDouble(a - b);
    if constexpr (kOp == Opcode::opOperMul) result.SetDouble(a * b);
  } else {
    return false;
  }
  return true;
}

inline Source SourceOf(Opcode op) {
  switch (op) {
    case Opcode::opPushVar:
      return Source::kLocal;
    case Opcode::opPushGlobalVar:
      return Source::kGlobal;
    case Opcode::opPushOutput:
      return Source::kOutput;
    default:
      return Source::kConstant;
  }
}

// True when the locals of the routine entry `prepare` fit on the stack.
inline bool LocalsFit(const Instruction& prepare, const Variant* sp, const Variant* stack_end) {
  return prepare.A >= 0 && prepare.A <= stack_end - sp;
}

// The value in a variable's slot: its own, or that of the variable it
// refers to.
inline const Variant& ValueIn(const Variant& slot) {
  return slot.Type() != VariantType::kReference ? slot : slot.Dereference();
}

}  // namespace fusion

template <MachineOps::Source kSource>
VANTREL_FUSED_INLINE const Variant& MachineOps::OperandOf(const VirtualMachine& m,
                                                          const Instruction& push) {
  if constexpr (kSource == MachineOps::Source::kLocal) return fusion::ValueIn(m.bp_[push.A]);
  if constexpr (kSource == MachineOps::Source::kGlobal) return fusion::ValueIn(m.base_[push.A]);
  if constexpr (kSource == MachineOps::Source::kConstant) return push.Constant;
  // opPushOutput pushes the output as it is, a reference too.
  if constexpr (kSource == MachineOps::Source::kOutput) return m.out_[push.A];
}

VANTREL_FUSED_INLINE const Variant& MachineOps::OperandOf(const VirtualMachine& m,
                                                          const Instruction& push) {
  switch (fusion::SourceOf(push.Op)) {
    case MachineOps::Source::kLocal:
      return OperandOf<MachineOps::Source::kLocal>(m, push);
    case MachineOps::Source::kGlobal:
      return OperandOf<MachineOps::Source::kGlobal>(m, push);
    case MachineOps::Source::kOutput:
      return OperandOf<MachineOps::Source::kOutput>(m, push);
    default:
      return OperandOf<MachineOps::Source::kConstant>(m, push);
  }
}

VANTREL_FUSED_INLINE void MachineOps::EnterRoutine(VirtualMachine& m, Instruction& prepare) {
  Variant* locals = m.sp_;
  m.sp_ += prepare.A;
  // Locals start Unassigned (Empty) in every call, not with what an
  // earlier call left.
  for (Variant* slot = locals; slot < m.sp_; ++slot) slot->Clear();
  m.routine_entry_ = &prepare;
}

template <MachineOps::Step kStep>
VANTREL_FUSED_INLINE void MachineOps::StepHandler(VirtualMachine& m, Instruction& i) {
  m.next_ = kStep(m, i, m.sp_);
}

VANTREL_FUSED_INLINE Instruction* MachineOps::RunPlainFrom(VirtualMachine& m, Instruction& first,
                                                           int count, Variant*& sp) {
  m.sp_ = sp;
  RunPlain(m, first, count);
  sp = m.sp_;
  return m.next_;
}

namespace fusion {

// The instruction `k` places after `i`. The instructions of a linked list
// lie one after another, and a fused sequence never reaches past its
// list's end, so a step finds the instructions of its sequence without
// following Next from one to the other.
VANTREL_FUSED_INLINE Instruction& After(Instruction& i, int k) { return (&i)[k]; }

}  // namespace fusion

// opCall of a routine whose entry linking found to be an opPrepare: the
// call and that opPrepare in one dispatch. When the locals do not fit, the
// opPrepare runs on its own and reports the overflow.
VANTREL_FUSED_INLINE Instruction* MachineOps::CallPrepared(VirtualMachine& m, Instruction& i,
                                                           Variant*& sp) {
  Instruction& entry = *i.Target;
  m.sp_ = sp;
  m.next_ = i.Next;  // Where the caller goes on; the frame keeps it.
  m.Need(i.B);
  m.PushFrame(&entry, i.B);
  if (fusion::LocalsFit(entry, m.sp_, m.stack_end_)) {
    EnterRoutine(m, entry);
    m.next_ = entry.Next;
  }
  sp = m.sp_;
  return m.next_;
}

// push a; push b; op  →  push (a op b)
template <Opcode kOp, MachineOps::Source kA, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushPushOperate(VirtualMachine& m, Instruction& i,
                                                              Variant*& sp) {
  const Variant& a = OperandOf<kA>(m, i);
  const Variant& b = OperandOf<kB>(m, fusion::After(i, 1));
  if (m.stack_end_ - sp < 2 || !fusion::TryApply<kOp>(*sp, a, b)) return RunPlainFrom(m, i, 3, sp);
  ++sp;
  return fusion::After(i, 2).Next;
}

// push x; push a; push b; op  →  push x; push (a op b). Any simple push or
// opPushOutput may come first.
template <Opcode kOp, MachineOps::Source kA, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushPushPushOperate(VirtualMachine& m, Instruction& i,
                                                                  Variant*& sp) {
  if (m.stack_end_ - sp < 3) return RunPlainFrom(m, i, 4, sp);
  // In the order of the plain pushes: the first value is in place before
  // the others are read (if the fast path fails, the plain push writes it
  // again).
  sp[0] = OperandOf(m, i);
  if (!fusion::TryApply<kOp>(sp[1], OperandOf<kA>(m, fusion::After(i, 1)),
                             OperandOf<kB>(m, fusion::After(i, 2)))) {
    return RunPlainFrom(m, i, 4, sp);
  }
  sp += 2;
  return fusion::After(i, 3).Next;
}

// push a; push b; op; call  →  the routine called with (a op b), when
// linking bound the call to CallPrepared.
template <Opcode kOp, MachineOps::Source kA, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushPushOperateCall(VirtualMachine& m, Instruction& i,
                                                                  Variant*& sp) {
  if (m.stack_end_ - sp < 2 ||
      !fusion::TryApply<kOp>(*sp, OperandOf<kA>(m, i), OperandOf<kB>(m, fusion::After(i, 1)))) {
    return RunPlainFrom(m, i, 3, sp);
  }
  ++sp;
  Instruction& call = fusion::After(i, 3);
  // The call's own errors (a stack overflow) name the call.
  m.current_ = &call;
  return CallPrepared(m, call, sp);
}

// push b; op  →  top := top op b
template <Opcode kOp, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushOperate(VirtualMachine& m, Instruction& i,
                                                          Variant*& sp) {
  if (sp == m.base_ || sp >= m.stack_end_ ||
      !fusion::TryApply<kOp>(sp[-1], sp[-1], OperandOf<kB>(m, i))) {
    return RunPlainFrom(m, i, 2, sp);
  }
  return fusion::After(i, 1).Next;
}

// push b; op; store local v  →  v := top op b, popped
template <Opcode kOp, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushOperateStore(VirtualMachine& m, Instruction& i,
                                                               Variant*& sp) {
  Instruction& store = fusion::After(i, 2);
  if (sp == m.base_ || sp >= m.stack_end_ ||
      !fusion::TryApply<kOp>(m.bp_[store.A], sp[-1], OperandOf<kB>(m, i))) {
    return RunPlainFrom(m, i, 3, sp);
  }
  --sp;
  return store.Next;
}

// push a; push b; op; store local v  →  v := a op b
template <Opcode kOp, MachineOps::Source kA, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushPushOperateStore(VirtualMachine& m,
                                                                   Instruction& i, Variant*& sp) {
  Instruction& store = fusion::After(i, 3);
  // Computed aside: the target may be one of the operands.
  Variant result;
  if (m.stack_end_ - sp < 2 ||
      !fusion::TryApply<kOp>(result, OperandOf<kA>(m, i), OperandOf<kB>(m, fusion::After(i, 1)))) {
    return RunPlainFrom(m, i, 4, sp);
  }
  m.bp_[store.A] = std::move(result);
  return store.Next;
}

// op; store local v  →  v := left op right, both popped
template <Opcode kOp>
VANTREL_FUSED_INLINE Instruction* MachineOps::OperateStore(VirtualMachine& m, Instruction& i,
                                                           Variant*& sp) {
  Instruction& store = fusion::After(i, 1);
  if (sp - m.base_ < 2 || !fusion::TryApply<kOp>(m.bp_[store.A], sp[-2], sp[-1])) {
    return RunPlainFrom(m, i, 2, sp);
  }
  sp -= 2;
  return store.Next;
}

// push a; push b; compare; jump if false or true  →  one conditional jump
template <Opcode kOp, MachineOps::Source kA, MachineOps::Source kB>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushPushCompareJump(VirtualMachine& m, Instruction& i,
                                                                  Variant*& sp) {
  Instruction& jump = fusion::After(i, 3);
  bool outcome;
  if (m.stack_end_ - sp < 2 ||
      !fusion::TryCompare<kOp>(OperandOf<kA>(m, i), OperandOf<kB>(m, fusion::After(i, 1)),
                               outcome)) {
    return RunPlainFrom(m, i, 4, sp);
  }
  return outcome == (jump.Op == Opcode::opJumpIfTrue) ? jump.Target : jump.Next;
}

// compare; jump if false or true  →  one conditional jump
template <Opcode kOp>
VANTREL_FUSED_INLINE Instruction* MachineOps::CompareJump(VirtualMachine& m, Instruction& i,
                                                          Variant*& sp) {
  Instruction& jump = fusion::After(i, 1);
  bool outcome;
  if (sp - m.base_ < 2 || !fusion::TryCompare<kOp>(sp[-2], sp[-1], outcome)) {
    return RunPlainFrom(m, i, 2, sp);
  }
  sp -= 2;
  return outcome == (jump.Op == Opcode::opJumpIfTrue) ? jump.Target : jump.Next;
}

// push x; call a host procedure with x as its one argument  →  the call
// in one dispatch. This is how a page hands each piece of its text to echo.
// x lands where the push puts it and the call runs as opCallProc runs it;
// only the second dispatch and the general call's checks are saved. With
// the object of a with statement pending, the two run one by one.
template <Opcode kPush>
VANTREL_FUSED_INLINE Instruction* MachineOps::PushCallHost(VirtualMachine& m, Instruction& i,
                                                           Variant*& sp) {
  if (m.stack_end_ - sp < 2 || m.has_with_instance_) return RunPlainFrom(m, i, 2, sp);
  if constexpr (kPush == Opcode::opPushVarByRef) {
    Variant& slot = m.bp_[i.A];
    *sp = slot.Type() == VariantType::kReference ? slot : Variant::ReferenceTo(&slot);
  } else if constexpr (kPush == Opcode::opPushVar) {
    *sp = m.bp_[i.A].Dereference();
  } else {
    static_assert(kPush == Opcode::opPushString);
    *sp = i.Constant;
  }
  Instruction& call = fusion::After(i, 1);
  m.current_ = &call;  // The call's errors name the call.
  m.next_ = call.Next;
  m.index_base_ = sp + 1;
  m.index_count_ = 0;
  m.input_base_ = sp;
  m.arg_count_ = 1;
  m.sp_ = sp;
  m.CallHost(call, sp + 1, call.Instance, call.Class);
  sp = m.sp_;
  return m.next_;
}

// copy local to local; jump  →  the copy, and on at the jump's target
VANTREL_FUSED_INLINE Instruction* MachineOps::CopyVarJump(VirtualMachine& m, Instruction& i,
                                                          Variant*&) {
  opCopyVar(m, i);
  return fusion::After(i, 1).Target;
}

// push local v; return  →  the routine's result on the stack, then back to
// the caller.
VANTREL_FUSED_INLINE Instruction* MachineOps::PushVarReturn(VirtualMachine& m, Instruction& i,
                                                            Variant*& sp) {
  if (sp >= m.stack_end_) return RunPlainFrom(m, i, 2, sp);
  *sp++ = m.bp_[i.A].Dereference();
  m.sp_ = sp;
  m.Return();
  sp = m.sp_;
  return m.next_;
}

// The step of a for loop and the test at its head:
//   n: push step; push v; add; jump head
//   head: store v; push v; push limit; compare (<= or >=); jump if false to
//   the end
// With whole numbers and no overflow: v := v + step and straight on to the
// body or the end, in one dispatch.
template <Opcode kOp>
VANTREL_FUSED_INLINE Instruction* MachineOps::ForStep(VirtualMachine& m, Instruction& i,
                                                      Variant*& sp) {
  // Linking put the loop's limit slot in FusedSlot, the body in Target2
  // and the end in Target.
  Variant& counter = m.bp_[fusion::After(i, 1).A];
  const Variant& stop = m.bp_[i.FusedSlot].Dereference();
  // Linking fuses only whole steps (opPushInteger): Constant is an Integer.
  if (counter.Type() == VariantType::kInteger && stop.Type() == VariantType::kInteger &&
      m.stack_end_ - sp >= 2) {
    int64_t next = int64_t{counter.RawInteger()} + i.Constant.RawInteger();
    if (next == static_cast<int32_t>(next)) {
      counter.SetInteger(static_cast<int32_t>(next));
      bool go_on = kOp == Opcode::opOperLE ? next <= stop.RawInteger() : next >= stop.RawInteger();
      return go_on ? i.Target2 : i.Target;
    }
  }
  return RunPlainFrom(m, i, 4, sp);
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_MACHINE_FUSED_H_
