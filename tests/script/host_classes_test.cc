#include "script/host/host_classes.h"

#include <gtest/gtest.h>

#include <functional>

#include "script/errors/script_errors.h"
#include "script/host/host_class.h"
#include "script/host/registry_binding.h"
#include "script/host/script_objects.h"
#include "script/machine/machine_ops.h"
#include "script/machine/virtual_machine.h"
#include "script/values/class_info.h"
#include "script/values/tobject.h"
#include "tests/script/assembler.h"

namespace vantrel {
namespace {

// A small host class hierarchy: TDevice derives from TObject, TModem from
// TDevice. TDevice publishes Speed (integer), Name (string) and Parity
// (enumeration).
class TDevice : public TObject {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
  int speed = 9600;
  std::string name = "COM1";
  int parity = 0;
};

class TModem : public TDevice {
 public:
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

constexpr std::string_view kParityNames[] = {"None", "Odd", "Even"};

const PublishedProperty kDeviceProperties[] = {
    {"Speed", vkInteger,
     [](const TObject& o) { return Variant(static_cast<const TDevice&>(o).speed); },
     [](TObject& o, const Variant& v) { static_cast<TDevice&>(o).speed = v.ToInteger(); }},
    {"Name", vkString,
     [](const TObject& o) { return Variant(static_cast<const TDevice&>(o).name); }, nullptr},
    {"Parity", vkEnumeration,
     [](const TObject& o) { return Variant(static_cast<const TDevice&>(o).parity); },
     [](TObject& o, const Variant& v) { static_cast<TDevice&>(o).parity = v.ToInteger(); }, nullptr,
     kParityNames},
    {"OnEvent", vkMethod, nullptr, nullptr},
};

const ClassInfo TDevice::kClassInfo = {"TDevice", &TObject::kClassInfo, kDeviceProperties};
const ClassInfo TModem::kClassInfo = {"TModem", &TDevice::kClassInfo, {}};

void Nothing(VirtualMachine&) {}
void Other(VirtualMachine&) {}

TEST(HostClassesTest, RegisteringAClassRegistersItsAncestorsAndPublishedProperties) {
  HostClasses classes;
  HostClass& modem = classes.RegisterHostClass(&TModem::kClassInfo);
  EXPECT_EQ(modem.Name(), "TModem");
  ASSERT_NE(modem.Ancestor(), nullptr);
  EXPECT_EQ(modem.Ancestor()->Name(), "TDevice");
  EXPECT_EQ(modem.AncestorName(), "TDevice");
  EXPECT_NE(classes.FindHostClass("tobject"), nullptr);
  // Ancestors' published properties are visible; event kinds are not by
  // default.
  ASSERT_NE(modem.FindProperty("speed"), nullptr);
  EXPECT_TRUE(modem.FindProperty("Speed")->Getter);
  EXPECT_FALSE(modem.FindProperty("Name")->Setter);
  EXPECT_EQ(modem.FindProperty("OnEvent"), nullptr);
  EXPECT_EQ(classes.FindByClass(&TModem::kClassInfo), &modem);
}

TEST(HostClassesTest, ReRegisteringAMethodSparesDescendantsThatHaveTheirOwn) {
  HostClasses classes;
  HostClass& device = classes.RegisterHostClass(&TDevice::kClassInfo);
  HostClass& modem = classes.RegisterHostClass(&TModem::kClassInfo);
  HostClass& object = *classes.FindHostClass("TObject");
  modem.RegisterMethod("X", 2, false, HostHandler::Of<&Other>(), nullptr, vkInteger);
  object.RegisterMethod("X", 1, false, HostHandler::Of<&Nothing>(), nullptr, vkNone);
  object.RegisterMethod("X", 3, false, HostHandler::Of<&Nothing>(), nullptr, vkString);

  EXPECT_EQ(object.MethodCount(), 1);
  EXPECT_EQ(object.FindMethod("x")->ArgCount, 3);
  // TDevice had no X: it got a copy of the first definition and keeps it.
  EXPECT_EQ(device.FindMethod("X")->ArgCount, 1);
  EXPECT_EQ(device.MethodCount(), 1);
  // A descendant registered afterwards copies the current one.
  HostClasses fresh;
  HostClass& root = fresh.RegisterHostClass(&TObject::kClassInfo);
  root.RegisterMethod("X", 3, false, HostHandler::Of<&Nothing>(), nullptr, vkString);
  EXPECT_EQ(fresh.RegisterHostClass(&TModem::kClassInfo).FindMethod("X")->ArgCount, 3);
  // TModem's own X stays.
  EXPECT_EQ(modem.FindMethod("X")->ArgCount, 2);
  EXPECT_EQ(modem.FindMethod("X")->Handler, HostHandler::Of<&Other>());
}

TEST(HostClassesTest, ConstantRegisteredAgainKeepsOneEntryWithTheLatestValue) {
  HostClasses classes;
  HostClass& entry = classes.RegisterNamedClass("Internal");
  entry.RegisterConstant("peerIP", Variant("10.0.0.1"));
  entry.RegisterConstant("PEERIP", Variant("10.0.0.2"));
  EXPECT_EQ(entry.PropertyCount(), 1);
  EXPECT_EQ(entry.FindProperty("peerip")->StoredValue.ToString(), "10.0.0.2");
}

// Compiled code refers to members by position and shape; the revision is
// what tells a kept program that it may be run again. A new constant value
// must not count (pages register theirs before every run), anything that
// moves or reshapes a member must.
TEST(HostClassesTest, RevisionCountsWhatCompiledCodeDependsOnAndNotConstantValues) {
  HostClasses classes;
  HostClass& entry = classes.RegisterNamedClass("Internal");
  entry.RegisterConstant("peerPort", Variant(1));
  entry.RegisterMethod("echo", 1, false, HostHandler::Of<&Other>(), nullptr, vkNone);
  std::uint64_t last = classes.Revision();
  const auto changed = [&] {
    const std::uint64_t now = classes.Revision();
    const bool result = now != last;
    last = now;
    return result;
  };

  entry.RegisterConstant("PEERPORT", Variant(2));
  entry.RegisterMethod("echo", 1, false, HostHandler::Of<&Other>(), nullptr, vkNone);
  EXPECT_FALSE(changed()) << "a new value or the same definition again";

  entry.RegisterMethod("echo", 2, false, HostHandler::Of<&Other>(), nullptr, vkNone);
  EXPECT_TRUE(changed()) << "another argument count";
  entry.RegisterMethod("echo", 2, false, HostHandler::Of<&Other>(), nullptr, vkString);
  EXPECT_TRUE(changed()) << "another result kind";
  entry.RegisterProperty("peerPort", vkInteger, 0, false, nullptr, {}, HostHandler::Of<&Other>());
  EXPECT_TRUE(changed()) << "a constant made a property";
  entry.RegisterMethod("flush", 0, false, HostHandler::Of<&Other>(), nullptr, vkNone);
  EXPECT_TRUE(changed()) << "a member added";
  entry.DeleteMethod(entry.FindMethod("echo"));
  EXPECT_TRUE(changed()) << "a member deleted, moving the ones after it";
  classes.RegisterNamedClass("Other");
  EXPECT_TRUE(changed()) << "a class added";
}

TEST(HostClassesTest, UnusableVariantPropertyIsNotCreated) {
  HostClasses classes;
  HostClass& entry = classes.RegisterNamedClass("Lib");
  EXPECT_EQ(entry.RegisterProperty("Nothing", vkVariant, 0, false, nullptr, {}, {}), nullptr);
  EXPECT_EQ(entry.PropertyCount(), 0);
}

TEST(HostClassesTest, ByRefArgumentsGrowTheDefinitionsAndSetTheMask) {
  HostClasses classes;
  HostMethod* method = classes.RegisterNamedClass("Lib").RegisterMethod(
      "Swap", 3, false, HostHandler::Of<&Nothing>(), nullptr, vkNone);
  method->SetByRefArguments({0, 2});
  ASSERT_EQ(method->ArgDefs.size(), 3u);
  EXPECT_EQ(method->ArgDefs[0].Modifier, moVar);
  EXPECT_EQ(method->ArgDefs[1].Modifier, moNone);
  EXPECT_EQ(method->ByRefArgMask, 0b101u);
  method->SetByRefArguments({1});
  EXPECT_EQ(method->ByRefArgMask, 0b010u);
}

TEST(HostClassesTest, DestroyingTheRegistryDetachesEntriesInAnyOrder) {
  auto classes = std::make_unique<HostClasses>();
  classes->RegisterHostClass(&TModem::kClassInfo);
  classes.reset();  // ASan reports any dangling link.
  SUCCEED();
}

TEST(ScriptObjectsTest, AbsentInstanceAndUnknownClassAreDefinitionErrors) {
  ScriptObjects objects;
  HostClasses classes;
  try {
    objects.Add("x", nullptr, nullptr);
    FAIL();
  } catch (const ScriptDefinitionError& e) {
    EXPECT_EQ(e.Message(), "Definition ERROR\r\nInvalid script default instance");
  }
  TDevice device;
  HostClasses other;
  objects.Add("Device", &device, &other.RegisterHostClass(&TDevice::kClassInfo));
  try {
    ScriptObjects copy;
    copy.CopyFrom(objects, classes);
    FAIL();
  } catch (const ScriptDefinitionError& e) {
    EXPECT_EQ(e.Message(), "Definition ERROR\r\nUndefined default instance class 'TDevice'");
  }
}

// Host calls through a default instance: the lenient accessors and
// by-reference arguments.
class HostCallTest : public ::testing::Test {
 protected:
  HostCallTest() {
    machine_.SetHost(&binding_);
    HostClass& entry = classes_.RegisterHostClass(&TDevice::kClassInfo);
    objects_.Add("Device", &device_, &entry);
    entry.RegisterMethod("Probe", 1, false, HostHandler::Of<&HostCallTest::Probe>(this), nullptr,
                         vkVariant);
    HostMethod* twice = entry.RegisterMethod(
        "Twice", 1, false, HostHandler::Of<&HostCallTest::Twice>(this), nullptr, vkNone);
    twice->SetByRefArguments({0});
    class_index_ = classes_.IndexOf(&entry);
    probe_index_ = entry.IndexOfMethod(entry.FindMethod("Probe"));
    twice_index_ = entry.IndexOfMethod(twice);
  }

