#include "script/machine/opcode.h"

#include <array>

namespace vantrel {

std::string_view OpcodeName(int opcode) {
  static constexpr std::array<std::string_view, kOpcodeCount> kNames = {
#define VANTREL_OPCODE_NAME(name) #name,
      VANTREL_OPCODES(VANTREL_OPCODE_NAME)
#undef VANTREL_OPCODE_NAME
  };
  if (opcode < 0 || opcode >= kOpcodeCount) return "op?";
  return kNames[static_cast<size_t>(opcode)];
}

}  // namespace vantrel
