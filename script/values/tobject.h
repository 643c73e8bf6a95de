// The root of every object that scripts can hold.
//
// A script holds host objects by plain pointer: the host owns them and must
// keep them alive while a script can reach them (default instances for the
// life of the scripter, objects a handler returns for at least the run).
// Objects the script creates itself (TObject.Create, AssignFile) belong to
// the scripter's object table and are held by handle (variant.h).
#ifndef VANTREL_SCRIPT_VALUES_TOBJECT_H_
#define VANTREL_SCRIPT_VALUES_TOBJECT_H_

#include "script/values/class_info.h"

namespace vantrel {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The description of the object's run-time class.
  virtual const ClassInfo& ClassType() const { return kClassInfo; }

  static const ClassInfo kClassInfo;
};

// Scripts may create plain objects (TObject.Create).
inline const ClassInfo TObject::kClassInfo = {"TObject", nullptr, {}, &NewInstance<TObject>};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_TOBJECT_H_
