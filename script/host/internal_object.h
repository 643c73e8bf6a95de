// The scripter's own default instance, first in its list: the members
// registered on its class (constants, library names, host functions such as
// the command-line runner's `echo`) are callable from every script without
// qualification.
#ifndef VANTREL_SCRIPT_HOST_INTERNAL_OBJECT_H_
#define VANTREL_SCRIPT_HOST_INTERNAL_OBJECT_H_

#include "script/values/tobject.h"

namespace vantrel {

class InternalObject : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

inline const ClassInfo InternalObject::kClassInfo = {"InternalObject", &TObject::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_INTERNAL_OBJECT_H_
