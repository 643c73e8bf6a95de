// A compile context for the compiler's tests, the golden scripts and the
// fuzz target: its own registry and default instances, and the helpers to
// compile and run a script with them. Its host members (TestHost) can be
// registered on a scripter as well.
//
// The default instance "Output" offers:
//   echo(value)          appends the value's text and a line feed to Output()
//   Add(a, b)            a + b (integer)
//   Twice(byref x)       doubles the variable x
//   Fail(text)           raises a runtime error with `text`
//   NewItem(name)        a new TItem (its class known when compiling)
//   AnyItem(name)        a new TItem as a variant (its class known only when running)
//   NewPart()            a TPart, a class registered only when a script uses it
//   Missing()            registered without a handler
//   Counter              an integer property, read and written
//   Secret               write-only; Answer: the constant 42
// TItem has the properties Name (string), Value (integer), Child (a TItem,
// made on first use) and Items[i] (read-only, i * 10), the method
// Describe() and the class method Create(name).
#ifndef VANTREL_TESTS_SCRIPT_COMPILE_TEST_CONTEXT_H_
#define VANTREL_TESTS_SCRIPT_COMPILE_TEST_CONTEXT_H_

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"
#include "script/basic/basic_script.h"
#include "script/basic/compile_context.h"
#include "script/errors/script_errors.h"
#include "script/host/host_class.h"
#include "script/host/host_classes.h"
#include "script/host/registry_binding.h"
#include "script/host/script_objects.h"
#include "script/machine/script_info.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"
#include "script/values/tobject.h"

namespace vantrel::test {

class TItem : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
  std::string name;
  int value = 0;
  TItem* child = nullptr;
};

inline const ClassInfo TItem::kClassInfo = {"TItem", &TObject::kClassInfo, {}};

// Registered only when a script first uses a member that returns one.
class TPart : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
  int size = 12;
};

inline const PublishedProperty kPartProperties[] = {
    {"Size", vkInteger,
     [](const TObject& object) { return Variant(static_cast<const TPart&>(object).size); },
     nullptr},
};
inline const ClassInfo TPart::kClassInfo = {"TPart", &TObject::kClassInfo, kPartProperties};

class TOutput : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

inline const ClassInfo TOutput::kClassInfo = {"TOutput", &TObject::kClassInfo, {}};

// The members of the default instance "Output" and of TItem, with their
// state; registered on a compile context's registry or on a scripter's.
class TestHost {
 public:
  // Registers Output's members on `output` and the class TItem in `classes`.
  void Register(HostClass& output, HostClasses& classes) {
    output.RegisterMethod("echo", 1, false, HostHandler::Of<&TestHost::Echo>(this), nullptr,
                          vkNone);
    output.RegisterMethod("Add", 2, false, HostHandler::Of<&TestHost::AddHandler>(this), nullptr,
                          vkInteger);
    output
        .RegisterMethod("Twice", 1, false, HostHandler::Of<&TestHost::Twice>(this), nullptr, vkNone)
        ->SetByRefArguments({0});
    output.RegisterMethod("Fail", 1, false, HostHandler::Of<&TestHost::FailHandler>(this), nullptr,
                          vkNone);
    output.RegisterMethod("NewItem", 1, false, HostHandler::Of<&TestHost::NewItem>(this),
                          &TItem::kClassInfo, vkClass);
    output.RegisterMethod("AnyItem", 1, false, HostHandler::Of<&TestHost::NewItem>(this), nullptr,
                          vkVariant);
    output.RegisterMethod("NewPart", 0, false, HostHandler::Of<&TestHost::NewPart>(this),
                          &TPart::kClassInfo, vkClass);
    output.RegisterMethod("Missing", 0, false, HostHandler{}, nullptr, vkInteger);
    output.RegisterProperty("Counter", vkInteger, 0, false, nullptr,
                            HostHandler::Of<&TestHost::SetCounter>(this),
                            HostHandler::Of<&TestHost::GetCounter>(this));
    output.RegisterProperty("Secret", vkInteger, 0, false, nullptr,
                            HostHandler::Of<&TestHost::SetCounter>(this), HostHandler{});
    output.RegisterConstant("Answer", Variant(42));
    RegisterItemClass(classes);
  }

  std::string& Output() { return output_; }

 private:
  void RegisterItemClass(HostClasses& classes) {
    HostClass& item = classes.RegisterHostClass(&TItem::kClassInfo);
    item.RegisterProperty("Name", vkString, 0, false, nullptr,
                          HostHandler::Of<&TestHost::SetName>(this),
                          HostHandler::Of<&TestHost::GetName>(this));
    item.RegisterProperty("Value", vkInteger, 0, false, nullptr,
                          HostHandler::Of<&TestHost::SetValue>(this),
                          HostHandler::Of<&TestHost::GetValue>(this));
    item.RegisterProperty("Child", vkClass, 0, false, &TItem::kClassInfo, HostHandler{},
                          HostHandler::Of<&TestHost::GetChild>(this));
    item.RegisterProperty("Items", vkInteger, 1, false, nullptr, HostHandler{},
                          HostHandler::Of<&TestHost::GetItems>(this));
    item.RegisterMethod("Describe", 0, false, HostHandler::Of<&TestHost::Describe>(this), nullptr,
                        vkString);
    item.RegisterMethod("Create", 1, true, HostHandler::Of<&TestHost::NewItem>(this),
                        &TItem::kClassInfo, vkClass);
  }

