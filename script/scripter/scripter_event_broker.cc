#include "script/scripter/scripter_event_broker.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "base/exception.h"
#include "base/format.h"
#include "script/host/host_classes.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/custom_scripter.h"
#include "script/values/tobject.h"

namespace vantrel {
namespace {

constexpr const char* kNotPublishedEvent =
    "Invalid property (event) information or property is not published";

MethodPointer& EventField(TObject& instance, const PublishedProperty& property) {
  if (property.kind != vkMethod || property.event_field == nullptr) {
    throw Exception(kNotPublishedEvent);
  }
  MethodPointer* field = property.event_field(instance);
  if (field == nullptr) throw Exception(kNotPublishedEvent);
  return *field;
}

// Null, Unassigned and the number 0 unbind an event.
bool IsUnbinding(const Variant& value) {
  switch (value.Type()) {
    case VariantType::kNull:
    case VariantType::kUnassigned:
      return true;
    case VariantType::kInteger:
    case VariantType::kByte:
    case VariantType::kDouble:
      return value.ToDouble() == 0;
    default:
      return false;
  }
}

}  // namespace

ScripterEventBroker::ScripterEventBroker(CustomScripter& scripter) : scripter_(scripter) {}

ScripterEventBroker::~ScripterEventBroker() = default;

void ScripterEventBroker::SetEvent(TObject& instance, const PublishedProperty& property,
                                   std::string_view routine_name, EventSetKind placement) {
  MethodPointer& field = EventField(instance, property);
  const EventAdapter* adapter = FindEventAdapter(property.event_type);
  if (adapter == nullptr || adapter->Code == nullptr) {
    throw Exception(Format("Event adapter not defined for '%s' property (%s)",
                           {property.name, property.event_type}));
  }
  bool procede = true;
  if (on_setting_event_) {
    on_setting_event_(*this, instance, property.name, routine_name, scripter_, placement, procede);
  }
  if (!procede) return;
  auto dispatcher = std::make_unique<EventDispatcher>(
      scripter_, instance, property, std::string(routine_name), placement, field, *adapter);
  field = dispatcher->Handler();
  active_.push_back(std::move(dispatcher));
  if (on_set_event_) on_set_event_(*active_.back());
}

void ScripterEventBroker::UnsetEvent(TObject& instance, const PublishedProperty& property,
                                     EventUnsetKind mode) {
  MethodPointer& field = EventField(instance, property);
  std::vector<EventDispatcher*> bindings = Bindings(instance, property);
  if (!bindings.empty() && on_unsetting_event_) {
    bool procede = true;
    on_unsetting_event_(*bindings.back(), procede);
    if (!procede) return;
  }
  switch (mode) {
    case euReplaceNil:
      field = {};
      break;
    case euOriginalEvent:
      if (bindings.empty()) break;
      field = bindings.front()->Previous();
      for (EventDispatcher* dispatcher : bindings) Retire(dispatcher);
      break;
    case euClearEvent:
      field = {};
      for (EventDispatcher* dispatcher : bindings) Retire(dispatcher);
      break;
    case euPreviousEvent:
      if (bindings.empty()) break;
      field = bindings.back()->Previous();
      Retire(bindings.back());
      break;
  }
}

Variant ScripterEventBroker::EventValue(TObject& instance,
                                        const PublishedProperty& property) const {
  const MethodPointer& field = EventField(instance, property);
  if (!field) return Variant::Null();
  for (const std::unique_ptr<EventDispatcher>& dispatcher : active_) {
    if (field == dispatcher->Handler()) return Variant(dispatcher->RoutineName());
  }
  char text[64];
  std::snprintf(text, sizeof text, "@%.4" PRIXPTR "-%.4" PRIXPTR,
                reinterpret_cast<uintptr_t>(field.data), reinterpret_cast<uintptr_t>(field.code));
  return Variant(std::string_view(text));
}

void ScripterEventBroker::InstallHooks(HostClasses& classes) {
  for (int c = 0; c < classes.Count(); ++c) {
    HostClass& entry = classes.At(c);
    for (int p = 0; p < entry.PropertyCount(); ++p) {
      HostProperty& property = entry.Property(p);
      if (property.Info == nullptr || property.Info->kind != vkMethod) continue;
      if (property.Getter || property.Setter) continue;
      PropertyHook& hook = HookFor(*property.Info);
      property.Getter = HostHandler::Of<PropertyHook, &ReadEvent>(&hook);
      property.Setter = HostHandler::Of<PropertyHook, &WriteEvent>(&hook);
    }
  }
}

void ScripterEventBroker::ReadEvent(PropertyHook& hook, VirtualMachine& machine) {
  TObject* instance = machine.CurrentObject();
  if (instance == nullptr) throw Exception(kNotPublishedEvent);
  machine.SetResult(hook.broker->EventValue(*instance, *hook.property));
}

void ScripterEventBroker::WriteEvent(PropertyHook& hook, VirtualMachine& machine) {
  TObject* instance = machine.CurrentObject();
  if (instance == nullptr) throw Exception(kNotPublishedEvent);
  const Variant& value = machine.GetArg(0);
  ScripterEventBroker& broker = *hook.broker;
  if (IsUnbinding(value)) {
    broker.UnsetEvent(*instance, *hook.property, broker.scripter_.EventUnsetMode());
  } else {
    broker.SetEvent(*instance, *hook.property, value.ToString(), broker.scripter_.EventSetMode());
  }
}

ScripterEventBroker::PropertyHook& ScripterEventBroker::HookFor(const PublishedProperty& property) {
  for (const std::unique_ptr<PropertyHook>& hook : hooks_) {
    if (hook->property == &property) return *hook;
  }
  hooks_.push_back(std::make_unique<PropertyHook>(PropertyHook{this, &property}));
  return *hooks_.back();
}

std::vector<EventDispatcher*> ScripterEventBroker::Bindings(
    const TObject& instance, const PublishedProperty& property) const {
  std::vector<EventDispatcher*> bindings;
  for (const std::unique_ptr<EventDispatcher>& dispatcher : active_) {
    if (&dispatcher->Instance() == &instance && &dispatcher->Property() == &property) {
      bindings.push_back(dispatcher.get());
    }
  }
  return bindings;
}

void ScripterEventBroker::Retire(EventDispatcher* dispatcher) {
  auto it = std::find_if(active_.begin(), active_.end(),
                         [dispatcher](const auto& d) { return d.get() == dispatcher; });
  if (it == active_.end()) return;
  retired_.push_back(std::move(*it));
  active_.erase(it);
}

}  // namespace vantrel
