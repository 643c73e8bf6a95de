// Instruction lists as text, one line per instruction, for tests and for
// anyone reading what the compiler made of a script:
//
//      0 GlobalPrepare  A=1
//      1 Jump           A=5
//      7 StoreVarString A=0 Y=2 S='hix'
//      9 PushDouble     D=2.5
//
// Fields appear only when they are not zero (S when not empty); the opcodes
// that hold a double in X and Y show it as D instead.
#ifndef VANTREL_SCRIPT_MACHINE_DISASSEMBLER_H_
#define VANTREL_SCRIPT_MACHINE_DISASSEMBLER_H_

#include <string>

#include "script/machine/instruction.h"

namespace vantrel {

std::string DisassembleInstruction(const Instruction& instruction);
std::string Disassemble(const InstructionList& instructions);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_DISASSEMBLER_H_
