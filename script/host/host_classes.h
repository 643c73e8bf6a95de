// The registry of host classes a scripter offers to its scripts.
//
// Entries are searched by name, without regard to ASCII letter case, from the
// first. An entry's position is its class index in packed member references
// (see instruction.h), so entries are only ever appended while code that
// refers to them may exist. Not thread-safe: a scripter registers and looks up
// on one thread at a time.
#ifndef VANTREL_SCRIPT_HOST_HOST_CLASSES_H_
#define VANTREL_SCRIPT_HOST_HOST_CLASSES_H_

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "script/host/host_class.h"
#include "script/values/value_kind.h"

namespace vantrel {

struct ClassInfo;

class HostClasses {
 public:
  HostClasses();
  HostClasses(const HostClasses&) = delete;
  HostClasses& operator=(const HostClasses&) = delete;
  ~HostClasses();

  // Finds or creates the entry named `name` (the class's own name when
  // empty). The first registration of the class itself records it, links the
  // entry below its ancestor's (registering the ancestor first) and adds the
  // class's published properties whose kind is in `published_kinds`.
  HostClass& RegisterHostClass(const ClassInfo* class_ref, std::string_view name = {},
                               ValueKindSet published_kinds = kDefaultPublishedKinds);

  // An entry without a class of its own (script-file libraries share one).
  HostClass& RegisterNamedClass(std::string_view name);

  HostClass* FindHostClass(std::string_view name) const;
  // The entry of `class_ref`, or of its nearest ancestor that has one.
  HostClass* FindByClass(const ClassInfo* class_ref) const;

  int Count() const { return static_cast<int>(classes_.size()); }
  HostClass& At(int index) const { return *classes_[static_cast<size_t>(index)]; }
  int IndexOf(const HostClass* entry) const;

  // Changes whenever an entry is added or one's Revision changes (entries
  // are never removed): code compiled against the registry stays valid
  // while it stays the same.
  std::uint64_t Revision() const;

 private:
  std::vector<std::unique_ptr<HostClass>> classes_;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_HOST_HOST_CLASSES_H_
