// The instruction handlers of the virtual machine and the linker that binds
// them. Internal to the machine: only its own files (virtual_machine.cc and
// the machine_* files) include this header.
#ifndef VANTREL_SCRIPT_MACHINE_MACHINE_OPS_H_
#define VANTREL_SCRIPT_MACHINE_MACHINE_OPS_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "script/machine/instruction.h"
#include "script/machine/opcode.h"
#include "script/values/variant.h"

namespace vantrel {

class VirtualMachine;

struct MachineOps {
  // Binds `code` to the handlers and resolves its references (see
  // VirtualMachine::Link); `enclosing` is the code whose routines frame
  // code enters (VirtualMachine::LinkFrameCode), null for other code.
  static void Link(VirtualMachine& machine, InstructionList& code, InstructionList* enclosing);
  // Binds again, in code linked before (see VirtualMachine::Relink), what
  // linking took from the host.
  static void Rebind(VirtualMachine& machine, InstructionList& code);

#define VANTREL_DECLARE_HANDLER(name) static void name(VirtualMachine& m, Instruction& i);
  VANTREL_OPCODES(VANTREL_DECLARE_HANDLER)
#undef VANTREL_DECLARE_HANDLER

  // Room for the indexes of one indexed access: their count B is a byte.
  using IndexBuffer = std::array<int32_t, 256>;
  // Pops `count` indexes off the stack as 32-bit integers into `buffer`.
  static std::span<const int32_t> PopIndexes(VirtualMachine& m, int count, IndexBuffer& buffer);
  // Pops B indexes and the value below them and writes the value into
  // element [indexes] of `container`.
  static void StoreElement(VirtualMachine& m, Instruction& i, Variant& container);

  // The handler of an opcode.
  static InstructionHandler HandlerOf(Opcode op);
  // The value of constant B of opPushConst and opStoreVarConst.
  static Variant ConstantValue(uint8_t b);
  // The value to store from a popped stack slot: moved out, or the
  // variable's value when the slot holds a reference.
  static Variant Take(Variant& slot);

  // Rebinds the first instruction of common sequences to a handler that runs
  // the whole sequence at once (machine_fusion.cc). `targeted[n]` tells
  // whether some jump lands on instruction n: a sequence with a jump into
  // its middle is left alone.
  static void Fuse(InstructionList& code, const std::vector<bool>& targeted);
  // Runs `count` instructions from `first` one by one, as the run loop
  // would: what a fused handler does when its fast path does not apply.
  // Kept out of line, so that the fast paths need no registers saved.
  [[gnu::noinline, gnu::cold]] static void RunPlain(VirtualMachine& m, Instruction& first,
                                                    int count);

  // The case of the run loop (machine_run.cc) that runs `handler` in
  // place, without a call; 0 when the loop calls it.
  static uint8_t InPlaceCaseOf(InstructionHandler handler);

  // Reserves the locals of the routine entry `prepare` (known to fit),
  // Unassigned, and makes it the running routine.
  static void EnterRoutine(VirtualMachine& m, Instruction& prepare);
  static void AppendToLocal(VirtualMachine& m, Instruction& i);
  static void AppendToGlobal(VirtualMachine& m, Instruction& i);
  static void AppendTo(VirtualMachine& m, Instruction& i, Variant& target);
  // A constant text: string constants and pure host calls of one integer
  // constant (`"a" + chr(13) + chr (10)`, as a page's text is written),
  // joined by + or &. Its first run makes it; later runs push what it made.
  static void ConstantText(VirtualMachine& m, Instruction& i);
  // Lets go of every text ConstantText kept in `code`.
  static void ForgetConstantTexts(InstructionList& code);

  // Steps: the handlers of routine calls and fused sequences, written so
  // that the run loop can keep the stack top and the next instruction in
  // registers. A step runs the instruction or sequence at `i` with the
  // stack top in `sp` (not in the machine's sp_), updates `sp`, and
  // returns the instruction to run next (null ends the routine). Whatever
  // else it runs (a plain instruction, a routine call) sees the machine's
  // registers up to date.
  using Step = Instruction* (*)(VirtualMachine& m, Instruction& i, Variant*& sp);
  // The handler that runs step kStep on the machine's own registers.
  template <Step kStep>
  static void StepHandler(VirtualMachine& m, Instruction& i);
  // RunPlain from a step: the machine's registers are brought up to date
  // first, and `sp` and the next instruction taken back after.
  static Instruction* RunPlainFrom(VirtualMachine& m, Instruction& first, int count, Variant*& sp);

  // opCall bound by linking when its entry is an opPrepare.
  static Instruction* CallPrepared(VirtualMachine& m, Instruction& i, Variant*& sp);
  static Instruction* PushVarReturn(VirtualMachine& m, Instruction& i, Variant*& sp);
  static Instruction* CopyVarJump(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp>
  static Instruction* ForStep(VirtualMachine& m, Instruction& i, Variant*& sp);
  // A push (of kPush) and the host procedure call that takes it as its one
  // argument.
  template <Opcode kPush>
  static Instruction* PushCallHost(VirtualMachine& m, Instruction& i, Variant*& sp);
  // Where a fused sequence finds the value a simple push would push: the
  // local of an opPushVar, the global of an opPushGlobalVar, the constant
  // linking prepared in the push (opPushInteger, opPushDouble,
  // opPushString, opPushConst), or the output of an opPushOutput. Linking
  // picks the handler made for the sources of its sequence, so that running
  // does not ask.
  enum class Source : uint8_t { kLocal, kGlobal, kConstant, kOutput };
  template <Source kSource>
  static const Variant& OperandOf(const VirtualMachine& m, const Instruction& push);
  // The same for a push whose source is known only when running.
  static const Variant& OperandOf(const VirtualMachine& m, const Instruction& push);

  template <Opcode kOp, Source kA, Source kB>
  static Instruction* PushPushOperate(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kA, Source kB>
  static Instruction* PushPushPushOperate(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kA, Source kB>
  static Instruction* PushPushOperateCall(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kB>
  static Instruction* PushOperate(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kB>
  static Instruction* PushOperateStore(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kA, Source kB>
  static Instruction* PushPushOperateStore(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp>
  static Instruction* OperateStore(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp, Source kA, Source kB>
  static Instruction* PushPushCompareJump(VirtualMachine& m, Instruction& i, Variant*& sp);
  template <Opcode kOp>
  static Instruction* CompareJump(VirtualMachine& m, Instruction& i, Variant*& sp);
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_MACHINE_OPS_H_
