// Linking: binds every instruction of a code list to its handler, its jump
// targets and what it uses of the host, checks that nothing it refers to lies
// outside the code or the stack, and hands the list to fusion.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/machine/host_binding.h"
#include "script/machine/machine_fused.h"
#include "script/machine/machine_ops.h"
#include "script/machine/virtual_machine.h"

namespace vantrel {

namespace {

bool IsJump(Opcode op) {
  switch (op) {
    case opJumpIfFalse:
    case opJumpIfTrue:
    case opJump:
    case opVarTest:
    case opVarTestInteger:
    case opVarTestDouble:
    case opVarTestString:
    case opVarTestVar:
    case opCall:
    case opTestIfFalse:
    case opTestIfTrue:
    case opTryFinally:
    case opTryExcept:
      return true;
    default:
      return false;
  }
}

// Opcodes whose A is a local slot, and those whose X or Y is one too.
bool UsesLocalA(Opcode op) {
  return (op >= opStoreVar && op <= opPushVarByRef) || op == opWithObject;
}
bool UsesLocalX(Opcode op) {
  return op == opCopyVar || op == opCopyVarRef || op == opVarTest || op == opVarTestInteger ||
         op == opVarTestString || op == opVarTestVar;
}
bool UsesGlobalA(Opcode op) { return op >= opStoreGlobalVar && op <= opPushGlobalVarByRef; }

// Opcodes whose operands linking binds to something of the host.
bool TakesFromHost(Opcode op) {
  return op == opPushConst || op == opPushClass || op == opCastClass || op == opCallProc ||
         op == opCallClassProc;
}

class Linker {
 public:
  Linker(InstructionList& code, const HostBinding* host, InstructionList* enclosing)
      : code_(code), host_(host), enclosing_(enclosing) {}

  // What linking took from the host (constants, classes, default
  // instances, members) may have changed since the code was linked; the
  // rest of a link depends on the code alone.
  void Rebind() {
    bool calls_changed = false;
    for (size_t n = 0; n < code_.size(); ++n) {
      Instruction& i = code_[n];
      if (!TakesFromHost(i.Op)) continue;
      const HostHandler host = i.Host;
      TObject* const instance = i.Instance;
      const bool pure = i.Pure;
      ForgetOperands(i);
      BindOperands(n, i);
      calls_changed = calls_changed || i.Host != host || i.Instance != instance || i.Pure != pure;
    }
    // A constant text made by calls that are no longer the same is made
    // again when it next runs.
    if (calls_changed) MachineOps::ForgetConstantTexts(code_);
  }

  void Run() {
    size_t count = code_.size();
    std::vector<bool> targeted(count + 1, false);
    for (size_t n = 0; n < count; ++n) {
      Instruction& i = code_[n];
      if (i.Op >= kOpcodeCount) Fail(n, "invalid opcode");
      i.Handler = MachineOps::HandlerOf(i.Op);
      i.Next = n + 1 < count ? &code_[n + 1] : nullptr;
      i.Target = i.Target2 = nullptr;
      i.FusedSlot = 0;
      ForgetOperands(i);
      CheckSlots(n, i);
      if (i.Op == opCall && (i.F & kFlagEnclosingEntry) != 0) {
        i.Target = EnclosingEntry(n, i.A);
      } else if (IsJump(i.Op)) {
        i.Target = At(n, i.A);
        targeted[static_cast<size_t>(i.A)] = true;
      }
      if (i.Op == opTryFinally || i.Op == opTryExcept) {
        i.Target2 = At(n, i.X);
        targeted[static_cast<size_t>(i.X)] = true;
      }
      BindOperands(n, i);
      if (i.Op == opCall && i.Target != nullptr && i.Target->Op == opPrepare) {
        i.Handler = &MachineOps::StepHandler<&MachineOps::CallPrepared>;
      }
    }
    MachineOps::Fuse(code_, targeted);
    // Only the handlers fusion and call binding chose can run in place.
    for (Instruction& i : code_) {
      i.InPlace =
          i.Handler == MachineOps::HandlerOf(i.Op) ? 0 : MachineOps::InPlaceCaseOf(i.Handler);
    }
  }

 private:
  // Clears what BindOperands fills in.
  static void ForgetOperands(Instruction& i) {
    i.Instance = nullptr;
    i.Class = nullptr;
    i.ClassRef = nullptr;
    i.Host = {};
    i.Constant = Variant();
    i.Pure = false;
  }

  [[noreturn]] void Fail(size_t n, const char* what) {
    throw ScriptInternalError(Format("Invalid instruction %d: %s", {static_cast<int>(n), what}));
  }

  // Instruction `number` as a reference; the number one past the end means
  // "the end" (null).
  Instruction* At(size_t n, int32_t number) {
    if (number < 0 || static_cast<size_t>(number) > code_.size())
      Fail(n, "reference outside the code");
    return static_cast<size_t>(number) == code_.size() ? nullptr
                                                       : &code_[static_cast<size_t>(number)];
  }

