// Function libraries: sets of host members a scripter registers in one step.
//
// A library is an object of a ScripterLibrary subclass, created by the
// scripter that attaches it and registering its members in Init(). Its
// LibraryClass describes it without an instance: how to create it and the
// name scripts call it by (`uses VBScript`, `Internal.UpperCase(s)`).
//
// The global library registry lists the library classes every scripter
// knows by name. It is filled at program start; libraries that are not
// explicit-only are attached to every new scripter.
//
//   class MathLibrary : public ScripterLibrary { ... };
//   RegisterLibraryClass(LibraryClassOf<MathLibrary>(), /*explicit_only=*/true);
#ifndef VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_H_
#define VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/values/tobject.h"

namespace vantrel {

class CustomScripter;

class ScripterLibrary : public TObject {
 public:
  explicit ScripterLibrary(CustomScripter& scripter) : scripter_(scripter) {}

  // Registers the library's members (usually on the entry that
  // RegisterHostClass gives for the library's own class).
  virtual void Init() {}
  // Releases what Init registered.
  virtual void Finalize() {}

  CustomScripter& Scripter() const { return scripter_; }

  // The name a library class without a name of its own goes by: the class
  // name without a leading "T" or "t".
  static std::string LibraryName(std::string_view class_name);

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  CustomScripter& scripter_;
};

inline const ClassInfo ScripterLibrary::kClassInfo = {"ScripterLibrary", &TObject::kClassInfo, {}};

// A library class: its class description, how to create an instance, and
// its library name when that is not the class-name rule's.
struct LibraryClass {
  const ClassInfo* Class = nullptr;
  std::unique_ptr<ScripterLibrary> (*Create)(CustomScripter& scripter) = nullptr;
  std::string_view FixedName = {};

  std::string LibraryName() const;
};

// The library class of `Library`, which has a static kClassInfo and a
// constructor taking the scripter. One object per type, for the whole run.
template <class Library>
const LibraryClass& LibraryClassOf(std::string_view fixed_name = {}) {
  static const LibraryClass library_class = {
      &Library::kClassInfo,
      [](CustomScripter& scripter) -> std::unique_ptr<ScripterLibrary> {
        return std::make_unique<Library>(scripter);
      },
      fixed_name};
  return library_class;
}

struct LibraryListItem {
  const LibraryClass* Library = nullptr;
  bool ExplicitOnly = false;
};

// Adds a library class to the global registry (a class already there keeps
// its entry). Meant for program start; safe from any thread.
void RegisterLibraryClass(const LibraryClass& library, bool explicit_only);
// A snapshot of the global registry, in registration order.
std::vector<LibraryListItem> LibraryList();

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SCRIPTER_SCRIPTER_LIBRARY_H_
