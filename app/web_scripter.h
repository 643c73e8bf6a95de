// The web functions of script pages (echo, get_value, the serial port, the
// receive buffer, split and extract, getticks): a script library that the
// gateway attaches to its page scripter. Its functions are registered on
// the system library's class entry, so pages call them unqualified; a
// scripter without the system library gets them on the library's own
// entry, reached through its default instance.
//
// Threads: the functions run on the thread of the running page; they reach
// the gateway's shared state through its guarded accessors and the serial
// port through the gateway's SerialBridge.
//
// Errors: a function's error (a serial port error, an argument that is no
// integer) ends the running script with a runtime error.
#ifndef VANTREL_APP_WEB_SCRIPTER_H_
#define VANTREL_APP_WEB_SCRIPTER_H_

#include "script/scripter/scripter_library.h"

namespace vantrel {

class Gateway;
class HostClass;

class WebScripter : public ScripterLibrary {
 public:
  explicit WebScripter(CustomScripter& scripter) : ScripterLibrary(scripter) {}

  // Attaches the library to `scripter` as a default instance and connects
  // it to `gateway`, which must outlive the scripter's use of it.
  static WebScripter& AttachTo(CustomScripter& scripter, Gateway& gateway);

  // The gateway whose page state and serial port the functions use; set
  // once, right after attaching, and outliving the library.
  void SetGateway(Gateway* gateway) { gateway_ = gateway; }
  // Raises ScriptInternalError while no gateway is set.
  Gateway& GetGateway() const {
    if (gateway_ == nullptr) [[unlikely]]
      RaiseNoGateway();
    return *gateway_;
  }

  // Registers the thirteen functions, in the order stored code counts on.
  void Init() override;
  // Removes them again, so no script reaches a detached library.
  void Finalize() override;

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  [[noreturn]] static void RaiseNoGateway();

  Gateway* gateway_ = nullptr;
  HostClass* entry_ = nullptr;  // Where Init registered the functions.
};

inline const ClassInfo WebScripter::kClassInfo = {"WebScripter", &ScripterLibrary::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_APP_WEB_SCRIPTER_H_