  // Instruction `number` of the enclosing code: a routine entry of the
  // code that frame code runs inside.
  Instruction* EnclosingEntry(size_t n, int32_t number) {
    if (enclosing_ == nullptr) Fail(n, "call into enclosing code outside frame code");
    if (number < 0 || static_cast<size_t>(number) >= enclosing_->size()) {
      Fail(n, "reference outside the enclosing code");
    }
    return &(*enclosing_)[static_cast<size_t>(number)];
  }

  // Slots must lie within the stack's guard zones, so that even broken code
  // cannot reach outside the machine's memory.
  void CheckSlots(size_t n, const Instruction& i) {
    auto local_ok = [](int32_t slot) {
      return slot >= -VirtualMachine::kArgumentGuard && slot < VirtualMachine::kStackSize;
    };
    if (UsesLocalA(i.Op) && !local_ok(i.A)) Fail(n, "local slot out of range");
    if (UsesLocalX(i.Op) && !local_ok(i.X)) Fail(n, "local slot out of range");
    if (i.Op == opVarTestVar && !local_ok(i.Y)) Fail(n, "local slot out of range");
    if (i.Op == opVarTestDouble && !local_ok(i.N)) Fail(n, "local slot out of range");
    if (UsesGlobalA(i.Op) && (i.A < 0 || i.A >= VirtualMachine::kStackSize)) {
      Fail(n, "global slot out of range");
    }
    if (i.Op == opPushOutput && (i.A < 0 || i.A >= VirtualMachine::kStackSize)) {
      Fail(n, "output slot out of range");
    }
  }

  void BindOperands(size_t n, Instruction& i) {
    switch (i.Op) {
      case opPushString:
        i.Constant = Variant(i.S);
        break;
      // Fused sequences read their numeric operands from here.
      case opPushInteger:
        i.Constant = Variant(i.A);
        break;
      case opPushDouble:
        i.Constant = Variant(i.D());
        break;
      case opPushConst:
        i.Constant = MachineOps::ConstantValue(i.B);
        break;
      case opStoreVarString:
      case opStoreVarRefString:
      case opVarTestString:
        i.Constant =
            Variant(std::string_view(i.S).substr(0, static_cast<size_t>(std::max(i.Y, 0))));
        break;
      case opPushClass:
      case opCastClass:
        BindClass(i, i.S.empty() ? Class(i.A) : Class(i.S));
        break;
      case opCallProc:
        if (i.A >= 0 && (host_ == nullptr || !host_->DefaultInstance(i.A, i.Instance))) {
          Fail(n, "unknown default instance");
        }
        BindMember(n, i);
        break;
      case opCallClassProc: {
        HostBinding::BoundClass bound = Class(i.A);
        if (bound.entry == nullptr) Fail(n, "unknown class");
        BindClass(i, bound);
        BindMember(n, i);
        break;
      }
      default:
        break;
    }
  }

  HostBinding::BoundClass Class(int32_t index) const {
    return host_ == nullptr ? HostBinding::BoundClass{} : host_->ClassAt(index);
  }
  HostBinding::BoundClass Class(std::string_view name) const {
    return host_ == nullptr ? HostBinding::BoundClass{} : host_->ClassNamed(name);
  }
  static void BindClass(Instruction& i, HostBinding::BoundClass bound) {
    i.Class = bound.entry;
    i.ClassRef = bound.class_ref;
  }

  void BindMember(size_t n, Instruction& i) {
    if (host_ == nullptr) Fail(n, "unknown member class");
    HostBinding::BoundMember bound = host_->Member(i.Y);
    if (bound.error != nullptr) Fail(n, bound.error);
    i.Host = bound.handler;
    if (i.Op == opCallProc) {
      i.Class = bound.entry;
      i.Pure = bound.pure;
    }
  }

  InstructionList& code_;
  const HostBinding* host_;     // May be null: nothing of the host is known.
  InstructionList* enclosing_;  // Null unless linking frame code.
};

}  // namespace

void MachineOps::Link(VirtualMachine& machine, InstructionList& code, InstructionList* enclosing) {
  Linker(code, machine.host_, enclosing).Run();
}

void MachineOps::Rebind(VirtualMachine& machine, InstructionList& code) {
  Linker(code, machine.host_, nullptr).Rebind();
}

void RebaseLinks(InstructionList& code, const Instruction* linked_at) {
  // Compared as addresses: the references point into another array.
  const auto from = reinterpret_cast<std::uintptr_t>(linked_at);
  const auto end = from + code.size() * sizeof(Instruction);
  Instruction* const base = code.data();
  auto rebase = [&](Instruction*& reference) {
    const auto address = reinterpret_cast<std::uintptr_t>(reference);
    if (address < from || address >= end) return;
    reference = base + (address - from) / sizeof(Instruction);
  };
  for (Instruction& i : code) {
    rebase(i.Next);
    rebase(i.Target);
    rebase(i.Target2);
  }
}

}  // namespace vantrel
