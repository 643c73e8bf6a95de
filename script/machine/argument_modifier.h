// How a routine or method argument is passed.
#ifndef VANTREL_SCRIPT_MACHINE_ARGUMENT_MODIFIER_H_
#define VANTREL_SCRIPT_MACHINE_ARGUMENT_MODIFIER_H_

#include <cstdint>

namespace vantrel {

enum ArgumentModifier : uint8_t {
  moNone = 0,   // by value
  moConst = 1,  // constant
  moVar = 2,    // by reference: the caller must pass a variable
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_ARGUMENT_MODIFIER_H_