 public:
  // Records what the accessors make of argument 0.
  void Probe(VirtualMachine& m) {
    as_integer_ = m.GetArgAsInteger(0);
    as_float_ = m.GetArgAsFloat(0);
    as_string_ = m.GetArgAsString(0);
    member_ = std::string(m.CurrentMemberName());
    object_ = m.CurrentObject();
    counts_ = {m.ArgCount(), m.IndexArgCount()};
    m.SetArgIfByRef(0, Variant("changed"));
    m.SetResult(Variant(1));
  }

  void Self(VirtualMachine& m) { m.SetResult(Variant::Object(&device_)); }

  // "<n>" for n > 0, the number 0 for 0; fails below 0. Counts its calls.
  void Tag(VirtualMachine& m) { MakeTag(m, "<"); }
  void SquareTag(VirtualMachine& m) { MakeTag(m, "["); }
  void MakeTag(VirtualMachine& m, const std::string& open) {
    ++tag_calls_;
    const int n = m.GetArgAsInteger(0);
    if (n < 0) throw ScriptRuntimeError("No tag below 0");
    m.SetResult(n == 0 ? Variant(0)
                       : Variant(open + std::to_string(n) + (open == "<" ? ">" : "]")));
  }

  void Twice(VirtualMachine& m) { m.SetByRefArg(0, Variant(m.GetArgAsInteger(0) * 2)); }

