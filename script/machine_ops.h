// The instruction handlers of the virtual machine and the linker that binds
// them. Internal to the machine: only virtual_machine.cc and machine_ops.cc
// include this header.
#ifndef VANTREL_SCRIPT_MACHINE_OPS_H_
#define VANTREL_SCRIPT_MACHINE_OPS_H_

#include "script/instruction.h"
#include "script/opcode.h"

namespace vantrel {

class VirtualMachine;

struct MachineOps {
  // Binds `code` to the handlers and resolves its references (see
  // VirtualMachine::Link).
  static void Link(VirtualMachine& machine, InstructionList& code);

#define VANTREL_DECLARE_HANDLER(name) static void name(VirtualMachine& m, Instruction& i);
  VANTREL_OPCODES(VANTREL_DECLARE_HANDLER)
#undef VANTREL_DECLARE_HANDLER

  // Handlers that linking binds in place of an opcode's own.
  static void AppendToLocal(VirtualMachine& m, Instruction& i);
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_OPS_H_
