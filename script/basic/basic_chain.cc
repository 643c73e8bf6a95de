// Chains of names: `a`, `f(x)`, `obj.Items[i].Name`, `TList.Create()`.
// Each element is resolved in a fixed order (variable, script routine,
// property, method, class reference, type cast, constant) and compiled by
// its kind; what it leaves on the stack is the object the next element is
// a member of.
#include <string>

#include "base/ascii.h"
#include "base/format.h"
#include "script/basic/basic_compiler.h"
#include "script/host/host_class.h"
#include "script/host/host_classes.h"
#include "script/host/script_objects.h"
#include "script/syntax/syntax_parser.h"
#include "script/values/class_info.h"

namespace vantrel {
namespace {

bool Matched(const NonTerminalNode& node) { return node.End() >= node.Start(); }

constexpr int kMaxArguments = 254;

// The constants scripts name without declaring them, as opPushConst's B.
int ConstantIndex(std::string_view name) {
  static constexpr std::string_view kConstants[] = {"TRUE", "FALSE", "NULL", "EMPTY", "NOTHING"};
  for (int i = 0; i < 5; ++i) {
    if (EqualsIgnoreCase(kConstants[i], name)) return i;
  }
  return -1;
}

}  // namespace

void BasicCompiler::EnterElement(NonTerminalNode& node) {
  ElementFrame frame;
  frame.chain_start = node.Parent()->RuleIndex() != node.RuleIndex();
  if (!frame.chain_start) frame.context = last_chain_;
  frames_.push_back(frame);
}

void BasicCompiler::ExitElement(NonTerminalNode&) { frames_.pop_back(); }

// Called when the element's arguments and indexes are on the stack.
void BasicCompiler::CompileElement(NonTerminalNode& code_node) {
  const NonTerminalNode& node = *code_node.Parent();
  Element e;
  e.node = &node;
  e.name = node.Child(0).Text();
  e.position = node.Start();
  const NonTerminalNode& args = node.Child(1);
  e.has_parens = Matched(args);
  e.argc = args.ChildCount();
  e.indexes = node.Child(2).ChildCount();
  // Counts travel in one byte of the instruction.
  if (e.argc > kMaxArguments || e.indexes > kMaxArguments) {
    Fail(Format("Too many parameters for method '%s'. Expected %d parameters",
                {e.name, kMaxArguments}),
         e.position);
  }
  e.followed = node.ChildCount() > 4;
  const int rule = node.RuleIndex();
  if (e.followed || rule == rules_.data_val) {
    e.use = Use::kRead;
  } else {
    e.use = rule == rules_.call ? Use::kStatement : Use::kStore;
  }
  e.want_class = e.followed;
  if (!e.followed && rule == rules_.data_val) {
    const NonTerminalNode* top = &node;
    while (top->Parent()->RuleIndex() == rule) top = top->Parent();
    e.want_class = top->Parent()->RuleIndex() == rules_.with_obj;
  }
  const ElementFrame& frame = frames_.back();
  e.context = frame.context;
  e.ref_mask = frame.ref_mask;
  last_chain_ = ChainContext{ChainKind::kLateBound, nullptr, false};
  if (frame.chain_start) {
    CompileChainStart(e);
  } else {
    CompileMember(e);
  }
}

void BasicCompiler::CompileChainStart(Element& e) {
  VariableRef ref;
  if (!e.has_parens && FindVariable(e.name, ref)) return CompileVariable(e, ref);
  if (const RoutineInfo* routine = KnownRoutine(e.name)) return CompileRoutineCall(e, *routine);
  for (auto with = withs_.rbegin(); with != withs_.rend(); ++with) {
    if (HostProperty* property = with->cls->FindProperty(e.name)) {
      return CompileProperty(e, *with->cls, *property, -1, with->slot, false);
    }
  }
  HostProperty* property = nullptr;
  int instance = DefaultInstanceWith(e.name, &property, nullptr);
  if (instance >= 0) {
    return CompileProperty(e, *DefaultClass(instance), *property, instance, -1, false);
  }
  HostMethod* method = nullptr;
  instance = DefaultInstanceWith(e.name, nullptr, &method);
  if (instance >= 0) return CompileMethod(e, *DefaultClass(instance), *method, instance, false);
  if (HostClass* cls = classes_.FindHostClass(e.name)) return CompileClassReference(e, *cls);
  const int constant = e.has_parens ? -1 : ConstantIndex(e.name);
  if (constant >= 0) {
    if (e.use == Use::kStore) {
      Fail(Format("Cannot assign a value to constant '%s'", {e.name}), e.position);
    }
    Emit(opPushConst, e.position).B = static_cast<uint8_t>(constant);
    return;
  }
  if (e.use == Use::kStore && !e.has_parens) return CompileImplicitStore(e);
  if (e.has_parens || e.use == Use::kStatement) {
    Fail(Format("Unknown method or routine: '%s'", {e.name}), e.position);
  }
  Fail(Format("Unknown identifier or variable is not declared: '%s'", {e.name}), e.position);
}

int BasicCompiler::DefaultInstanceWith(std::string_view name, HostProperty** property,
                                       HostMethod** method) const {
  const ScriptObjects& objects = context_.DefaultInstances();
  for (int i = objects.Count() - 1; i >= 0; --i) {
    HostClass* cls = objects.At(i).ClassEntry;
    if (cls == nullptr) continue;
    if (property != nullptr && (*property = cls->FindProperty(name)) != nullptr) return i;
    if (method != nullptr && (*method = cls->FindMethod(name)) != nullptr) return i;
  }
  return -1;
}

HostClass* BasicCompiler::DefaultClass(int instance) const {
  return context_.DefaultInstances().At(instance).ClassEntry;
}

BasicCompiler::VariableRef BasicCompiler::ForVariable(std::string_view name, int position) {
  VariableRef ref;
  if (FindVariable(name, ref)) return ref;
  if (FindRoutine(name) >= 0)
    Fail(Format("Assign to routine '%s' is not allowed", {name}), position);
  HostProperty* property = nullptr;
  for (const WithEntry& with : withs_) {
    if (property == nullptr) property = with.cls->FindProperty(name);
  }
  if (property != nullptr || DefaultInstanceWith(name, &property, nullptr) >= 0) {
    Fail(Format("Property '%s' cannot be used as a for loop variable", {name}), position);
  }
  HostMethod* method = nullptr;
  if (DefaultInstanceWith(name, nullptr, &method) >= 0) {
    Fail(Format("Assign to method '%s' is not allowed", {name}), position);
  }
  if (classes_.FindHostClass(name) != nullptr) {
    Fail(Format("Invalid use of class reference '%s'", {name}), position);
  }
  if (ConstantIndex(name) >= 0) {
    Fail(Format("Cannot assign a value to constant '%s'", {name}), position);
  }
  return StoreTarget(name, position);
}

void BasicCompiler::CompileMember(Element& e) {
  if (e.context.kind == ChainKind::kObject) {
    HostClass& cls = *e.context.cls;
    if (HostProperty* property = cls.FindProperty(e.name)) {
      return CompileProperty(e, cls, *property, -1, -1, false);
    }
    if (HostMethod* method = cls.FindMethod(e.name))
      return CompileMethod(e, cls, *method, -1, false);
    Fail(Format(e.has_parens ? "Unknown member method: '%s'" : "Unknown member identifier: '%s'",
                {e.name}),
         e.position);
  }
  if (e.context.kind == ChainKind::kClassRef) {
    // Through a class only its class members are reachable.
    HostClass& cls = *e.context.cls;
    if (HostProperty* property = cls.FindProperty(e.name)) {
      if (!property->IsClassProperty) {
        Fail(Format("Object required to access member: '%s'", {e.name}), e.position);
      }
      return CompileProperty(e, cls, *property, -1, -1, true);
    }
    if (HostMethod* method = cls.FindMethod(e.name)) {
      if (!method->IsClassMethod) {
        Fail(Format("Object required to access member method: '%s'", {e.name}), e.position);
      }
      return CompileMethod(e, cls, *method, -1, true);
    }
    Fail(Format(e.has_parens ? "Unknown member method: '%s'" : "Unknown member identifier: '%s'",
                {e.name}),
         e.position);
  }
  CompileLateBound(e);
}

int BasicCompiler::WholeArgumentIndex(const Element& e) const {
  if (e.has_parens || e.indexes > 0 || e.followed || e.node->RuleIndex() != rules_.data_val) {
    return -1;
  }
  const NonTerminalNode& expression = *e.node->Parent();
  if (expression.RuleIndex() != rules_.expression || expression.ChildCount() != 1) return -1;
  const NonTerminalNode& args = *expression.Parent();
  if (args.RuleIndex() != rules_.arg_list) return -1;
  for (int i = 0; i < args.ChildCount(); ++i) {
    if (&args.Child(i) == &expression) return i;
  }
  return -1;
}

void BasicCompiler::CompileVariable(Element& e, const VariableRef& ref) {
  if (e.use == Use::kStatement) {
    Fail(Format("Variable '%s' cannot be called as a function or routine", {e.name}), e.position);
  }
  last_chain_.plain_variable = true;
  if (e.use == Use::kStore) return EmitStore(ref, e.indexes, e.name, e.position);
  if (e.indexes > 0) {
    Instruction& push = Emit(ref.global ? opPushGlobalIdxVar : opPushIdxVar, e.position);
    push.A = ref.slot;
    push.B = static_cast<uint8_t>(e.indexes);
    return;
  }
  const int argument = WholeArgumentIndex(e);
  if (argument < 0) return EmitPushVariable(ref, e.position);
  // A variable that is a whole argument goes by reference, so that a byref
  // parameter or a host method can write to it.
  Emit(ref.global ? opPushGlobalVarByRef : opPushVarByRef, e.position).A = ref.slot;
  if (frames_.size() < 2) return;
  ElementFrame& call = frames_[frames_.size() - 2];
  if (argument < 32) call.ref_mask |= 1u << argument;
  call.ref_pushes.emplace_back(argument, Here() - 1);
}

void BasicCompiler::PassByValue(int argument) {
  for (const auto& [passed, at] : frames_.back().ref_pushes) {
    if (passed != argument) continue;
    Instruction& push = code_.Instructions[static_cast<size_t>(at)];
    push.Op = push.Op == opPushGlobalVarByRef ? opPushGlobalVar : opPushVar;
  }
}

void BasicCompiler::CheckArguments(const Element& e, int expected, uint32_t by_ref_mask,
                                   const char* not_enough, const char* too_many,
                                   const char* by_ref) {
  if (e.argc < expected) Fail(Format(not_enough, {e.name, expected}), e.position);
  if (e.argc > expected) Fail(Format(too_many, {e.name, expected}), e.position);
  const uint32_t passed = e.argc >= 32 ? ~0u : (1u << e.argc) - 1;
  if ((by_ref_mask & passed & ~e.ref_mask) != 0) Fail(Format(by_ref, {e.name}), e.position);
}

void BasicCompiler::CompileRoutineCall(Element& e, const RoutineInfo& routine) {
  if (e.use == Use::kStore) {
    Fail(Format("Assign to routine '%s' is not allowed", {e.name}), e.position);
  }
  if (e.indexes > 0) Fail("Call indexation as an array is not supported", e.position);
  CheckArguments(e, routine.ArgCount, routine.ByRefArgMask,
                 "Not enough actual parameters for subroutine '%s'. Expected %d parameters",
                 "Too many parameters for subroutine '%s'. Expected %d parameters",
                 "Subroutine '%s' expects variable reference");
  // A by-value parameter is the routine's own copy: a variable passed to it
  // goes as its value, so that neither a later change of the variable shows
  // through the parameter nor a change of the parameter reaches the
  // variable.
  for (int i = 0; i < routine.ArgCount; ++i) {
    if (routine.Variables[static_cast<size_t>(i)].Modifier != moVar) PassByValue(i);
  }
  if (enclosing_ != nullptr) {
    Instruction& call = Emit(opCall, e.position);
    call.A = routine.Entry;
    call.F = kFlagEnclosingEntry;
  } else {
    EmitJump(opCall, RoutineLabel(routine.Name), e.position);
  }
  Last().B = static_cast<uint8_t>(e.argc);
  Last().S = routine.Name;
  if (e.use != Use::kRead) return;
  // A sub leaves nothing in the output slot; its value is Null, as when a
  // routine that leaves nothing is run by name.
  if (routine.IsFunction) {
    Emit(opPushOutput, e.position).A = 0;
  } else {
    Emit(opPushConst, e.position).B = 2;
  }
}

void BasicCompiler::CompileMethod(Element& e, HostClass& cls, HostMethod& method, int instance,
                                  bool on_class) {
  if (e.use == Use::kStore) {
    Fail(Format("Assign to method '%s' is not allowed", {e.name}), e.position);
  }
  if (e.indexes > 0) Fail("Method indexation as an array is not supported", e.position);
  if (!method.Handler) Fail(Format("Method '%s' was not defined", {e.name}), e.position);
  // A host method gets a variable as a reference and any other expression
  // as a value; a method that must write to its argument says so when it
  // runs (SetByRefArg: "Method expects argument %d as variable reference").
  CheckArguments(e, method.ArgCount, 0,
                 "Not enough actual parameters for method '%s'. Expected %d parameters",
                 "Too many parameters for method '%s'. Expected %d parameters", nullptr);
  if (e.use == Use::kRead && method.ResultKind == vkNone) {
    Fail(Format("Method '%s' not result any value", {e.name}), e.position);
  }
  const int member = cls.IndexOfMethod(&method);
  ChainContext next{ChainKind::kLateBound, nullptr, false};
  if (e.want_class) {
    next = ResultContext(e, cls, member, true, method.ResultKind, method.ResultClass);
  }
  const int class_index = classes_.IndexOf(&cls);
  Instruction& call = Emit(on_class ? opCallClassProc : opCallProc, e.position);
  call.A = on_class ? class_index : instance;
  call.B = static_cast<uint8_t>(e.argc);
  call.Y = PackMemberReference(class_index, member, kMemberMethodCall);
  call.S = std::string(e.name);
  if (e.has_parens) call.F = kFlagCalledAsMethod;
  if (e.use == Use::kRead) Emit(opPushOutput, e.position).A = 0;
  last_chain_ = next;
}

void BasicCompiler::CompileProperty(Element& e, HostClass& cls, HostProperty& property,
                                    int instance, int with_slot, bool on_class) {
  if (e.indexes != property.IndexCount) {
    Fail(Format("Invalid array indexing for property '%s'. Expected %d dimensions",
                {e.name, property.IndexCount}),
         e.position);
  }
  if (e.argc > 0) Fail(Format("Property '%s' cannot be called as a method", {e.name}), e.position);
  const bool store = e.use == Use::kStore;
  if (store && !property.Setter) {
    Fail(Format("Property '%s' cannot be written", {e.name}), e.position);
  }
  if (!store && !property.Getter) {
    Fail(Format("Property '%s' cannot be readed", {e.name}), e.position);
  }
  const int member = cls.IndexOfProperty(&property);
  ChainContext next{ChainKind::kLateBound, nullptr, false};
  if (e.want_class) {
    next = ResultContext(e, cls, member, false, property.Kind, property.PropertyClass);
  }
  if (with_slot >= 0) Emit(opWithObject, e.position).A = with_slot;
  const int class_index = classes_.IndexOf(&cls);
  Instruction& call = Emit(on_class ? opCallClassProc : opCallProc, e.position);
  call.A = on_class ? class_index : instance;
  call.N = e.indexes;
  call.S = std::string(e.name);
  if (store) {
    // A class call takes the value as its one argument; an instance call
    // marks the write with B = 255.
    call.B = on_class ? 1 : kPropertyWriteArgs;
    call.Y = PackMemberReference(class_index, member, kMemberPropertyWrite);
    return;
  }
  call.Y = PackMemberReference(class_index, member, kMemberPropertyRead);
  if (e.use == Use::kRead) Emit(opPushOutput, e.position).A = 0;
  last_chain_ = next;
}

BasicCompiler::ChainContext BasicCompiler::ResultContext(const Element& e, HostClass& owner,
                                                         int member_index, bool is_method,
                                                         ValueKind kind,
                                                         const ClassInfo* result_class) {
  if (kind == vkClass && result_class != nullptr && !run_time_members_) {
    HostClass* entry = classes_.FindHostClass(result_class->name);
    if (entry == nullptr || entry->ClassRef() == nullptr) {
      const int owner_index = classes_.IndexOf(&owner);
      entry = &classes_.RegisterHostClass(result_class, {}, context_.PublishedKinds());
      code_.ClassRefs.push_back(ClassRef{owner_index, member_index, is_method});
    }
    return ChainContext{ChainKind::kObject, entry, false};
  }
  if (kind != vkClass && kind != vkVariant && e.followed) {
    Fail(Format("Method '%s' not result an object", {e.name}), e.position);
  }
  return ChainContext{ChainKind::kLateBound, nullptr, false};
}

void BasicCompiler::CompileClassReference(Element& e, HostClass& cls) {
  const bool cast = e.has_parens && e.argc == 1;
  if (e.use == Use::kStore || e.use == Use::kStatement || e.indexes > 0 ||
      (e.has_parens && !cast)) {
    Fail(Format("Invalid use of class reference '%s'", {e.name}), e.position);
  }
  const int class_index = classes_.IndexOf(&cls);
  if (cast) {
    // The argument is the value itself, never a reference to a variable.
    PassByValue(0);
    Instruction& check = Emit(opCastClass, e.position);
    check.S = cls.Name();
    check.A = class_index;
    last_chain_ = ChainContext{ChainKind::kObject, &cls, false};
    return;
  }
  // Members of the class are called on the class itself, which needs no
  // value on the stack.
  if (!e.followed) {
    Instruction& push = Emit(opPushClass, e.position);
    push.S = cls.Name();
    push.A = class_index;
  }
  last_chain_ = ChainContext{ChainKind::kClassRef, &cls, false};
}

void BasicCompiler::CompileLateBound(Element& e) {
  Instruction& call = Emit(opCallProc, e.position);
  call.A = -1;
  call.N = e.indexes;
  call.S = std::string(e.name);
  if (e.has_parens) call.F = kFlagCalledAsMethod;
  if (e.use == Use::kStore) {
    if (e.argc > 0) {
      Fail(Format("Property '%s' cannot be called as a method", {e.name}), e.position);
    }
    call.B = kPropertyWriteArgs;
    call.Y = kMemberPropertyWrite;
    return;
  }
  call.B = static_cast<uint8_t>(e.argc);
  if (e.use == Use::kStatement) {
    call.Y = kMemberMethodCall;
    return;
  }
  call.Y = kMemberPropertyRead;
  Emit(opPushOutput, e.position).A = 0;
}

void BasicCompiler::CompileImplicitStore(Element& e) {
  const VariableRef ref = StoreTarget(e.name, e.position);
  last_chain_.plain_variable = true;
  EmitStore(ref, e.indexes, e.name, e.position);
}

}  // namespace vantrel