 protected:
  // How the one argument is pushed: the variable's value, a reference to
  // it, or the value as a constant of the code.
  enum Argument { kValue, kReference, kConstant };

  // main: v = value: Device.<method>(argument): result v. Linking runs the
  // push and the call in one step unless `fused` is false, when a jump
  // that is never taken lands on the call and keeps the two apart.
  Variant Call(int method, const Variant& value, Argument argument, bool fused = true) {
    test::Assembler a;
    a.Emit(opGlobalPrepare);
    a.Emit(opPrepare, 1);
    a.PushString(value.ToString());
    a.Emit(opStoreVar, 0);
    a.Emit(opPushConst).B = 1;  // False.
    Instruction& blocker = a.Emit(opJumpIfTrue);
    blocker.A = a.Here() + (fused ? 0 : 1);
    const int push = a.Here();
    if (argument == kConstant) {
      a.PushString(value.ToString());
    } else {
      a.Emit(argument == kReference ? opPushVarByRef : opPushVar, 0);
    }
    Instruction& call = a.Emit(opCallProc, 0);
    call.B = 1;
    call.Y = PackMemberReference(class_index_, method, kMemberMethodCall);
    call.S = method == probe_index_ ? "probe" : "twice";
    a.Emit(opPushVar, 0);
    a.Emit(opRet);
    code_ = a.Code();
    machine_.Link(code_);
    // Fused, the push runs the step that makes the call, not its own handler.
    EXPECT_EQ(code_[push].Handler != MachineOps::HandlerOf(code_[push].Op), fused);
    return machine_.Execute("", Variant::Null());
  }

