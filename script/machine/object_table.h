// The objects scripts create (TObject.Create, AssignFile's text files), owned
// by the scripter and reached by every machine of its scripts.
//
// A script holds such an object by handle, never by pointer: a positive
// 32-bit number made of a mark (bit 30), the generation of the object's slot
// (14 bits) and the slot's index (16 bits). Freeing an object destroys it at
// once and moves its slot to the next generation, so the handles still held
// by variables, globals or results turn stale: resolving one raises "Object
// has been freed" instead of touching freed memory. Freed slots are reused
// oldest first, so a stale handle could only meet a new object of its slot
// after 16384 reuses of that very slot.
//
// Objects a script forgets are destroyed when the outermost run of the
// scripter ends: every machine of the scripter counts its runs here
// (EnterRun, LeaveRun), so that a routine run from inside a running script
// (a script-file library's routine) leaves the caller's objects alone.
//
//   ObjectTable table;
//   Variant file = table.Add(std::make_unique<TextFileClass>(name));
//   TObject* object = table.Resolve(file.RawObjectHandle());
//   table.Free(object);  // the file closes; `file` is stale now
//
// Threads: as the scripter; used by one thread at a time.
#ifndef VANTREL_SCRIPT_MACHINE_OBJECT_TABLE_H_
#define VANTREL_SCRIPT_MACHINE_OBJECT_TABLE_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "script/values/variant.h"

namespace vantrel {

class TObject;

class ObjectTable {
 public:
  // At most this many objects are alive at once; one more raises "Too many
  // objects", so that a script cannot grow the table without bound.
  static constexpr int kMaxObjects = 1 << 16;

  ObjectTable();
  ObjectTable(const ObjectTable&) = delete;
  ObjectTable& operator=(const ObjectTable&) = delete;
  // Destroys the objects still alive.
  ~ObjectTable();

  // True when `number` has the form of a handle (an integer handed back
  // where an object is expected may carry one).
  static bool IsHandleNumber(std::int32_t number) {
    return (static_cast<std::uint32_t>(number) & kMarkMask) == kMark;
  }

  // Takes `object` over; returns the value scripts hold it by. Raises
  // ScriptRuntimeError "Too many objects" when kMaxObjects are alive.
  Variant Add(std::unique_ptr<TObject> object);
  // The object of `handle`. Raises ScriptRuntimeError "Object has been
  // freed" for the handle of a destroyed object and "Invalid object
  // reference" for a number that names no slot.
  TObject* Resolve(std::uint32_t handle) const;
  // True when `object` is alive in this table.
  bool Owns(const TObject* object) const { return slot_of_.contains(object); }
  // Destroys `object`, which must be alive in this table (Owns).
  void Free(const TObject* object);
  // Destroys every object.
  void Clear();
  int Count() const { return static_cast<int>(slot_of_.size()); }

  // A run of a machine of the scripter begins or ends; the end of the
  // outermost one destroys every object.
  void EnterRun() { ++runs_; }
  void LeaveRun();

 private:
  static constexpr std::uint32_t kMark = 0x40000000;
  static constexpr std::uint32_t kMarkMask = 0xC0000000;
  static constexpr int kSlotBits = 16;
  static constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
  static constexpr std::uint32_t kGenerationMask = (1u << 14) - 1;

  struct Slot {
    std::unique_ptr<TObject> object;  // Null while the slot is free.
    std::uint32_t generation = 0;     // Below kGenerationMask + 1.
  };

  // Empties `slot` (a new generation, back to the free list) and returns
  // its object for the caller to destroy.
  std::unique_ptr<TObject> Release(std::uint32_t index);

  std::vector<Slot> slots_;
  std::deque<std::uint32_t> free_;  // Free slot indexes, oldest freed first.
  std::unordered_map<const TObject*, std::uint32_t> slot_of_;  // Alive objects.
  int runs_ = 0;  // Runs under way in the scripter's machines.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_OBJECT_TABLE_H_
