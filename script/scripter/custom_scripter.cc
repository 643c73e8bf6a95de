#include "script/scripter/custom_scripter.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/exception.h"
#include "base/format.h"
#include "base/text_file.h"
#include "script/errors/script_errors.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/script_based_library.h"
#include "script/stored/byte_reader.h"
#include "script/stored/byte_writer.h"
#include "script/stored/code_stream.h"

namespace vantrel {
namespace {

void ReturnLibrary(ScripterLibrary& library, VirtualMachine& machine) {
  machine.SetResult(Variant::Object(&library));
}

// The extension of `path` (from its last "."), or "".
std::string_view Extension(std::string_view path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return path.substr(dot);
}

}  // namespace

CustomScripter::CustomScripter() : event_broker_(std::make_unique<ScripterEventBroker>(*this)) {
  scripts_.Add();
  SetEventSupport(true);
  internal_class_ = &RegisterHostClass(&InternalObject::kClassInfo);
  default_instances_.Add(InternalObject::kClassInfo.name, &internal_object_, internal_class_);
  for (const LibraryListItem& item : LibraryList()) {
    if (!item.ExplicitOnly) AttachLibrary(*item.Library, true);
  }
}

CustomScripter::~CustomScripter() {
  // Scripts first: they detach the libraries made of them while the
  // registry is still there. Then the libraries, last attached first.
  scripts_.Clear();
  script_file_libraries_.clear();
  while (!libraries_.empty()) {
    libraries_.back().library->Finalize();
    libraries_.pop_back();
  }
}

Script& CustomScripter::DefaultScript() const {
  if (scripts_.Count() == 0) throw ScriptInternalError("Default script is not available");
  return scripts_[0];
}

void CustomScripter::ClearScripts() {
  code_buffer_.clear();
  for (int i = 0; i < scripts_.Count(); ++i) scripts_[i].ClearCode();
}

void CustomScripter::Compile() { DefaultScript().Compile(); }

Variant CustomScripter::Execute() { return Execute(Variant::Null()); }

Variant CustomScripter::Execute(const Variant& input) { return DefaultScript().Execute({}, input); }

Variant CustomScripter::ExecuteRoutine(std::string_view name, const Variant& input) {
  return DefaultScript().Execute(name, input);
}

Variant CustomScripter::ExecuteRoutine(std::string_view name, const std::vector<Variant>& values) {
  return DefaultScript().ExecuteWithArguments(name, values);
}

void CustomScripter::Halt() { DefaultScript().Halt(); }

bool CustomScripter::IsRunning() const { return DefaultScript().IsRunning(); }

void CustomScripter::SetEventSupport(bool value) {
  event_support_ = value;
  if (value) {
    published_kinds_ |= ValueKindBit(vkMethod);
    event_broker_->InstallHooks(classes_);
  } else {
    published_kinds_ &= static_cast<ValueKindSet>(~ValueKindBit(vkMethod));
  }
}

HostClass& CustomScripter::RegisterHostClass(const ClassInfo* class_ref, std::string_view name) {
  HostClass& entry = classes_.RegisterHostClass(class_ref, name, published_kinds_);
  if (event_support_) event_broker_->InstallHooks(classes_);
  return entry;
}

void CustomScripter::RegisterConstant(std::string_view name, const Variant& value) {
  internal_class_->RegisterConstant(name, value);
}

ScripterLibrary& CustomScripter::AttachLibrary(const LibraryClass& library, bool as_default) {
  for (const AttachedLibrary& attached : libraries_) {
    if (&attached.library->ClassType() == library.Class) return *attached.library;
  }
  return AttachInstance(library.Create(*this), library.LibraryName(), library.Class, as_default);
}

ScripterLibrary& CustomScripter::AttachInstance(std::unique_ptr<ScripterLibrary> library,
                                                std::string name, const ClassInfo* result_class,
                                                bool as_default) {
  ScripterLibrary& instance = *library;
  libraries_.push_back({std::move(library), name});
  internal_class_->RegisterMethod(name, 0, false,
                                  HostHandler::Of<ScripterLibrary, &ReturnLibrary>(&instance),
                                  result_class, vkClass);
  instance.Init();
  if (as_default) {
    HostClass& entry = RegisterHostClass(&instance.ClassType());
    default_instances_.Add(name, &instance, &entry);
  }
  return instance;
}

void CustomScripter::DetachLibrary(ScripterLibrary& library) {
  auto it =
      std::find_if(libraries_.begin(), libraries_.end(),
                   [&library](const AttachedLibrary& a) { return a.library.get() == &library; });
  if (it == libraries_.end()) return;
  AttachedLibrary attached = std::move(*it);
  libraries_.erase(it);
  for (int i = internal_class_->MethodCount() - 1; i >= 0; --i) {
    HostMethod& method = internal_class_->Method(i);
    if (method.Handler.object == &library && EqualsIgnoreCase(method.Name, attached.name)) {
      internal_class_->DeleteMethod(&method);
      break;
    }
  }
  library.Finalize();
  ScriptObject* object = default_instances_.Find(attached.name);
  if (object != nullptr && object->Instance == &library) default_instances_.Remove(attached.name);
  if (auto* script_library = dynamic_cast<ScriptBasedLibrary*>(&library)) {
    script_library->GetScript().RemoveMadeLibrary(script_library);
  }
}

ScripterLibrary* CustomScripter::FindLibrary(std::string_view name) const {
  for (const AttachedLibrary& attached : libraries_) {
    if (EqualsIgnoreCase(attached.name, name)) return attached.library.get();
  }
  return nullptr;
}

void CustomScripter::UseLibrary(std::string_view name, bool as_default) {
  for (const LibraryListItem& item : LibraryList()) {
    if (EqualsIgnoreCase(item.Library->LibraryName(), name)) {
      AttachLibrary(*item.Library, as_default);
      return;
    }
  }
  if (lib_options_.UseScriptFiles) {
    std::string path = FindLibraryFile(name, lib_options_, ProgramDirectory());
    if (!path.empty()) {
      // Scripts the host removed are no longer loaded.
      std::erase_if(script_file_libraries_,
                    [this](const Script* loaded) { return !scripts_.Contains(loaded); });
      for (Script* loaded : script_file_libraries_) {
        if (!EqualsIgnoreCase(loaded->FileName(), path)) continue;
        // Clearing the scripts drops the library; a later use makes it again.
        if (!HasLibraryOf(*loaded)) MakeScriptLibrary(*loaded, loaded->LibraryName());
        return;
      }
      Script& script = scripts_.Add();
      try {
        // Named before compiling, so that its compile errors name the file.
        script.SetFileName(path);
        script.SetLibraryName(std::string(name));
        script_file_libraries_.push_back(&script);
        if (Extension(path) == lib_options_.CompiledFileExt) {
          LoadLibraryCode(script, path);
        } else {
          StringList lines;
          lines.LoadFromFile(path);
          script.SetSourceCode(lines);
        }
        MakeScriptLibrary(script, std::string(name));
      } catch (...) {
        std::erase(script_file_libraries_, &script);
        scripts_.Remove(&script);
        throw;
      }
      return;
    }
  }
  throw Exception(Format("Library '%s' not found", {name}));
}

void CustomScripter::LoadLibraryCode(Script& script, const std::string& path) {
  script.LoadCode(ReadWholeFile(path));
}

bool CustomScripter::WritePCode(std::string& property) {
  property.clear();
  if (!Compiled() || !SaveCompiledCode()) return false;
  DefaultScript().SaveCode(code_buffer_);
  ByteWriter out(property);
  out.WriteInt32(static_cast<int32_t>(code_buffer_.size()));
  out.WriteBytes(code_buffer_);
  return true;
}

void CustomScripter::ReadPCode(std::string_view property) {
  const std::string_view code = GuardStreamRead([property] {
    ByteReader in(property);
    const int32_t length = in.ReadInt32();
    return in.ReadBytes(in.CheckCount(length, 1, "PCode length"));
  });
  DefaultScript().LoadCode(code);
  code_buffer_.assign(code);
}

bool CustomScripter::HasLibraryOf(const Script& script) const {
  return std::any_of(script.MadeLibraries().begin(), script.MadeLibraries().end(),
                     [this](ScriptBasedLibrary* library) { return &library->Scripter() == this; });
}

void CustomScripter::MakeScriptLibrary(Script& script, const std::string& name) {
  if (!script.Compiled()) {
    // A library that uses itself, directly or through others, would be
    // compiled again inside its own compilation without end.
    std::string chain;
    for (const std::string& compiling : libraries_compiling_) chain += compiling + " -> ";
    if (std::any_of(
            libraries_compiling_.begin(), libraries_compiling_.end(),
            [&name](const std::string& compiling) { return EqualsIgnoreCase(compiling, name); })) {
      throw Exception(Format("Library '%s' uses itself: %s", {name, chain + name}));
    }
    libraries_compiling_.push_back(name);
    struct Done {
      std::vector<std::string>& compiling;
      ~Done() { compiling.pop_back(); }
    } done{libraries_compiling_};
    script.Compile();
  }
  std::vector<ScriptBasedLibrary*> earlier = script.MadeLibraries();
  for (ScriptBasedLibrary* library : earlier) {
    if (&library->Scripter() == this) DetachLibrary(*library);
  }
  const ClassInfo& class_info = ScriptLibraryClass(name);
  auto library = std::make_unique<ScriptBasedLibrary>(*this, script, name, class_info);
  ScriptBasedLibrary* made = library.get();
  script.AddMadeLibrary(made);
  try {
    AttachInstance(std::move(library), name, &class_info, true);
  } catch (...) {
    DetachLibrary(*made);
    throw;
  }
}

const ClassInfo& CustomScripter::ScriptLibraryClass(const std::string& name) {
  for (const std::unique_ptr<OwnedClassInfo>& owned : script_library_classes_) {
    if (EqualsIgnoreCase(owned->name, name)) return owned->info;
  }
  auto owned = std::make_unique<OwnedClassInfo>();
  owned->name = name;
  owned->info = ClassInfo{owned->name, &ScriptBasedLibrary::kClassInfo, {}};
  script_library_classes_.push_back(std::move(owned));
  return script_library_classes_.back()->info;
}

void CustomScripter::ReportCompileError(Script& script, std::string msg, int row, int col) {
  if (!script.LibraryName().empty()) msg = "File library " + script.LibraryName() + ": " + msg;
  bool show_exception = true;
  if (!script.Temporary() && on_compile_error_) {
    on_compile_error_(*this, msg, row, col, show_exception);
  }
  if (!show_exception) throw ScriptAbort(msg);
  throw ReportedCompileError(msg, row, col);
}

void CustomScripter::NotifyBeforeExecute(VirtualMachine& machine, std::string_view routine) {
  if (on_before_execute_) on_before_execute_(machine, routine);
}

void CustomScripter::PrepareForLink() {
  if (event_support_) event_broker_->InstallHooks(classes_);
}

}  // namespace vantrel
