// The web functions of script pages (echo, get_value, the serial port, the
// receive buffer, split and extract, getticks): a script library that the
// gateway attaches to its page scripter. Its functions are registered on
// the system library's class entry, so pages call them unqualified.
//
// Threads: the functions run on the thread of the running page; they reach
// the gateway's shared state through its guarded accessors.
#ifndef VANTREL_APP_WEB_SCRIPTER_H_
#define VANTREL_APP_WEB_SCRIPTER_H_

#include "script/scripter/scripter_library.h"

namespace vantrel {

class Gateway;

class WebScripter : public ScripterLibrary {
 public:
  explicit WebScripter(CustomScripter& scripter) : ScripterLibrary(scripter) {}

  // The gateway whose page state and serial port the functions use; set
  // once, right after attaching, and outliving the library.
  void SetGateway(Gateway* gateway) { gateway_ = gateway; }

  void Init() override;

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  Gateway* gateway_ = nullptr;
};

inline const ClassInfo WebScripter::kClassInfo = {"WebScripter", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_APP_WEB_SCRIPTER_H_