  HostClasses classes_;
  ScriptObjects objects_;
  RegistryBinding binding_{&classes_, &objects_};
  VirtualMachine machine_;
  InstructionList code_;
  TDevice device_;
  int class_index_ = 0, probe_index_ = 0, twice_index_ = 0;
  int32_t as_integer_ = 0;
  double as_float_ = 0;
  std::string as_string_, member_;
  TObject* object_ = nullptr;
  std::pair<int, int> counts_;
  int tag_calls_ = 0;
};

TEST_F(HostCallTest, LenientAccessorsReadCommaDecimalsAndRoundHalfToEven) {
  Call(probe_index_, Variant("2,5"), kValue);
  EXPECT_EQ(as_integer_, 2);
  EXPECT_EQ(as_float_, 2.5);
  EXPECT_EQ(member_, "probe");
  EXPECT_EQ(object_, &device_);
  Call(probe_index_, Variant("3,5"), kValue);
  EXPECT_EQ(as_integer_, 4);
}

TEST_F(HostCallTest, ValueArgumentIsNotWrittenBackButAReferenceIs) {
  EXPECT_EQ(Call(probe_index_, Variant("x"), kValue).ToString(), "x");
  EXPECT_EQ(Call(probe_index_, Variant("x"), kReference).ToString(), "changed");
  EXPECT_EQ(Call(twice_index_, Variant("21"), kReference).RawInteger(), 42);
  try {
    Call(twice_index_, Variant("21"), kValue);
    FAIL();
  } catch (const ScriptRuntimeError& e) {
    EXPECT_EQ(e.Message().rfind("RUNTIME ERROR\r\nMethod expects argument 0 as variable reference "
                                "when evaluating instruction CallProc",
                                0),
              0u)
        << e.Message();
  }
  EXPECT_FALSE(machine_.IsRunning());
}

// A push and a one-argument call run as one step (how a page echoes): the
// handler must see, write back and fail exactly as with the two apart.
TEST_F(HostCallTest, PushAndCallInOneStepActAsTheTwoInstructions) {
  const auto outcome = [&](int method, const char* value, Argument argument, bool fused) {
    as_string_.clear();
    member_.clear();
    std::string text;
    try {
      text = Call(method, Variant(value), argument, fused).ToString();
    } catch (const ScriptRuntimeError& e) {
      text = e.Message();
    }
    return text + "|" + as_string_ + "|" + member_ + "|" + std::to_string(counts_.first) + "," +
           std::to_string(counts_.second);
  };
  for (int method : {probe_index_, twice_index_}) {
    for (Argument argument : {kValue, kReference, kConstant}) {
      for (const char* value : {"21", "x"}) {
        counts_ = {-1, -1};
        const std::string plain = outcome(method, value, argument, false);
        counts_ = {-1, -1};
        EXPECT_EQ(outcome(method, value, argument, true), plain)
            << method << " " << argument << " " << value;
      }
    }
  }
  // The step names the call in its errors, as the call alone does.
  EXPECT_NE(outcome(twice_index_, "x", kConstant, true).find("instruction CallProc"),
            std::string::npos);
}

// first + Tag(n) + ...: a constant text while Tag is pure, made by its first
// run and pushed as made by later ones.
TEST_F(HostCallTest, AConstantTextIsMadeOnceWhileItsCallsStayTheSame) {
  HostClass& entry = *classes_.FindHostClass("TDevice");
  const auto define_tag = [&](HostHandler handler, bool pure) {
    HostMethod* tag = entry.RegisterMethod("Tag", 1, false, handler, nullptr, vkVariant);
    tag->Pure = pure;
    return entry.IndexOfMethod(tag);
  };
  const int tag = define_tag(HostHandler::Of<&HostCallTest::Tag>(this), true);
  // The text, then (with `append`) s = text: s = s & "!": s. Unless
  // `fused`, a jump that is never taken lands on the first call and keeps
  // the text plain.
  const auto link = [&](const char* first, std::initializer_list<int> tags, bool append = false,
                        bool fused = true) {
    test::Assembler a;
    a.Emit(opGlobalPrepare);
    a.Emit(opPrepare, 1);
    a.Emit(opPushConst).B = 1;  // False.
    a.Emit(opJumpIfTrue).A = a.Here() + (fused ? 1 : 3);
    a.PushString(first);
    for (int n : tags) {
      a.Emit(opPushInteger, n);
      Instruction& call = a.Emit(opCallProc, 0);
      call.B = 1;
      call.Y = PackMemberReference(class_index_, tag, kMemberMethodCall);
      a.Emit(opPushOutput, 0);
      a.Emit(opOperAdd);
    }
    if (append) {
      a.Emit(opStoreVar, 0);
      a.Emit(opPushVar, 0);
      a.PushString("!");
      a.Emit(opOperConcat);
      a.Emit(opStoreVar, 0);
      a.Emit(opPushVar, 0);
    }
    a.Emit(opRet);
    code_ = a.Code();
    machine_.Link(code_);
    tag_calls_ = 0;
  };
  const auto run = [&](int inputs = 0) {
    try {
      const std::vector<Variant> values(static_cast<std::size_t>(inputs), Variant(0));
      return machine_.ExecuteWithArguments("", values).ToString();
    } catch (const ScriptRuntimeError& e) {
      return e.Message().substr(0, 30);
    }
  };

  link("a", {1, 2});
  EXPECT_EQ(run(), "a<1><2>");
  EXPECT_EQ(run(), "a<1><2>");
  EXPECT_EQ(tag_calls_, 2);
  machine_.Relink(code_);  // Bound again to the same handler: the text stays.
  EXPECT_EQ(run(), "a<1><2>");
  EXPECT_EQ(tag_calls_, 2);
  // Tag defined again: bound again, the text is made by the new handler.
  define_tag(HostHandler::Of<&HostCallTest::SquareTag>(this), true);
  machine_.Relink(code_);
  EXPECT_EQ(run(), "a[1][2]");
  EXPECT_EQ(run(), "a[1][2]");
  EXPECT_EQ(tag_calls_, 4);
  // No longer pure: called on every run.
  define_tag(HostHandler::Of<&HostCallTest::Tag>(this), false);
  machine_.Relink(code_);
  EXPECT_EQ(run(), "a<1><2>");
  EXPECT_EQ(run(), "a<1><2>");
  EXPECT_EQ(tag_calls_, 8);
  define_tag(HostHandler::Of<&HostCallTest::Tag>(this), true);

  // The kept text's characters are shared, never changed in place by a
  // script that appends to a variable holding it.
  link("a", {1}, true);
  EXPECT_EQ(run(), "a<1>!");
  EXPECT_EQ(run(), "a<1>!");
  // A failing call fails on every run; nothing is kept.
  link("a", {-1});
  EXPECT_EQ(run(), "RUNTIME ERROR\r\nNo tag below 0");
  EXPECT_EQ(run(), "RUNTIME ERROR\r\nNo tag below 0");
  EXPECT_EQ(tag_calls_, 2);
  // With the stack nearly full (inputs take the room), the kept text fails
  // where its instructions fail, and succeeds where they succeed.
  for (int inputs = 2990; inputs <= 2998; ++inputs) {
    link("a", {1}, false, false);
    const std::string plain = run(inputs);
    link("a", {1});
    run();
    EXPECT_EQ(run(inputs), plain) << inputs;
  }
  // "1" + 0 adds numbers (a text read as a number): not kept.
  link("1", {0});
  EXPECT_EQ(run(), "1");
  EXPECT_EQ(run(), "1");
  EXPECT_EQ(tag_calls_, 2);
}

TEST_F(HostCallTest, PublishedPropertiesAreReadAndWrittenThroughTheirHandlers) {
  HostClass& entry = *classes_.FindHostClass("TDevice");
  int speed = entry.IndexOfProperty(entry.FindProperty("Speed"));
  int parity = entry.IndexOfProperty(entry.FindProperty("Parity"));
  test::Assembler a;
  a.Emit(opGlobalPrepare);
  a.Emit(opPrepare);
  a.PushString("19200,4");  // Read leniently: 19200.4 rounds to 19200.
  Instruction& write = a.Emit(opCallProc, 0);
  write.B = kPropertyWriteArgs;
  write.Y = PackMemberReference(class_index_, speed, kMemberPropertyWrite);
  a.PushString("even");
  Instruction& write_parity = a.Emit(opCallProc, 0);
  write_parity.B = kPropertyWriteArgs;
  write_parity.Y = PackMemberReference(class_index_, parity, kMemberPropertyWrite);
  Instruction& read = a.Emit(opCallProc, 0);
  read.Y = PackMemberReference(class_index_, speed, kMemberPropertyRead);
  a.Emit(opPushOutput, 0);
  a.Emit(opRet);
  code_ = a.Code();
  machine_.Link(code_);
  EXPECT_EQ(machine_.Execute("", Variant::Null()).RawInteger(), 19200);
  EXPECT_EQ(device_.speed, 19200);
  EXPECT_EQ(device_.parity, 2);
}

TEST_F(HostCallTest, LateBoundCallsFindMembersByNameOnTheObjectsClass) {
  HostClass& entry = *classes_.FindHostClass("TDevice");
  HostMethod* self = entry.RegisterMethod(
      "Self", 0, false, HostHandler::Of<&HostCallTest::Self>(this), nullptr, vkClass);
  int self_index = entry.IndexOfMethod(self);
  // Device.Self().<name>(5), or Null.<name>(5)
  auto run = [&](const char* name, bool with_object) {
    test::Assembler a;
    a.Emit(opGlobalPrepare);
    a.Emit(opPrepare);
    if (with_object) {
      a.Emit(opCallProc, 0).Y = PackMemberReference(class_index_, self_index, kMemberMethodCall);
      a.Emit(opPushOutput, 0);
    } else {
      a.Emit(opPushConst).B = 2;
    }
    a.Emit(opPushInteger, 5);
    Instruction& call = a.Emit(opCallProc, -1);
    call.B = 1;
    call.Y = kMemberMethodCall;
    call.S = name;
    a.Emit(opPushOutput, 0);
    a.Emit(opRet);
    code_ = a.Code();
    machine_.Link(code_);
    return machine_.Execute("", Variant::Null());
  };
  EXPECT_EQ(run("PROBE", true).RawInteger(), 1);
  EXPECT_EQ(as_integer_, 5);
  EXPECT_EQ(object_, &device_);
  auto error_of = [&](const char* name, bool with_object) -> std::string {
    try {
      run(name, with_object);
    } catch (const ScriptRuntimeError& e) {
      return e.Message();
    }
    return "no error";
  };
  // Late-bound failures name the call like any runtime error.
  EXPECT_EQ(error_of("Nope", true),
            "RUNTIME ERROR\r\nUnknown method: 'Nope' when evaluating instruction CallProc "
            "($FFFFFFFF,$1,$0,$3,'Nope').\r\nStack content is: [Null,5,(object)].\r\nSource "
            "position: 0,0");
  EXPECT_EQ(
      error_of("Probe", false)
          .rfind("RUNTIME ERROR\r\nObject or Record required to access method: 'Probe' when", 0),
      0u);
  EXPECT_EQ(error_of("Self", true).find("Too many parameters for method 'Self'. Expected 0"),
            std::string("RUNTIME ERROR\r\n").size());
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// Class references, casts, `is`, class methods and `with` objects.
class ClassOpcodeTest : public ::testing::Test {
 protected:
  ClassOpcodeTest() {
    machine_.SetHost(&binding_);
    device_entry_ = &classes_.RegisterHostClass(&TDevice::kClassInfo);
    classes_.RegisterHostClass(&TModem::kClassInfo);
    objects_.Add("Device", &device_, device_entry_);
    HostMethod* make = device_entry_->RegisterMethod(
        "Make", 0, true, HostHandler::Of<&ClassOpcodeTest::Make>(this), nullptr, vkClass);
    make_ = PackMemberReference(classes_.IndexOf(device_entry_), device_entry_->IndexOfMethod(make),
                                kMemberMethodCall);
    HostMethod* me = device_entry_->RegisterMethod(
        "Me", 0, false, HostHandler::Of<&ClassOpcodeTest::Me>(this), nullptr, vkClass);
    me_ = PackMemberReference(classes_.IndexOf(device_entry_), device_entry_->IndexOfMethod(me),
                              kMemberMethodCall);
    HostProperty* speed = device_entry_->FindProperty("Speed");
    speed_ = PackMemberReference(classes_.IndexOf(device_entry_),
                                 device_entry_->IndexOfProperty(speed), kMemberPropertyRead);
  }

  // A class method: reports the class it was called on and returns the modem.
  void Make(VirtualMachine& m) {
    called_on_ = m.CurrentClass();
    m.SetResult(Variant::Object(&modem_));
  }

  void Me(VirtualMachine& m) { m.SetResult(Variant::Object(m.CurrentObject())); }

  std::string Run(const std::function<void(test::Assembler&)>& body, int locals = 1) {
    test::Assembler a;
    a.Emit(opGlobalPrepare);
    a.Emit(opPrepare, locals);
    body(a);
    a.Emit(opRet);
    code_ = a.Code();
    try {
      machine_.Link(code_);
      Variant result = machine_.Execute("", Variant::Null());
      return result.IsNull() ? "Null" : result.ToString();
    } catch (const Exception& e) {
      return e.Message();
    }
  }

  // Pushes the modem through the class method TDevice.Make.
  void PushModem(test::Assembler& a) {
    Instruction& make = a.Emit(opCallClassProc, classes_.IndexOf(device_entry_));
    make.Y = make_;
    make.S = "Make";
    a.Emit(opPushOutput, 0);
  }

  HostClasses classes_;
  ScriptObjects objects_;
  RegistryBinding binding_{&classes_, &objects_};
  VirtualMachine machine_;
  InstructionList code_;
  TDevice device_;
  TModem modem_;
  HostClass* device_entry_ = nullptr;
  HostClass* called_on_ = nullptr;
  int32_t make_ = 0;
  int32_t me_ = 0;
  int32_t speed_ = 0;
};

TEST_F(ClassOpcodeTest, IsTestsTheClassAndItsAncestors) {
  auto is = [&](const char* class_name) {
    return Run([&](test::Assembler& a) {
      PushModem(a);
      a.Emit(opPushClass).S = class_name;
      a.Emit(opOperIs);
    });
  };
  EXPECT_EQ(is("TModem"), "True");
  EXPECT_EQ(is("tdevice"), "True");
  EXPECT_EQ(is("TObject"), "True");
  EXPECT_EQ(called_on_, device_entry_);
  EXPECT_EQ(Run([](test::Assembler& a) {
              a.Emit(opPushInteger, 1);
              a.Emit(opPushClass).S = "TDevice";
              a.Emit(opOperIs);
            }),
            "False");
  EXPECT_NE(is("TNothing").find("Invalid class reference 'TNothing'"), std::string::npos);
}

TEST_F(ClassOpcodeTest, CastChecksTheObjectsClass) {
  // Pushes the modem, the default instance (a plain device) or nil, casts it
  // to `class_name` and leaves 7.
  auto cast = [&](const char* class_name, int which) {
    return Run([&](test::Assembler& a) {
      if (which == 0) {
        PushModem(a);
      } else if (which == 1) {
        a.Emit(opCallProc, 0).Y = me_;
        a.Emit(opPushOutput, 0);
      } else {
        a.Emit(opPushConst).B = 4;  // nil
      }
      a.Emit(opCastClass).S = class_name;
      a.Emit(opStoreVar, 0);
      a.Emit(opPushInteger, 7);
    });
  };
  EXPECT_EQ(cast("TDevice", 0), "7");
  EXPECT_EQ(cast("TModem", 0), "7");
  EXPECT_NE(cast("TModemX", 0).find("Invalid type cast. Class 'TModemX' is not valid"),
            std::string::npos);
  EXPECT_NE(cast("TDevice", 2).find("Invalid object to type cast (nil)"), std::string::npos);
  EXPECT_NE(cast("TModem", 1).find("Object is not of expected class 'TModem'"), std::string::npos);
}

TEST_F(ClassOpcodeTest, WithObjectReplacesTheDefaultInstanceForOneCall) {
  modem_.speed = 57600;
  std::string speed = Run([&](test::Assembler& a) {
    PushModem(a);
    a.Emit(opStoreVar, 0);
    a.Emit(opWithObject, 0);
    a.Emit(opCallProc, 0).Y = speed_;
    a.Emit(opPushOutput, 0);
    // The next call reads the default instance again.
    a.Emit(opCallProc, 0).Y = speed_;
    a.Emit(opPushOutput, 0);
    a.Emit(opOperConcat);
  });
  EXPECT_EQ(speed, "576009600");
}

}  // namespace
}  // namespace vantrel
