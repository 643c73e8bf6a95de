// Handlers for members of objects whose class is known only at run time.
//
// The compiler emits such calls with a member reference that is only the
// kind (read, write, call) and the member's name in S; these handlers look
// the name up in the registry entry of the current object's run-time class
// and call what they find, with the arguments as the call set them up.
#ifndef VANTREL_SCRIPT_HOST_LATE_BOUND_HANDLERS_H_
#define VANTREL_SCRIPT_HOST_LATE_BOUND_HANDLERS_H_

#include "script/machine/host_handler.h"
#include "script/machine/instruction.h"

namespace vantrel {

HostHandler LateBoundHandler(MemberKind kind);

// Bound to a registered member without a handler: raises "Method '%s' was
// not defined", "Property '%s' cannot be readed" or "Property '%s' cannot be
// written".
HostHandler MissingMemberHandler();

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_LATE_BOUND_HANDLERS_H_
