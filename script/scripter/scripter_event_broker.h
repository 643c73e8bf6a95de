// The bindings of script routines to host object events that one scripter
// made, and the notifications around them.
//
// Scripts bind by assigning a routine name to an event property
// (`Button.OnClick = "ButtonClick"`) and unbind by assigning Null,
// Unassigned or 0; reading the property gives the bound routine's name.
// Dispatchers live until the broker goes, so an event that fires while it is
// being unbound still finds its dispatcher. Host objects whose events a
// script bound must outlive the scripter, or be unbound before it goes.
#ifndef VANTREL_SCRIPT_SCRIPTER_SCRIPTER_EVENT_BROKER_H_
#define VANTREL_SCRIPT_SCRIPTER_SCRIPTER_EVENT_BROKER_H_

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "script/machine/host_handler.h"
#include "script/scripter/event_dispatcher.h"

namespace vantrel {

class HostClasses;
class VirtualMachine;

class ScripterEventBroker {
 public:
  using SettingEventProc =
      std::function<void(ScripterEventBroker& sender, TObject& instance, std::string_view prop_name,
                         std::string_view routine_name, CustomScripter& scripter,
                         EventSetKind placement, bool& procede)>;
  using SetEventProc = std::function<void(EventDispatcher& dispatcher)>;
  using UnsetEventProc = std::function<void(EventDispatcher& dispatcher, bool& procede)>;
  using ExecuteEventProc = std::function<void(EventDispatcher& dispatcher, bool& execute)>;

  explicit ScripterEventBroker(CustomScripter& scripter);
  ScripterEventBroker(const ScripterEventBroker&) = delete;
  ScripterEventBroker& operator=(const ScripterEventBroker&) = delete;
  ~ScripterEventBroker();

  // Before a binding is made; procede false cancels it.
  void SetOnSettingEvent(SettingEventProc handler) { on_setting_event_ = std::move(handler); }
  // After a binding is made.
  void SetOnSetEvent(SetEventProc handler) { on_set_event_ = std::move(handler); }
  // Before a binding is removed; procede false keeps it.
  void SetOnUnsettingEvent(UnsetEventProc handler) { on_unsetting_event_ = std::move(handler); }
  // Before a bound routine runs; execute false skips it.
  void SetOnExecuteEvent(ExecuteEventProc handler) { on_execute_event_ = std::move(handler); }

  // Binds `routine_name` to the event `property` of `instance`. Raises
  // "Invalid property (event) information or property is not published" for
  // a property that is no published event and "Event adapter not defined for
  // '%s' property (%s)" when its type has no adapter.
  void SetEvent(TObject& instance, const PublishedProperty& property, std::string_view routine_name,
                EventSetKind placement);
  // Removes the binding as `mode` says.
  void UnsetEvent(TObject& instance, const PublishedProperty& property, EventUnsetKind mode);
  // What the event property reads as: the bound routine's name; for a
  // handler of the host, "@" + its data and code in hexadecimal; Null when
  // the event has no handler.
  Variant EventValue(TObject& instance, const PublishedProperty& property) const;

  // Gives every event property of `classes` that has no handlers yet the
  // broker's reader and writer.
  void InstallHooks(HostClasses& classes);

  void NotifyExecuteEvent(EventDispatcher& dispatcher, bool& execute) {
    if (on_execute_event_) on_execute_event_(dispatcher, execute);
  }

 private:
  struct PropertyHook {
    ScripterEventBroker* broker;
    const PublishedProperty* property;
  };

  static void ReadEvent(PropertyHook& hook, VirtualMachine& machine);
  static void WriteEvent(PropertyHook& hook, VirtualMachine& machine);
  PropertyHook& HookFor(const PublishedProperty& property);
  // The live bindings of one event, oldest first.
  std::vector<EventDispatcher*> Bindings(const TObject& instance,
                                         const PublishedProperty& property) const;
  void Retire(EventDispatcher* dispatcher);

  CustomScripter& scripter_;
  std::vector<std::unique_ptr<EventDispatcher>> active_;
  std::vector<std::unique_ptr<EventDispatcher>> retired_;
  std::vector<std::unique_ptr<PropertyHook>> hooks_;
  SettingEventProc on_setting_event_;
  SetEventProc on_set_event_;
  UnsetEventProc on_unsetting_event_;
  ExecuteEventProc on_execute_event_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_SCRIPTER_EVENT_BROKER_H_
