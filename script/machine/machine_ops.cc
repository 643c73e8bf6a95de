#include "script/machine/machine_ops.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/machine/host_binding.h"
#include "script/machine/machine_fused.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"
#include "script/values/tobject.h"
#include "script/values/variant_array.h"
#include "script/values/variant_operations.h"

namespace vantrel {
namespace {

using Op = MachineOps;

constexpr std::array<InstructionHandler, kOpcodeCount> kHandlers = {
#define VANTREL_HANDLER_ENTRY(name) &MachineOps::name,
    VANTREL_OPCODES(VANTREL_HANDLER_ENTRY)
#undef VANTREL_HANDLER_ENTRY
};

}  // namespace

Variant Op::ConstantValue(uint8_t b) {
  switch (b) {
    case 0:
      return Variant(true);
    case 1:
      return Variant(false);
    case 2:
      return Variant::Null();
    case 3:
      return Variant();
    default:
      return Variant::Byte(0);
  }
}

InstructionHandler Op::HandlerOf(Opcode op) { return kHandlers[op]; }

namespace {

// Writes `value` into `slot`, or into the variable `slot` refers to.
void StoreThrough(Variant& slot, Variant value) {
  if (slot.Type() == VariantType::kReference) {
    slot.Dereference() = std::move(value);
  } else {
    slot = std::move(value);
  }
}

}  // namespace

Variant Op::Take(Variant& slot) {
  if (slot.Type() == VariantType::kReference) return slot.Dereference();
  return std::move(slot);
}

namespace {

[[noreturn]] void NotAnArray() { throw MachineRuntimeError("Variable is not an array"); }

// Reads element [indexes] of `container`: an array takes as many indexes as
// it has dimensions and hands the rest to the element it reaches; a string
// takes exactly one (1-based) and gives that character.
Variant ReadElement(const Variant& container, std::span<const int32_t> indexes) {
  const Variant* current = &container.Dereference();
  while (!indexes.empty()) {
    if (current->Type() == VariantType::kArray) {
      const VariantArray& array = current->ArrayValue();
      size_t take = static_cast<size_t>(array.DimCount());
      if (take > indexes.size())
        throw VariantIndexError("Variant or safe array index out of bounds");
      current = &array.At(indexes.first(take)).Dereference();
      indexes = indexes.subspan(take);
    } else if (current->Type() == VariantType::kString) {
      if (indexes.size() != 1) throw MachineRuntimeError("String variable has only one dimension");
      return VariantStringCharAt(*current, indexes[0]);
    } else {
      NotAnArray();
    }
  }
  return *current;
}

// Writes `value` into element [indexes] of `container`, unsharing arrays on
// the way; writing into a string replaces the character at the position by
// the text of the value.
void WriteElement(Variant& container, std::span<const int32_t> indexes, const Variant& value) {
  Variant* current = &container.Dereference();
  for (;;) {
    if (current->Type() == VariantType::kArray) {
      VariantArray& array = current->MutableArray();
      size_t take = static_cast<size_t>(array.DimCount());
      if (take > indexes.size())
        throw VariantIndexError("Variant or safe array index out of bounds");
      Variant& element = array.At(indexes.first(take));
      indexes = indexes.subspan(take);
      if (indexes.empty()) {
        element = value.Dereference();
        return;
      }
      current = &element.Dereference();
    } else if (current->Type() == VariantType::kString) {
      if (indexes.size() != 1) throw MachineRuntimeError("String variable has only one dimension");
      VariantStringSetCharAt(*current, indexes[0], value.Dereference());
      return;
    } else {
      NotAnArray();
    }
  }
}

}  // namespace

std::span<const int32_t> Op::PopIndexes(VirtualMachine& m, int count, IndexBuffer& buffer) {
  m.Need(count);
  m.sp_ -= count;
  for (int k = 0; k < count; ++k) {
    buffer[static_cast<size_t>(k)] = m.sp_[k].Dereference().ToInteger();
  }
  return std::span<const int32_t>(buffer.data(), static_cast<size_t>(count));
}

void Op::StoreElement(VirtualMachine& m, Instruction& i, Variant& container) {
  m.Need(i.B + 1);
  IndexBuffer buffer;
  std::span<const int32_t> indexes = PopIndexes(m, i.B, buffer);
  Variant value = Take(*--m.sp_);
  WriteElement(container, indexes, value);
}

// The handlers reach into the machine's registers: m.sp_, m.bp_, ...
#define PUSH(value) m.Push(value)

void Op::opPrepare(VirtualMachine& m, Instruction& i) {
  if (!fusion::LocalsFit(i, m.sp_, m.stack_end_)) m.MakeRoom(i.A);
  EnterRoutine(m, i);
}

void Op::opPushInteger(VirtualMachine& m, Instruction& i) {
  if (m.sp_ >= m.stack_end_) [[unlikely]]
    m.MakeRoom(1);
  (m.sp_++)->SetInteger(i.A);
}

void Op::opPushDouble(VirtualMachine& m, Instruction& i) {
  if (m.sp_ >= m.stack_end_) [[unlikely]]
    m.MakeRoom(1);
  (m.sp_++)->SetDouble(i.D());
}

void Op::opPushString(VirtualMachine& m, Instruction& i) { PUSH(i.Constant); }

void Op::opPushConst(VirtualMachine& m, Instruction& i) { PUSH(ConstantValue(i.B)); }

void Op::opPushOutput(VirtualMachine& m, Instruction& i) {
  Variant value = m.out_[i.A];
  PUSH(std::move(value));
}

void Op::opPushClass(VirtualMachine& m, Instruction& i) {
  if (i.ClassRef == nullptr) m.BindClassNamed(i);
  if (i.ClassRef == nullptr) {
    throw MachineRuntimeError(Format("Invalid class reference '%s'", {i.S}));
  }
  PUSH(Variant::Class(i.ClassRef));
}

void Op::opDuplicate(VirtualMachine& m, Instruction&) {
  m.Need(1);
  Variant top = m.sp_[-1];
  PUSH(std::move(top));
}

void Op::opDuplicate2(VirtualMachine& m, Instruction&) {
  m.Need(2);
  Variant left = m.sp_[-2];
  Variant right = m.sp_[-1];
  PUSH(std::move(left));
  PUSH(std::move(right));
}

void Op::opDrop2(VirtualMachine& m, Instruction&) {
  m.Need(2);
  m.sp_ -= 2;
}

void Op::opSwap2(VirtualMachine& m, Instruction&) {
  m.Need(2);
  std::swap(m.sp_[-2], m.sp_[-1]);
}

// Two-operand operators: pop right, replace left.
#define BINARY_OPERATOR(name, operation)           \
  void Op::name(VirtualMachine& m, Instruction&) { \
    m.Need(2);                                     \
    Variant* right = --m.sp_;                      \
    operation(right[-1], *right);                  \
  }

// Comparisons: left := the Boolean outcome.
#define COMPARISON(name, relation)                     \
  void Op::name(VirtualMachine& m, Instruction&) {     \
    m.Need(2);                                         \
    Variant* right = --m.sp_;                          \
    right[-1].SetBoolean(relation(right[-1], *right)); \
  }

COMPARISON(opOperNE, VariantNotEquals)
COMPARISON(opOperGE, VariantGreaterOrEqual)
COMPARISON(opOperLE, VariantLessOrEqual)
COMPARISON(opOperEqual, VariantEquals)
COMPARISON(opOperGreater, VariantGreater)
COMPARISON(opOperLess, VariantLess)
#undef COMPARISON

BINARY_OPERATOR(opOperAdd, VariantAdd)
BINARY_OPERATOR(opOperConcat, VariantConcat)
BINARY_OPERATOR(opOperSub, VariantSub)
BINARY_OPERATOR(opOperOr, VariantOr)
BINARY_OPERATOR(opOperXor, VariantXor)
BINARY_OPERATOR(opOperMul, VariantMultiply)
BINARY_OPERATOR(opOperSlash, VariantDivide)
BINARY_OPERATOR(opOperDiv, VariantIntDiv)
BINARY_OPERATOR(opOperMod, VariantMod)
BINARY_OPERATOR(opOperAnd, VariantAnd)
BINARY_OPERATOR(opOperShl, VariantShl)
BINARY_OPERATOR(opOperShr, VariantShr)
BINARY_OPERATOR(opOperExp, VariantPower)
#undef BINARY_OPERATOR

void Op::opOperIs(VirtualMachine& m, Instruction&) {
  m.Need(2);
  Variant* right = --m.sp_;
  const Variant& class_value = right->Dereference();
  TObject* object = m.ObjectOf(right[-1]);
  bool is = object != nullptr && class_value.Type() == VariantType::kClass &&
            object->ClassType().InheritsFrom(class_value.RawClass());
  right[-1].SetBoolean(is);
}

void Op::opOperNeg(VirtualMachine& m, Instruction&) {
  m.Need(1);
  VariantNegate(m.sp_[-1]);
}

void Op::opOperNot(VirtualMachine& m, Instruction&) {
  m.Need(1);
  VariantNot(m.sp_[-1]);
}

void Op::opJumpIfFalse(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  if (IsFalse(*--m.sp_)) m.next_ = i.Target;
}

void Op::opJumpIfTrue(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  if (!IsFalse(*--m.sp_)) m.next_ = i.Target;
}

void Op::opJump(VirtualMachine& m, Instruction& i) { m.next_ = i.Target; }

void Op::opStoreVar(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  m.bp_[i.A] = Take(*--m.sp_);
}

void Op::opStoreVarRef(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  StoreThrough(m.bp_[i.A], Take(*--m.sp_));
}

void Op::opStoreIdxVar(VirtualMachine& m, Instruction& i) {
  Variant& slot = m.bp_[i.A];
  // A by-value argument may hold a reference to the caller's variable: it
  // gets its own copy before an element of it changes.
  if (slot.Type() == VariantType::kReference) slot = Variant(slot.Dereference());
  StoreElement(m, i, slot);
}

void Op::opStoreIdxVarRef(VirtualMachine& m, Instruction& i) { StoreElement(m, i, m.bp_[i.A]); }

void Op::opStoreVarInteger(VirtualMachine& m, Instruction& i) { m.bp_[i.A].SetInteger(i.X); }

void Op::opStoreVarRefInteger(VirtualMachine& m, Instruction& i) {
  m.bp_[i.A].Dereference().SetInteger(i.X);
}

void Op::opStoreVarDouble(VirtualMachine& m, Instruction& i) { m.bp_[i.A].SetDouble(i.D()); }

void Op::opStoreVarRefDouble(VirtualMachine& m, Instruction& i) {
  m.bp_[i.A].Dereference().SetDouble(i.D());
}

void Op::opStoreVarString(VirtualMachine& m, Instruction& i) { m.bp_[i.A] = i.Constant; }

void Op::opStoreVarRefString(VirtualMachine& m, Instruction& i) {
  m.bp_[i.A].Dereference() = i.Constant;
}

void Op::opStoreVarConst(VirtualMachine& m, Instruction& i) { m.bp_[i.A] = ConstantValue(i.B); }

void Op::opStoreVarRefConst(VirtualMachine& m, Instruction& i) {
  m.bp_[i.A].Dereference() = ConstantValue(i.B);
}

void Op::opCopyVar(VirtualMachine& m, Instruction& i) {
  Variant value = m.bp_[i.A].Dereference();
  m.bp_[i.X] = std::move(value);
}

void Op::opCopyVarRef(VirtualMachine& m, Instruction& i) {
  Variant value = m.bp_[i.A].Dereference();
  StoreThrough(m.bp_[i.X], std::move(value));
}

void Op::opStoreInput(VirtualMachine& m, Instruction& i) {
  Variant* arg = m.arg_base_ + m.cursor_++;
  m.bp_[i.A] = arg < m.bp_ ? arg->Dereference() : Variant::Null();
}

void Op::opPushVar(VirtualMachine& m, Instruction& i) { PUSH(m.bp_[i.A].Dereference()); }

void Op::opPushIdxVar(VirtualMachine& m, Instruction& i) {
  IndexBuffer buffer;
  PUSH(ReadElement(m.bp_[i.A], PopIndexes(m, i.B, buffer)));
}

void Op::opPushVarByRef(VirtualMachine& m, Instruction& i) {
  Variant& slot = m.bp_[i.A];
  PUSH(slot.Type() == VariantType::kReference ? slot : Variant::ReferenceTo(&slot));
}

void Op::opVarTest(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  bool equal = VariantEquals(m.bp_[i.X].Dereference(), m.sp_[-1]);
  --m.sp_;
  if (equal == (i.B != 0)) m.next_ = i.Target;
}

void Op::opVarTestInteger(VirtualMachine& m, Instruction& i) {
  bool equal = VariantEquals(m.bp_[i.X].Dereference(), Variant(i.Y));
  if (equal == (i.B != 0)) m.next_ = i.Target;
}

void Op::opVarTestDouble(VirtualMachine& m, Instruction& i) {
  bool equal = VariantEquals(m.bp_[i.N].Dereference(), Variant(i.D()));
  if (equal == (i.B != 0)) m.next_ = i.Target;
}

void Op::opVarTestString(VirtualMachine& m, Instruction& i) {
  bool equal = VariantEquals(m.bp_[i.X].Dereference(), i.Constant);
  if (equal == (i.B != 0)) m.next_ = i.Target;
}

void Op::opVarTestVar(VirtualMachine& m, Instruction& i) {
  bool equal = VariantEquals(m.bp_[i.X].Dereference(), m.bp_[i.Y].Dereference());
  if (equal == (i.B != 0)) m.next_ = i.Target;
}

void Op::opStoreGlobalVar(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  m.base_[i.A] = Take(*--m.sp_);
}

void Op::opStoreGlobalIdxVar(VirtualMachine& m, Instruction& i) {
  StoreElement(m, i, m.base_[i.A]);
}

void Op::opPushGlobalVar(VirtualMachine& m, Instruction& i) { PUSH(m.base_[i.A].Dereference()); }

void Op::opPushGlobalIdxVar(VirtualMachine& m, Instruction& i) {
  IndexBuffer buffer;
  PUSH(ReadElement(m.base_[i.A], PopIndexes(m, i.B, buffer)));
}

void Op::opPushGlobalVarByRef(VirtualMachine& m, Instruction& i) {
  Variant& slot = m.base_[i.A];
  PUSH(slot.Type() == VariantType::kReference ? slot : Variant::ReferenceTo(&slot));
}

void Op::opCall(VirtualMachine& m, Instruction& i) {
  Instruction* entry = i.Target;
  if (entry == nullptr || entry->Op != Opcode::opPrepare) {
    throw MachineRuntimeError(
        "Invalid subroutine call. Entry point should be a \"Prepare\" instruction");
  }
  m.Need(i.B);
  m.PushFrame(entry, i.B);
}

void Op::opRet(VirtualMachine& m, Instruction&) { m.Return(); }

void Op::opExecFun(VirtualMachine& m, Instruction&) {
  if (m.on_message_) m.on_message_("Use methods instead of obsolete user functions");
}

void Op::opCallProc(VirtualMachine& m, Instruction& i) {
  Variant* out = m.sp_;
  if (out >= m.stack_end_) m.MakeRoom(1);
  m.Need(i.N);
  m.sp_ -= i.N;
  m.index_base_ = m.sp_;
  m.index_count_ = i.N;
  TObject* instance = i.Instance;
  bool has_object = i.A >= 0;
  if (m.has_with_instance_) {
    instance = m.with_instance_;
    has_object = true;
    m.has_with_instance_ = false;
  }
  int argc = i.B == kPropertyWriteArgs ? 1 : i.B;
  m.Need(argc + (has_object ? 0 : 1));
  if (i.B == kPropertyWriteArgs) {
    // The object lies directly below the index arguments, the value to
    // write below it.
    if (!has_object) instance = m.ObjectOf(*--m.sp_);
    m.input_base_ = --m.sp_;
  } else {
    m.sp_ -= argc;
    m.input_base_ = m.sp_;
    if (!has_object) instance = m.ObjectOf(*--m.sp_);
  }
  m.arg_count_ = argc;
  m.CallHost(i, out, instance, i.Class);
}

void Op::opCallClassProc(VirtualMachine& m, Instruction& i) {
  Variant* out = m.sp_;
  if (out >= m.stack_end_) m.MakeRoom(1);
  m.Need(i.N + i.B);
  m.sp_ -= i.N;
  m.index_base_ = m.sp_;
  m.index_count_ = i.N;
  m.sp_ -= i.B;
  m.input_base_ = m.sp_;
  m.arg_count_ = i.B;
  m.CallHost(i, out, nullptr, i.Class);
}

void Op::opTryFinally(VirtualMachine& m, Instruction& i) { m.RunProtected(i, false); }

void Op::opTryExcept(VirtualMachine& m, Instruction& i) { m.RunProtected(i, true); }

void Op::opBreakPoint(VirtualMachine& m, Instruction&) {
  if (m.on_debug_hook_) m.on_debug_hook_(m);
}

void Op::opAbort(VirtualMachine&, Instruction&) { throw ScriptAbort("Operation aborted"); }

void Op::opArrayOf(VirtualMachine& m, Instruction& i) {
  m.Need(i.A);
  Variant* first = m.sp_ - i.A;
  std::vector<Variant> elements;
  elements.reserve(static_cast<size_t>(i.A));
  for (Variant* slot = first; slot < m.sp_; ++slot) elements.push_back(Take(*slot));
  m.sp_ = first;
  PUSH(Variant::ArrayOf(std::move(elements)));
}

void Op::opCastClass(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  if (i.ClassRef == nullptr) m.BindClassNamed(i);
  if (i.ClassRef == nullptr) {
    throw MachineRuntimeError(Format("Invalid type cast. Class '%s' is not valid", {i.S}));
  }
  TObject* object = m.ObjectOf(m.sp_[-1]);
  if (object == nullptr) throw MachineRuntimeError("Invalid object to type cast (nil)");
  if (!object->ClassType().InheritsFrom(i.ClassRef)) {
    throw MachineRuntimeError(Format("Object is not of expected class '%s'", {i.S}));
  }
}

void Op::opWithObject(VirtualMachine& m, Instruction& i) {
  m.with_instance_ = m.ObjectOf(m.bp_[i.A]);
  m.has_with_instance_ = true;
}

void Op::opGlobalPrepare(VirtualMachine& m, Instruction& i) {
  if (i.A < 0 || i.A > m.stack_end_ - m.sp_) m.MakeRoom(i.A);
  m.sp_ += i.A;
}

void Op::opTestIfFalse(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  if (IsFalse(m.sp_[-1])) m.next_ = i.Target;
}

void Op::opTestIfTrue(VirtualMachine& m, Instruction& i) {
  m.Need(1);
  if (!IsFalse(m.sp_[-1])) m.next_ = i.Target;
}

#undef PUSH

}  // namespace vantrel
