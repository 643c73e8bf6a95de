// Registration of a library's functions, shared by the built-in libraries.
#ifndef VANTREL_SCRIPT_LIBRARY_LIBRARY_REGISTRATION_H_
#define VANTREL_SCRIPT_LIBRARY_LIBRARY_REGISTRATION_H_

#include <initializer_list>
#include <string_view>

#include "script/host/host_class.h"

namespace vantrel {

// Registers a function of a library's table on `entry`: a method that is no
// class method and has no result class, with its by-reference arguments.
inline HostMethod* RegisterFunction(HostClass& entry, std::string_view name, int arg_count,
                                    ValueKind kind, HostHandler handler,
                                    std::initializer_list<int> by_ref = {}) {
  HostMethod* method = entry.RegisterMethod(name, arg_count, false, handler, nullptr, kind);
  if (by_ref.size() != 0) method->SetByRefArguments(by_ref);
  return method;
}

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_LIBRARY_REGISTRATION_H_
