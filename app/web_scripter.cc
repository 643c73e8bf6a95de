#include "app/web_scripter.h"

#include "app/web_functions.h"
#include "script/errors/script_errors.h"
#include "script/host/host_class.h"
#include "script/library/library_registration.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {
namespace {

template <void (*Function)(WebScripter&, VirtualMachine&)>
HostHandler Handler(WebScripter* library) {
  return HostHandler::Of<WebScripter, Function>(library);
}

}  // namespace

WebScripter& WebScripter::AttachTo(CustomScripter& scripter, Gateway& gateway) {
  auto& library = static_cast<WebScripter&>(
      scripter.AttachLibrary(LibraryClassOf<WebScripter>(), /*as_default=*/true));
  library.SetGateway(&gateway);
  return library;
}

void WebScripter::RaiseNoGateway() {
  throw ScriptInternalError("The web functions have no gateway");
}

void WebScripter::Init() {
  entry_ = Scripter().SystemLibraryClass();
  if (entry_ == nullptr) entry_ = &Scripter().RegisterHostClass(&kClassInfo);
  HostClass& entry = *entry_;
  // In this order: stored code names them by position.
  RegisterFunction(entry, "echo", 1, vkNone, Handler<&web_functions::echo>(this));
  RegisterFunction(entry, "get_value", 1, vkString, Handler<&web_functions::get_value>(this));
  RegisterFunction(entry, "enumports", 0, vkString, Handler<&web_functions::enumports>(this));
  RegisterFunction(entry, "is_open", 0, vkString, Handler<&web_functions::is_open>(this));
  RegisterFunction(entry, "openport", 6, vkNone, Handler<&web_functions::openport>(this));
  RegisterFunction(entry, "closeport", 0, vkNone, Handler<&web_functions::closeport>(this));
  RegisterFunction(entry, "send", 1, vkNone, Handler<&web_functions::send>(this));
  RegisterFunction(entry, "receive", 0, vkString, Handler<&web_functions::receive>(this));
  RegisterFunction(entry, "flush", 0, vkNone, Handler<&web_functions::flush>(this));
  RegisterFunction(entry, "flush_part", 1, vkNone, Handler<&web_functions::flush_part>(this));
  RegisterFunction(entry, "split", 2, vkInteger, Handler<&web_functions::split>(this));
  RegisterFunction(entry, "extract", 1, vkString, Handler<&web_functions::extract>(this));
  RegisterFunction(entry, "getticks", 0, vkInteger, Handler<&web_functions::getticks>(this));
  RegisterFunction(entry, "escape_html", 1, vkString, Handler<&web_functions::escape_html>(this));
}

void WebScripter::Finalize() {
  if (entry_ == nullptr) return;
  for (int i = entry_->MethodCount() - 1; i >= 0; --i) {
    const HostMethod& method = entry_->Method(i);
    if (method.Handler.object == this) entry_->DeleteMethod(&method);
  }
  entry_ = nullptr;
}

}  // namespace vantrel
