#include "script/host/host_class.h"

#include <algorithm>

#include "base/ascii.h"
#include "script/host/published_property_handlers.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"

namespace vantrel {
namespace {

template <class Member>
Member* FindLast(const std::vector<std::unique_ptr<Member>>& members, std::string_view name) {
  for (auto it = members.rbegin(); it != members.rend(); ++it) {
    if (EqualsIgnoreCase((*it)->Name, name)) return it->get();
  }
  return nullptr;
}

template <class Member>
int IndexOf(const std::vector<std::unique_ptr<Member>>& members, const Member* member) {
  for (size_t i = 0; i < members.size(); ++i) {
    if (members[i].get() == member) return static_cast<int>(i);
  }
  return -1;
}

template <class Member>
void Erase(std::vector<std::unique_ptr<Member>>& members, const Member* member) {
  std::erase_if(members, [member](const auto& m) { return m.get() == member; });
}

// Whether code compiled against `a` would compile the same against `b`.
bool SameShape(const HostMethod& a, const HostMethod& b) {
  return a.ArgCount == b.ArgCount && a.ResultKind == b.ResultKind &&
         a.ResultClass == b.ResultClass && a.IsClassMethod == b.IsClassMethod &&
         !a.Handler == !b.Handler;
}

bool SameShape(const HostProperty& a, const HostProperty& b) {
  return a.Kind == b.Kind && a.PropertyClass == b.PropertyClass && a.Info == b.Info &&
         a.IsClassProperty == b.IsClassProperty && a.IndexCount == b.IndexCount &&
         !a.Getter == !b.Getter && !a.Setter == !b.Setter;
}

// The getter of a constant reads the constant's own stored value: the
// handler's object is the property itself.
void ReadConstant(HostProperty& property, VirtualMachine& machine);

// True when `property` is just what RegisterConstant makes, but for its value.
bool IsPlainConstant(HostProperty& property) {
  return property.Getter == HostHandler::Of<HostProperty, ReadConstant>(&property) &&
         !property.Setter && property.Kind == vkVariant && property.PropertyClass == nullptr &&
         property.Info == nullptr && !property.IsClassProperty && property.IndexCount == 0;
}

}  // namespace

void HostMethod::SetByRefArguments(std::initializer_list<int> indexes) {
  if (ArgDefs.size() < static_cast<size_t>(ArgCount)) ArgDefs.resize(static_cast<size_t>(ArgCount));
  ByRefArgMask = 0;
  for (int index : indexes) {
    if (index < 0) continue;
    if (static_cast<size_t>(index) >= ArgDefs.size())
      ArgDefs.resize(static_cast<size_t>(index) + 1);
    ArgDefs[static_cast<size_t>(index)].Modifier = moVar;
    ByRefArgMask |= 1u << (index % 32);
  }
}

HostClass::HostClass(std::string name) : name_(std::move(name)) {}

HostClass::~HostClass() {
  if (ancestor_ != nullptr) std::erase(ancestor_->descendants_, this);
  for (HostClass* descendant : descendants_) descendant->ancestor_ = nullptr;
}

HostMethod* HostClass::FindMethod(std::string_view name) const { return FindLast(methods_, name); }

HostProperty* HostClass::FindProperty(std::string_view name) const {
  return FindLast(properties_, name);
}

int HostClass::IndexOfMethod(const HostMethod* method) const { return IndexOf(methods_, method); }

int HostClass::IndexOfProperty(const HostProperty* property) const {
  return IndexOf(properties_, property);
}

HostMethod* HostClass::StoreMethod(const HostMethod& source, bool always_append) {
  HostMethod* method = always_append ? nullptr : FindMethod(source.Name);
  if (method == nullptr) {
    methods_.push_back(std::make_unique<HostMethod>(source));
    method = methods_.back().get();
    ++revision_;
  } else {
    if (!SameShape(*method, source)) ++revision_;
    // A replaced method keeps its argument definitions and by-reference mask.
    std::vector<ArgDef> arg_defs = std::move(method->ArgDefs);
    uint32_t mask = method->ByRefArgMask;
    *method = source;
    method->ArgDefs = std::move(arg_defs);
    method->ByRefArgMask = mask;
  }
  method->owner_ = this;
  for (HostClass* descendant : descendants_) {
    if (descendant->FindMethod(source.Name) == nullptr) descendant->StoreMethod(source, false);
  }
  return method;
}

HostProperty* HostClass::StoreProperty(const HostProperty& source, bool always_append) {
  HostProperty* property = always_append ? nullptr : FindProperty(source.Name);
  if (property == nullptr) {
    properties_.push_back(std::make_unique<HostProperty>(source));
    property = properties_.back().get();
    ++revision_;
  } else {
    if (!SameShape(*property, source)) ++revision_;
    *property = source;
  }
  // A handler bound to the source property itself (a constant's getter) is
  // bound to this entry's own copy instead.
  if (property->Getter.object == &source) property->Getter.object = property;
  if (property->Setter.object == &source) property->Setter.object = property;
  property->owner_ = this;
  for (HostClass* descendant : descendants_) {
    if (descendant->FindProperty(source.Name) == nullptr)
      descendant->StoreProperty(*property, false);
  }
  return property;
}

HostMethod* HostClass::RegisterMethod(std::string_view name, int arg_count, bool is_class_method,
                                      HostHandler handler, const ClassInfo* result_class,
                                      ValueKind result_kind, bool always_append) {
  HostMethod method;
  method.Name = std::string(name);
  method.Handler = handler;
  method.ResultKind = result_kind;
  method.ArgCount = arg_count;
  method.ResultClass = result_class;
  method.IsClassMethod = is_class_method;
  return StoreMethod(method, always_append);
}

HostProperty* HostClass::RegisterProperty(std::string_view name, ValueKind kind, int index_count,
                                          bool is_class_property, const ClassInfo* property_class,
                                          HostHandler setter, HostHandler getter,
                                          bool always_append) {
  if (kind == vkVariant && !getter && !setter && property_class == nullptr) return nullptr;
  HostProperty property;
  property.Name = std::string(name);
  property.Kind = kind;
  property.Getter = getter;
  property.Setter = setter;
  property.PropertyClass = property_class;
  property.IsClassProperty = is_class_property;
  property.IndexCount = index_count;
  return StoreProperty(property, always_append);
}

HostProperty* HostClass::RegisterConstant(std::string_view name, const Variant& value) {
  // A page registers the same few constants before every run: one
  // registered again under the very same name takes the new value alone.
  HostProperty* existing = FindProperty(name);
  if (existing != nullptr && existing->Name == name && descendants_.empty() &&
      IsPlainConstant(*existing)) {
    existing->StoredValue = value;
    return existing;
  }
  HostProperty property;
  property.Name = std::string(name);
  property.Kind = vkVariant;
  property.StoredValue = value;
  property.Getter = HostHandler::Of<HostProperty, ReadConstant>(&property);
  return StoreProperty(property, false);
}

void HostClass::DeleteMethod(const HostMethod* method) {
  Erase(methods_, method);
  ++revision_;
}

void HostClass::DeleteProperty(const HostProperty* property) {
  Erase(properties_, property);
  ++revision_;
}

void HostClass::LinkToAncestor(HostClass& ancestor) {
  ancestor_ = &ancestor;
  ++revision_;
  if (std::find(ancestor.descendants_.begin(), ancestor.descendants_.end(), this) !=
      ancestor.descendants_.end()) {
    return;
  }
  for (const auto& method : ancestor.methods_) StoreMethod(*method, false);
  for (const auto& property : ancestor.properties_) {
    if (property->Info == nullptr) StoreProperty(*property, false);
  }
  ancestor.descendants_.push_back(this);
}

void HostClass::AddPublishedProperty(const PublishedProperty& info) {
  HostProperty property;
  property.Name = std::string(info.name);
  property.Kind = info.kind;
  if (info.getter != nullptr) property.Getter = PublishedGetter(info);
  if (info.setter != nullptr) property.Setter = PublishedSetter(info);
  property.PropertyClass = info.property_class;
  property.Info = &info;
  StoreProperty(property, false);
}

namespace {

void ReadConstant(HostProperty& property, VirtualMachine& machine) {
  machine.SetResult(property.StoredValue);
}

}  // namespace

}  // namespace vantrel
