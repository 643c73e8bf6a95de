// Builds instruction lists by hand for the machine's tests:
//
//   Assembler a;
//   a.Emit(opGlobalPrepare);
//   a.Emit(opPrepare).A = 1;
//   a.Emit(opPushInteger).A = 7;
#ifndef VANTREL_TESTS_SCRIPT_ASSEMBLER_H_
#define VANTREL_TESTS_SCRIPT_ASSEMBLER_H_

#include <stdexcept>
#include <string>

#include "script/machine/instruction.h"

namespace vantrel::test {

class Assembler {
 public:
  // Room for every test program, so that references to emitted
  // instructions stay valid while more are emitted.
  static constexpr size_t kCapacity = 1024;
  Assembler() { code_.reserve(kCapacity); }

  Instruction& Emit(Opcode op) {
    if (code_.size() == kCapacity) throw std::length_error("test program too long");
    code_.emplace_back();
    code_.back().Op = op;
    return code_.back();
  }
  Instruction& Emit(Opcode op, int32_t a) {
    Instruction& i = Emit(op);
    i.A = a;
    return i;
  }
  Instruction& PushString(const std::string& text) {
    Instruction& i = Emit(opPushString);
    i.S = text;
    return i;
  }
  Instruction& PushDouble(double d) {
    Instruction& i = Emit(opPushDouble);
    i.SetD(d);
    return i;
  }
  // The number the next instruction will have.
  int Here() const { return static_cast<int>(code_.size()); }
  Instruction& At(int number) { return code_[static_cast<size_t>(number)]; }
  InstructionList& Code() { return code_; }

 private:
  InstructionList code_;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_ASSEMBLER_H_