  static TItem& ItemOf(VirtualMachine& machine) {
    TObject* object = machine.CurrentObject();
    if (object == nullptr || !object->ClassType().InheritsFrom(&TItem::kClassInfo)) {
      throw ScriptRuntimeError("Not an item");
    }
    return static_cast<TItem&>(*object);
  }
  TItem& MakeItem(std::string name) {
    items_.push_back(std::make_unique<TItem>());
    items_.back()->name = std::move(name);
    return *items_.back();
  }

  void Echo(VirtualMachine& m) { output_ += m.GetArgAsString(0) + "\n"; }
  void AddHandler(VirtualMachine& m) {
    m.SetResult(Variant(m.GetArgAsInteger(0) + m.GetArgAsInteger(1)));
  }
  void Twice(VirtualMachine& m) { m.SetByRefArg(0, Variant(m.GetArgAsInteger(0) * 2)); }
  void FailHandler(VirtualMachine& m) { throw ScriptRuntimeError(m.GetArgAsString(0)); }
  void NewItem(VirtualMachine& m) { m.SetResult(Variant::Object(&MakeItem(m.GetArgAsString(0)))); }
  void NewPart(VirtualMachine& m) { m.SetResult(Variant::Object(&part_)); }
  void GetCounter(VirtualMachine& m) { m.SetResult(Variant(counter_)); }
  void SetCounter(VirtualMachine& m) { counter_ = m.GetArgAsInteger(0); }
  void GetName(VirtualMachine& m) { m.SetResult(Variant(ItemOf(m).name)); }
  void SetName(VirtualMachine& m) { ItemOf(m).name = m.GetArgAsString(0); }
  void GetValue(VirtualMachine& m) { m.SetResult(Variant(ItemOf(m).value)); }
  void SetValue(VirtualMachine& m) { ItemOf(m).value = m.GetArgAsInteger(0); }
  void GetChild(VirtualMachine& m) {
    TItem& item = ItemOf(m);
    if (item.child == nullptr) item.child = &MakeItem(item.name + ".child");
    m.SetResult(Variant::Object(item.child));
  }
  void GetItems(VirtualMachine& m) {
    ItemOf(m);
    m.SetResult(Variant(m.GetIndexArg(0).ToInteger() * 10));
  }
  void Describe(VirtualMachine& m) {
    const TItem& item = ItemOf(m);
    m.SetResult(Variant(item.name + "=" + std::to_string(item.value)));
  }

  TPart part_;
  std::deque<std::unique_ptr<TItem>> items_;
  std::string output_;
  int counter_ = 0;
};

class TestCompileContext : public CompileContext {
 public:
  TestCompileContext() {
    HostClass& output = classes_.RegisterHostClass(&TOutput::kClassInfo);
    host_.Register(output, classes_);
    objects_.Add("Output", &output_object_, &output);
  }

  // ---- CompileContext. ----
  HostClasses& Classes() override { return classes_; }
  const ScriptObjects& DefaultInstances() const override { return objects_; }
  ValueKindSet PublishedKinds() const override { return kDefaultPublishedKinds; }
  bool ExplicitDeclaration() const override { return explicit_declaration; }
  bool ShortBooleanEval() const override { return short_boolean_eval; }
  bool ResolveMembersAtRunTime() const override { return resolve_at_run_time; }
  void UseLibrary(std::string_view name, bool as_default) override {
    if (name != "Extra") throw Exception("Library not found: " + std::string(name));
    used.push_back(std::string(name) + (as_default ? "+" : "-"));
  }

  ScriptObjects& Objects() { return objects_; }
  std::string& Output() { return host_.Output(); }

  bool explicit_declaration = false;
  bool short_boolean_eval = false;
  bool resolve_at_run_time = false;
  std::vector<std::string> used;

 private:
  HostClasses classes_;
  ScriptObjects objects_;
  TOutput output_object_;
  TestHost host_;
};

// Compiles `source` with `context` and runs its main program; returns what
// it echoed, followed by "!" and the message of a runtime error (its line
// ends as line feeds).
inline std::string CompileAndRun(TestCompileContext& context, std::string_view source) {
  BasicScript compiler;
  CompiledCode code;
  StringList lines;
  lines.SetText(source);
  compiler.Compile(lines, context, code);
  VirtualMachine machine;
  RegistryBinding binding(&context.Classes(), &context.DefaultInstances());
  machine.SetHost(&binding);
  machine.Link(code.Instructions);
  try {
    machine.Execute("", Variant());
  } catch (const Exception& error) {
    std::string message = error.Message();
    for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at)) {
      message.erase(at, 1);
    }
    context.Output() += "!" + message + "\n";
  }
  return context.Output();
}

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SCRIPT_COMPILE_TEST_CONTEXT_H_
