// Superinstructions: linking binds the first instruction of a common
// sequence to a handler that runs the whole sequence in one dispatch
// (machine_fused.h). The instructions keep their fields and their own
// handlers (a disassembly does not change); only the first one's handler
// is replaced.
#include <algorithm>
#include <vector>

#include "script/machine/machine_fused.h"
#include "script/machine/machine_ops.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant_operations.h"

namespace vantrel {

using Op = MachineOps;
using Source = Op::Source;
using fusion::IsComparison;
using fusion::SourceOf;

namespace {

bool IsOperandPush(Opcode op) {
  return op == Opcode::opPushVar || op == Opcode::opPushInteger || op == Opcode::opPushDouble ||
         op == Opcode::opPushGlobalVar;
}

// Any push of one plain value: the piece appended by `s = s & x`.
bool IsSimplePush(Opcode op) {
  return IsOperandPush(op) || op == Opcode::opPushString || op == Opcode::opPushConst;
}

// The one operand of a push-operate sequence may also be a routine's output.
bool IsOperandOrOutputPush(Opcode op) { return IsOperandPush(op) || op == Opcode::opPushOutput; }

// Any push of one value that cannot fail but for want of room: the first
// push of push-push-push-operate, which is only copied.
bool IsValuePush(Opcode op) { return IsSimplePush(op) || op == Opcode::opPushOutput; }

// Operations whose fast path is taken for two plain numbers.
bool IsFusableOperation(Opcode op) {
  return IsComparison(op) || op == Opcode::opOperAdd || op == Opcode::opOperSub ||
         op == Opcode::opOperMul || op == Opcode::opOperMod || op == Opcode::opOperDiv;
}

// True when the text of `value` cannot fail to convert (no array, no date
// out of the calendar's range).
bool HasPlainText(const Variant& value) {
  const VariantType type = value.Type();
  return type != VariantType::kArray && type != VariantType::kDate &&
         type != VariantType::kReference;
}

// Pushes of the one argument of a host procedure call that PushCallHost
// runs itself.
bool IsHostCallPush(Opcode op) {
  return op == Opcode::opPushString || op == Opcode::opPushVar || op == Opcode::opPushVarByRef;
}

// A host procedure call with one argument, no index arguments and its
// object known when linking: the call PushCallHost runs.
bool IsOneArgumentHostCall(const Instruction& call) {
  return call.Op == Opcode::opCallProc && call.B == 1 && call.N == 0 && call.A >= 0;
}

InstructionHandler PushCallHostHandler(Opcode push) {
  switch (push) {
    case Opcode::opPushVar:
      return &Op::StepHandler<&Op::PushCallHost<Opcode::opPushVar>>;
    case Opcode::opPushVarByRef:
      return &Op::StepHandler<&Op::PushCallHost<Opcode::opPushVarByRef>>;
    default:
      return &Op::StepHandler<&Op::PushCallHost<Opcode::opPushString>>;
  }
}

// A call of a pure host function with one argument: in a constant text,
// the call of `chr (10)`.
bool IsPureCall(const Instruction& call) { return IsOneArgumentHostCall(call) && call.Pure; }

// The number of instructions of the constant text (see ConstantText) that
// starts at code[n]: the longest run of string pushes, pure calls of one
// integer constant taken with their output, and + or & of the two values
// before, that leaves one value and joins or calls at least once; 0 when
// there is none. No jump may land inside it. `room` gets the stack slots
// its instructions need at most. Values piled deeper than a few (an array
// literal's elements) end the search, so that linking stays linear.
size_t ConstantTextLength(const InstructionList& code, const std::vector<bool>& targeted, size_t n,
                          int& room) {
  constexpr size_t kDeepest = 8;
  const size_t count = code.size();
  size_t depth = 0;
  size_t length = 0;
  size_t most = 0;
  bool made = false;
  for (size_t k = n; k < count && (k == n || !targeted[k]) && depth < kDeepest;) {
    const Opcode op = code[k].Op;
    if (op == Opcode::opPushString) {
      ++depth;
      k += 1;
    } else if (op == Opcode::opPushInteger && k + 2 < count && !targeted[k + 1] &&
               !targeted[k + 2] && IsPureCall(code[k + 1]) &&
               code[k + 2].Op == Opcode::opPushOutput && code[k + 2].A == 0) {
      most = std::max(most, depth + 2);  // The argument, then the call's result slot.
      ++depth;
      made = true;
      k += 3;
    } else if ((op == Opcode::opOperAdd || op == Opcode::opOperConcat) && depth >= 2) {
      --depth;
      made = true;
      k += 1;
    } else {
      break;
    }
    most = std::max(most, depth);
    if (depth == 1 && made) {
      length = k - n;
      room = static_cast<int>(most);
    }
  }
  return length;
}

// Jump instructions that may close a compare-and-jump sequence.
bool IsConditionalJump(Opcode op) {
  return op == Opcode::opJumpIfFalse || op == Opcode::opJumpIfTrue;
}

}  // namespace

void Op::RunPlain(VirtualMachine& m, Instruction& first, int count) {
  Instruction* instruction = &first;
  for (int k = 0; k < count; ++k) {
    m.current_ = instruction;
    m.next_ = instruction->Next;
    HandlerOf(instruction->Op)(m, *instruction);
    instruction = instruction->Next;
  }
}

// `s = s & x` (opPushVar s; push x; opOperConcat; opStoreVar s, or the same
// with opPushGlobalVar and opStoreGlobalVar): the text of x is appended to
// the variable in place, so that building a string piece by piece takes
// linear time. Only when s holds a string and the text of x cannot fail
// (VariantConcat is the plain operator itself, so Null and every other
// value join exactly as with `&`); otherwise the four instructions run one
// by one.
void Op::AppendToLocal(VirtualMachine& m, Instruction& i) { AppendTo(m, i, m.bp_[i.A]); }

void Op::AppendToGlobal(VirtualMachine& m, Instruction& i) { AppendTo(m, i, m.base_[i.A]); }

// The text is kept only when every value its instructions made was a string,
// so that each + joined two strings (never a number read from a text), and
// every call in it was pure.
void Op::ConstantText(VirtualMachine& m, Instruction& i) {
  Instruction& last = (&i)[i.FusedSlot - 1];
  // A pending with object goes to the first call, and too little room for
  // what the instructions push must fail where they fail: in either case
  // they run one by one and nothing is kept. The last instruction's
  // FusedSlot holds that room.
  const bool plain = m.has_with_instance_ || m.stack_end_ - m.sp_ < last.FusedSlot;
  if (!plain && !last.Constant.IsUnassigned()) {
    m.Push(last.Constant);
    m.next_ = last.Next;
    return;
  }
  bool keep = !plain;
  for (Instruction* step = &i;; step = step->Next) {
    RunPlain(m, *step, 1);
    if (step->Op == Opcode::opCallProc) {
      keep = keep && step->Pure;
    } else if (step->Op != Opcode::opPushInteger) {
      keep = keep && m.sp_[-1].Type() == VariantType::kString;
    }
    if (step == &last) break;
  }
  if (keep) last.Constant = m.sp_[-1];
}

void Op::ForgetConstantTexts(InstructionList& code) {
  for (Instruction& i : code) {
    if (i.Handler == &ConstantText) (&i)[i.FusedSlot - 1].Constant = Variant();
  }
}

void Op::AppendTo(VirtualMachine& m, Instruction& i, Variant& target) {
  Instruction& push = *i.Next;
  Instruction& store = *push.Next->Next;
  const Variant* piece = &OperandOf(m, push);
  if (target.Type() != VariantType::kString || !HasPlainText(*piece) || m.stack_end_ - m.sp_ < 2) {
    RunPlain(m, i, 4);
    return;
  }
  VariantConcat(target, *piece);
  m.next_ = store.Next;
}

namespace {

// True when code[n..n+3] is a for loop's step and its jump leads to the
// loop's test (see ForStep), with no other jump into either.
bool IsForStep(const InstructionList& code, const std::vector<bool>& targeted, size_t n) {
  size_t count = code.size();
  if (n + 4 > count) return false;
  const Instruction& step = code[n];
  const Instruction& counter = code[n + 1];
  const Instruction& jump = code[n + 3];
  // A fractional step never takes ForStep's fast path: only whole ones.
  if (step.Op != Opcode::opPushInteger || counter.Op != Opcode::opPushVar ||
      code[n + 2].Op != Opcode::opOperAdd || jump.Op != Opcode::opJump || targeted[n + 1] ||
      targeted[n + 2] || targeted[n + 3]) {
    return false;
  }
  size_t head = static_cast<size_t>(jump.A);
  if (head + 5 > count) return false;
  for (size_t k = head + 1; k < head + 5; ++k) {
    if (targeted[k]) return false;
  }
  const Opcode compare = code[head + 3].Op;
  return code[head].Op == Opcode::opStoreVar && code[head].A == counter.A &&
         code[head + 1].Op == Opcode::opPushVar && code[head + 1].A == counter.A &&
         code[head + 2].Op == Opcode::opPushVar &&
         (compare == Opcode::opOperLE || compare == Opcode::opOperGE) &&
         code[head + 4].Op == Opcode::opJumpIfFalse;
}

// The handler Table<op, a, b> for the operation and the operand sources
// of a sequence (tables of sequences with fewer operands ignore a or b).
template <template <Opcode, Source, Source> class Table, Source kA, Source kB>
InstructionHandler SelectOperation(Opcode op) {
  switch (op) {
#define VANTREL_FUSED_CASE(name) \
  case name:                     \
    return Table<name, kA, kB>::kHandler;
    VANTREL_FUSED_CASE(Opcode::opOperNE)
    VANTREL_FUSED_CASE(Opcode::opOperGE)
    VANTREL_FUSED_CASE(Opcode::opOperLE)
    VANTREL_FUSED_CASE(Opcode::opOperEqual)
    VANTREL_FUSED_CASE(Opcode::opOperGreater)
    VANTREL_FUSED_CASE(Opcode::opOperLess)
    VANTREL_FUSED_CASE(Opcode::opOperAdd)
    VANTREL_FUSED_CASE(Opcode::opOperSub)
    VANTREL_FUSED_CASE(Opcode::opOperMul)
    VANTREL_FUSED_CASE(Opcode::opOperMod)
    VANTREL_FUSED_CASE(Opcode::opOperDiv)
#undef VANTREL_FUSED_CASE
    default:
      return nullptr;
  }
}

template <template <Opcode, Source, Source> class Table, Source kA>
InstructionHandler SelectSecond(Opcode op, Source b) {
  switch (b) {
    case Source::kLocal:
      return SelectOperation<Table, kA, Source::kLocal>(op);
    case Source::kGlobal:
      return SelectOperation<Table, kA, Source::kGlobal>(op);
    default:
      return SelectOperation<Table, kA, Source::kConstant>(op);
  }
}

template <template <Opcode, Source, Source> class Table>
InstructionHandler Select(Opcode op, Source a = Source::kLocal, Source b = Source::kLocal) {
  switch (a) {
    case Source::kLocal:
      return SelectSecond<Table, Source::kLocal>(op, b);
    case Source::kGlobal:
      return SelectSecond<Table, Source::kGlobal>(op, b);
    default:
      return SelectSecond<Table, Source::kConstant>(op, b);
  }
}

// One-operand and operand-free tables are instantiated for the first
// source only, so that Select makes no copies of them; their operand may
// also be an output.
template <template <Opcode, Source, Source> class Table>
InstructionHandler SelectOne(Opcode op, Source b = Source::kLocal) {
  switch (b) {
    case Source::kLocal:
      return SelectOperation<Table, Source::kLocal, Source::kLocal>(op);
    case Source::kGlobal:
      return SelectOperation<Table, Source::kLocal, Source::kGlobal>(op);
    case Source::kOutput:
      return SelectOperation<Table, Source::kLocal, Source::kOutput>(op);
    default:
      return SelectOperation<Table, Source::kLocal, Source::kConstant>(op);
  }
}

template <Opcode kOp, Source kA, Source kB>
struct PushPushOperateOf {
  static constexpr InstructionHandler kHandler =
      &Op::StepHandler<&Op::PushPushOperate<kOp, kA, kB>>;
};
template <Opcode kOp, Source kA, Source kB>
struct PushPushPushOperateOf {
  static constexpr InstructionHandler kHandler =
      &Op::StepHandler<&Op::PushPushPushOperate<kOp, kA, kB>>;
};
template <Opcode kOp, Source kA, Source kB>
struct PushPushOperateCallOf {
  static constexpr InstructionHandler kHandler =
      &Op::StepHandler<&Op::PushPushOperateCall<kOp, kA, kB>>;
};
template <Opcode kOp, Source, Source kB>
struct PushOperateStoreOf {
  static constexpr InstructionHandler kHandler = &Op::StepHandler<&Op::PushOperateStore<kOp, kB>>;
};
template <Opcode kOp, Source, Source kB>
struct PushOperateOf {
  static constexpr InstructionHandler kHandler = &Op::StepHandler<&Op::PushOperate<kOp, kB>>;
};
template <Opcode kOp, Source kA, Source kB>
struct PushPushOperateStoreOf {
  static constexpr InstructionHandler kHandler =
      &Op::StepHandler<&Op::PushPushOperateStore<kOp, kA, kB>>;
};
template <Opcode kOp, Source, Source>
struct OperateStoreOf {
  static constexpr InstructionHandler kHandler = &Op::StepHandler<&Op::OperateStore<kOp>>;
};
template <Opcode kOp, Source kA, Source kB>
constexpr InstructionHandler PushPushCompareJumpHandler() {
  if constexpr (IsComparison(kOp)) return &Op::StepHandler<&Op::PushPushCompareJump<kOp, kA, kB>>;
  return nullptr;
}
template <Opcode kOp>
constexpr InstructionHandler CompareJumpHandler() {
  if constexpr (IsComparison(kOp)) return &Op::StepHandler<&Op::CompareJump<kOp>>;
  return nullptr;
}

template <Opcode kOp, Source kA, Source kB>
struct PushPushCompareJumpOf {
  static constexpr InstructionHandler kHandler = PushPushCompareJumpHandler<kOp, kA, kB>();
};
template <Opcode kOp, Source, Source>
struct CompareJumpOf {
  static constexpr InstructionHandler kHandler = CompareJumpHandler<kOp>();
};

}  // namespace

void Op::Fuse(InstructionList& code, const std::vector<bool>& targeted) {
  size_t count = code.size();
  // True when instructions n+1 .. n+length-1 exist and no jump lands on them.
  auto free_run = [&](size_t n, size_t length) {
    if (n + length > count) return false;
    for (size_t k = n + 1; k < n + length; ++k) {
      if (targeted[k]) return false;
    }
    return true;
  };
  auto op = [&](size_t n) { return code[n].Op; };
  auto source = [&](size_t n) { return SourceOf(code[n].Op); };
  for (size_t n = 0; n < count; ++n) {
    Instruction& first = code[n];
    int room = 0;
    if (const size_t length = ConstantTextLength(code, targeted, n, room); length != 0) {
      first.Handler = &ConstantText;
      first.FusedSlot = static_cast<int32_t>(length);
      code[n + length - 1].FusedSlot = room;
      n += length - 1;
    } else if (first.Op == Opcode::opPushVar && free_run(n, 2) && op(n + 1) == Opcode::opRet) {
      first.Handler = &StepHandler<&PushVarReturn>;
      n += 1;
    } else if (IsForStep(code, targeted, n)) {
      const size_t head = static_cast<size_t>(code[n + 3].A);
      const Instruction& exit = code[head + 4];
      first.FusedSlot = code[head + 2].A;
      first.Target = exit.Target;
      first.Target2 = exit.Next;
      bool up = code[head + 3].Op == Opcode::opOperLE;
      first.Handler =
          up ? &StepHandler<&ForStep<Opcode::opOperLE>> : &StepHandler<&ForStep<Opcode::opOperGE>>;
      n += 3;
    } else if (first.Op == Opcode::opPushVar && free_run(n, 4) && IsSimplePush(op(n + 1)) &&
               op(n + 2) == Opcode::opOperConcat && op(n + 3) == Opcode::opStoreVar &&
               code[n + 3].A == first.A) {
      first.Handler = &AppendToLocal;
      n += 3;
    } else if (first.Op == Opcode::opPushGlobalVar && free_run(n, 4) && IsSimplePush(op(n + 1)) &&
               op(n + 2) == Opcode::opOperConcat && op(n + 3) == Opcode::opStoreGlobalVar &&
               code[n + 3].A == first.A) {
      first.Handler = &AppendToGlobal;
      n += 3;
    } else if (IsOperandPush(first.Op) && free_run(n, 4) && IsOperandPush(op(n + 1)) &&
               IsComparison(op(n + 2)) && IsConditionalJump(op(n + 3))) {
      first.Handler = Select<PushPushCompareJumpOf>(op(n + 2), source(n), source(n + 1));
      n += 3;
    } else if (IsOperandPush(first.Op) && free_run(n, 4) && IsOperandPush(op(n + 1)) &&
               IsFusableOperation(op(n + 2)) && op(n + 3) == Opcode::opStoreVar) {
      first.Handler = Select<PushPushOperateStoreOf>(op(n + 2), source(n), source(n + 1));
      n += 3;
    } else if (IsOperandPush(first.Op) && free_run(n, 4) && IsOperandPush(op(n + 1)) &&
               IsFusableOperation(op(n + 2)) && op(n + 3) == Opcode::opCall &&
               code[n + 3].Handler == &StepHandler<&CallPrepared>) {
      first.Handler = Select<PushPushOperateCallOf>(op(n + 2), source(n), source(n + 1));
      n += 3;
    } else if (IsOperandPush(first.Op) && free_run(n, 3) && IsOperandPush(op(n + 1)) &&
               IsFusableOperation(op(n + 2))) {
      first.Handler = Select<PushPushOperateOf>(op(n + 2), source(n), source(n + 1));
      n += 2;
    } else if (IsValuePush(first.Op) && free_run(n, 4) && IsOperandPush(op(n + 1)) &&
               IsOperandPush(op(n + 2)) && IsFusableOperation(op(n + 3))) {
      first.Handler = Select<PushPushPushOperateOf>(op(n + 3), source(n + 1), source(n + 2));
      n += 3;
    } else if (IsOperandOrOutputPush(first.Op) && free_run(n, 3) && IsFusableOperation(op(n + 1)) &&
               op(n + 2) == Opcode::opStoreVar) {
      first.Handler = SelectOne<PushOperateStoreOf>(op(n + 1), source(n));
      n += 2;
    } else if (IsOperandOrOutputPush(first.Op) && free_run(n, 2) && IsFusableOperation(op(n + 1))) {
      first.Handler = SelectOne<PushOperateOf>(op(n + 1), source(n));
      n += 1;
    } else if (IsHostCallPush(first.Op) && free_run(n, 2) && IsOneArgumentHostCall(code[n + 1])) {
      first.Handler = PushCallHostHandler(first.Op);
      n += 1;
    } else if (first.Op == Opcode::opCopyVar && free_run(n, 2) && op(n + 1) == Opcode::opJump) {
      first.Handler = &StepHandler<&CopyVarJump>;
      n += 1;
    } else if (IsFusableOperation(first.Op) && free_run(n, 2) && op(n + 1) == Opcode::opStoreVar) {
      first.Handler = SelectOne<OperateStoreOf>(first.Op);
      n += 1;
    } else if (IsComparison(first.Op) && free_run(n, 2) && IsConditionalJump(op(n + 1))) {
      first.Handler = SelectOne<CompareJumpOf>(first.Op);
      n += 1;
    }
  }
}

}  // namespace vantrel
