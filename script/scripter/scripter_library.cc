#include "script/scripter/scripter_library.h"

#include <mutex>

namespace vantrel {
namespace {

// The global library registry. Written at program start and read by every
// new scripter; the lock keeps scripters made on several threads safe.
struct Registry {
  std::mutex mutex;
  std::vector<LibraryListItem> items;  // Guarded by mutex.
};

Registry& GlobalRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

std::string ScripterLibrary::LibraryName(std::string_view class_name) {
  if (!class_name.empty() && (class_name[0] == 'T' || class_name[0] == 't')) {
    class_name.remove_prefix(1);
  }
  return std::string(class_name);
}

std::string LibraryClass::LibraryName() const {
  if (!FixedName.empty()) return std::string(FixedName);
  return ScripterLibrary::LibraryName(Class != nullptr ? Class->name : std::string_view());
}

void RegisterLibraryClass(const LibraryClass& library, bool explicit_only) {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  for (const LibraryListItem& item : registry.items) {
    if (item.Library == &library) return;
  }
  registry.items.push_back({&library, explicit_only});
}

std::vector<LibraryListItem> LibraryList() {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.items;
}

}  // namespace vantrel
