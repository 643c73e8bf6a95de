// The one signature through which a script calls the host.
//
// A handler is a method pointer: a function plus the object it was
// registered with (usually the library instance). It is called with the
// running machine, through which it reads its arguments and sets its result
// (VirtualMachine::GetArg, SetResult, ...). Two words, copied into every
// instruction that calls it when the code is linked.
//
//   registry.RegisterMethod("UpperCase", 1, false,
//                           HostHandler::Of<&SystemLibrary::UpperCase>(this), nullptr, vkString);
#ifndef VANTREL_SCRIPT_MACHINE_HOST_HANDLER_H_
#define VANTREL_SCRIPT_MACHINE_HOST_HANDLER_H_

namespace vantrel {

class VirtualMachine;

struct HostHandler {
  using Code = void (*)(void* object, VirtualMachine& machine);

  Code code = nullptr;
  void* object = nullptr;

  explicit operator bool() const { return code != nullptr; }
  void operator()(VirtualMachine& machine) const { code(object, machine); }
  bool operator==(const HostHandler&) const = default;

  // A handler calling `object->*Method(machine)`.
  template <auto Method, class T>
  static HostHandler Of(T* object) {
    return {[](void* self, VirtualMachine& machine) { (static_cast<T*>(self)->*Method)(machine); },
            object};
  }

  // A handler calling the free function `Function(machine)`.
  template <void (*Function)(VirtualMachine&)>
  static HostHandler Of() {
    return {[](void*, VirtualMachine& machine) { Function(machine); }, nullptr};
  }

  // A handler calling `Function(*object, machine)`.
  template <class T, void (*Function)(T&, VirtualMachine&)>
  static HostHandler Of(T* object) {
    return {[](void* self, VirtualMachine& machine) { Function(*static_cast<T*>(self), machine); },
            object};
  }
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_HOST_HANDLER_H_
