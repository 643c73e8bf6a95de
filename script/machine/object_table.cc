#include "script/machine/object_table.h"

#include <utility>

#include "script/errors/script_errors.h"
#include "script/values/tobject.h"

namespace vantrel {

ObjectTable::ObjectTable() = default;

ObjectTable::~ObjectTable() { Clear(); }

Variant ObjectTable::Add(std::unique_ptr<TObject> object) {
  if (object == nullptr) return Variant::Object(nullptr);
  std::uint32_t index;
  if (!free_.empty()) {
    index = free_.front();
    free_.pop_front();
  } else if (slots_.size() < static_cast<size_t>(kMaxObjects)) {
    index = static_cast<std::uint32_t>(slots_.size());
    slots_.emplace_back();
  } else {
    throw ScriptRuntimeError("Too many objects");
  }
  Slot& slot = slots_[index];
  slot_of_.emplace(object.get(), index);
  slot.object = std::move(object);
  return Variant::ObjectHandle(kMark | (slot.generation << kSlotBits) | index);
}

TObject* ObjectTable::Resolve(std::uint32_t handle) const {
  const std::uint32_t index = handle & kSlotMask;
  if ((handle & kMarkMask) != kMark || index >= slots_.size()) {
    throw ScriptRuntimeError("Invalid object reference");
  }
  const Slot& slot = slots_[index];
  if (slot.object == nullptr || ((handle >> kSlotBits) & kGenerationMask) != slot.generation) {
    throw ScriptRuntimeError("Object has been freed");
  }
  return slot.object.get();
}

std::unique_ptr<TObject> ObjectTable::Release(std::uint32_t index) {
  Slot& slot = slots_[index];
  std::unique_ptr<TObject> object = std::move(slot.object);
  slot_of_.erase(object.get());
  slot.generation = (slot.generation + 1) & kGenerationMask;
  free_.push_back(index);
  return object;
}

void ObjectTable::Free(const TObject* object) {
  auto it = slot_of_.find(object);
  if (it == slot_of_.end()) return;
  // The table is consistent again before the object's destructor runs.
  std::unique_ptr<TObject> released = Release(it->second);
}

void ObjectTable::Clear() {
  for (std::uint32_t index = static_cast<std::uint32_t>(slots_.size()); index-- > 0;) {
    if (slots_[index].object != nullptr) Release(index);
  }
}

void ObjectTable::LeaveRun() {
  if (runs_ > 0) --runs_;
  if (runs_ == 0) Clear();
}

}  // namespace vantrel
