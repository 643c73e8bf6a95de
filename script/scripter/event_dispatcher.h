// Script routines as handlers of host object events.
//
// A host object holds each event as a MethodPointer field. Binding a script
// routine to it puts an EventDispatcher in the field, with the code of the
// EventAdapter registered for the event's type: the adapter's code receives
// the event's arguments in their C++ form, turns them into values and hands
// them to the dispatcher, which runs the routine in the scripter's default
// script (before or after the handler it replaced, by its placement).
//
//   // The adapter for events of type void(void* data, TObject* sender):
//   void NotifyAdapterCode(void* data, TObject* sender) {
//     auto& dispatcher = *static_cast<EventDispatcher*>(data);
//     dispatcher.Dispatch({Variant::Object(sender)},
//                         [&] { CallMethodPointer(dispatcher.Previous(), sender); });
//   }
//   RegisterEventAdapter({"TNotifyEvent", ToMethodCode(&NotifyAdapterCode)});
#ifndef VANTREL_SCRIPT_SCRIPTER_EVENT_DISPATCHER_H_
#define VANTREL_SCRIPT_SCRIPTER_EVENT_DISPATCHER_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/values/class_info.h"
#include "script/values/variant.h"

namespace vantrel {

class CustomScripter;
class TObject;

// Where a newly bound routine goes relative to the handler already there.
enum EventSetKind : uint8_t {
  esReplaceEvent,      // The routine replaces it.
  esAddEventOnTop,     // The routine runs first, then the earlier handler.
  esAddEventOnBottom,  // The earlier handler runs first, then the routine.
};

// What unbinding (assigning Null, Unassigned or 0) leaves in the event.
enum EventUnsetKind : uint8_t {
  euReplaceNil,     // No handler; earlier bindings are remembered.
  euOriginalEvent,  // The handler found before the first binding.
  euClearEvent,     // No handler; earlier bindings are forgotten.
  euPreviousEvent,  // The handler the last binding replaced.
};

template <class... Args>
void (*ToMethodCode(void (*code)(void*, Args...)))() {
  return reinterpret_cast<void (*)()>(code);
}

// Calls `handler` (when set) as an event of signature void(void*, Args...).
template <class... Args>
void CallMethodPointer(const MethodPointer& handler, Args... args) {
  if (!handler) return;
  reinterpret_cast<void (*)(void*, Args...)>(handler.code)(handler.data, args...);
}

// Lets script routines handle the events of one type.
struct EventAdapter {
  std::string_view EventType;
  // Installed as the event's code, with an EventDispatcher as its data.
  void (*Code)() = nullptr;
};

// Adds an adapter to the global list (an adapter for a type already there
// replaces it). Meant for program start; safe from any thread.
void RegisterEventAdapter(const EventAdapter& adapter);
// The adapter for `event_type` (letter case ignored); null when none.
const EventAdapter* FindEventAdapter(std::string_view event_type);

class EventDispatcher {
 public:
  EventDispatcher(CustomScripter& scripter, TObject& instance, const PublishedProperty& property,
                  std::string routine_name, EventSetKind placement, MethodPointer previous,
                  const EventAdapter& adapter);
  EventDispatcher(const EventDispatcher&) = delete;
  EventDispatcher& operator=(const EventDispatcher&) = delete;

  CustomScripter& Scripter() const { return scripter_; }
  TObject& Instance() const { return instance_; }
  const PublishedProperty& Property() const { return property_; }
  const std::string& RoutineName() const { return routine_name_; }
  EventSetKind Placement() const { return placement_; }
  // The handler the event held when this binding was made.
  const MethodPointer& Previous() const { return previous_; }
  // What the event field holds while this binding is in place.
  MethodPointer Handler() { return {adapter_.Code, this}; }

  // Runs the bound routine with `args` (a reference is passed by reference)
  // and, by the placement, the earlier handler through `call_previous`.
  // Returns the routine's result (Null when it did not run).
  Variant Dispatch(const std::vector<Variant>& args, const std::function<void()>& call_previous);

 private:
  Variant RunRoutine(const std::vector<Variant>& args);

  CustomScripter& scripter_;
  TObject& instance_;
  const PublishedProperty& property_;
  std::string routine_name_;
  EventSetKind placement_;
  MethodPointer previous_;
  const EventAdapter& adapter_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_EVENT_DISPATCHER_H_
