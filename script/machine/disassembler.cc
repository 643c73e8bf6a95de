#include "script/machine/disassembler.h"

#include <cstdio>

namespace vantrel {
namespace {

bool HoldsDouble(Opcode op) {
  return op == opPushDouble || op == opStoreVarDouble || op == opStoreVarRefDouble ||
         op == opVarTestDouble;
}

void AppendField(std::string& line, const char* name, long long value) {
  if (value == 0) return;
  line += ' ';
  line += name;
  line += '=';
  line += std::to_string(value);
}

std::string DoubleText(double d) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", d);
  return buffer;
}

}  // namespace

std::string DisassembleInstruction(const Instruction& instruction) {
  std::string line;
  std::string_view name = OpcodeName(instruction.Op).substr(2);
  char head[48];
  std::snprintf(head, sizeof head, "%-16.*s", static_cast<int>(name.size()), name.data());
  line += head;
  AppendField(line, "B", instruction.B);
  AppendField(line, "F", instruction.F);
  AppendField(line, "A", instruction.A);
  AppendField(line, "N", instruction.N);
  if (HoldsDouble(instruction.Op)) {
    line += " D=" + DoubleText(instruction.D());
  } else {
    AppendField(line, "X", instruction.X);
    AppendField(line, "Y", instruction.Y);
  }
  if (!instruction.S.empty()) line += " S='" + instruction.S + "'";
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string Disassemble(const InstructionList& instructions) {
  std::string text;
  for (size_t i = 0; i < instructions.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%6zu ", i);
    text += number;
    text += DisassembleInstruction(instructions[i]);
    text += '\n';
  }
  return text;
}

}  // namespace vantrel
