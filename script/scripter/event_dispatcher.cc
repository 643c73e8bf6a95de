#include "script/scripter/event_dispatcher.h"

#include <memory>
#include <mutex>

#include "base/ascii.h"
#include "script/scripter/custom_scripter.h"
#include "script/scripter/scripter_event_broker.h"

namespace vantrel {
namespace {

// The global adapter list: written at program start, read when events are
// bound; the lock keeps scripters on several threads safe.
struct AdapterList {
  std::mutex mutex;
  // Held by pointer: dispatchers keep the address of their adapter.
  std::vector<std::unique_ptr<EventAdapter>> adapters;  // Guarded by mutex.
};

AdapterList& Adapters() {
  static AdapterList list;
  return list;
}

}  // namespace

void RegisterEventAdapter(const EventAdapter& adapter) {
  AdapterList& list = Adapters();
  std::lock_guard lock(list.mutex);
  for (const std::unique_ptr<EventAdapter>& existing : list.adapters) {
    if (EqualsIgnoreCase(existing->EventType, adapter.EventType)) {
      *existing = adapter;
      return;
    }
  }
  list.adapters.push_back(std::make_unique<EventAdapter>(adapter));
}

const EventAdapter* FindEventAdapter(std::string_view event_type) {
  AdapterList& list = Adapters();
  std::lock_guard lock(list.mutex);
  for (const std::unique_ptr<EventAdapter>& adapter : list.adapters) {
    if (EqualsIgnoreCase(adapter->EventType, event_type)) return adapter.get();
  }
  return nullptr;
}

EventDispatcher::EventDispatcher(CustomScripter& scripter, TObject& instance,
                                 const PublishedProperty& property, std::string routine_name,
                                 EventSetKind placement, MethodPointer previous,
                                 const EventAdapter& adapter)
    : scripter_(scripter),
      instance_(instance),
      property_(property),
      routine_name_(std::move(routine_name)),
      placement_(placement),
      previous_(previous),
      adapter_(adapter) {}

Variant EventDispatcher::Dispatch(const std::vector<Variant>& args,
                                  const std::function<void()>& call_previous) {
  Variant result = Variant::Null();
  bool chained = placement_ != esReplaceEvent && previous_;
  if (chained && placement_ == esAddEventOnBottom && call_previous) call_previous();
  result = RunRoutine(args);
  if (chained && placement_ == esAddEventOnTop && call_previous) call_previous();
  return result;
}

Variant EventDispatcher::RunRoutine(const std::vector<Variant>& args) {
  bool execute = true;
  scripter_.EventBroker().NotifyExecuteEvent(*this, execute);
  if (!execute) return Variant::Null();
  return scripter_.ExecuteRoutine(routine_name_, args);
}

}  // namespace vantrel
