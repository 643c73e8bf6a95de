#include "script/basic/basic_compiler.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/ascii.h"
#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/host/host_classes.h"
#include "script/syntax/syntax_parser.h"

namespace vantrel {
namespace {

// Variables of one routine, and globals, must fit the machine's stack; the
// arguments of a routine its guard zone below a frame.
constexpr size_t kMaxVariables = 2900;
constexpr int kMaxArgumentsDeclared = 254;
// The hidden routine the main program is compiled as; no script routine may
// take its name.
constexpr char kMainName[] = "___MAIN___";
constexpr char kMainResult[] = "Main";

// Operator text (without the blank a word operator may end with) to opcode
// and precedence; lower numbers bind tighter.
bool OperatorOf(std::string_view text, Opcode& op, int8_t& precedence) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  struct Entry {
    std::string_view text;
    Opcode op;
    int8_t precedence;
  };
  static constexpr Entry kOperators[] = {
      {"^", opOperExp, 1},   {"is", opOperIs, 1},   {"*", opOperMul, 2},     {"/", opOperSlash, 2},
      {"div", opOperDiv, 2}, {"mod", opOperMod, 2}, {"and", opOperAnd, 2},   {"shl", opOperShl, 2},
      {"shr", opOperShr, 2}, {"+", opOperAdd, 3},   {"&", opOperConcat, 3},  {"-", opOperSub, 3},
      {"or", opOperOr, 3},   {"xor", opOperXor, 3}, {"<>", opOperNE, 4},     {">=", opOperGE, 4},
      {"<=", opOperLE, 4},   {"=", opOperEqual, 4}, {">", opOperGreater, 4}, {"<", opOperLess, 4},
  };
  for (const Entry& entry : kOperators) {
    if (EqualsIgnoreCase(entry.text, text)) {
      op = entry.op;
      precedence = entry.precedence;
      return true;
    }
  }
  return false;
}

}  // namespace

BasicRules::BasicRules(const SyntaxParser& p)
    : call(p.RuleIndex("call")),
      data_val(p.RuleIndex("data_val")),
      data_ref(p.RuleIndex("data_ref")),
      arg_list(p.RuleIndex("arg_list")),
      expression(p.RuleIndex("expression")),
      until(p.RuleIndex("until")),
      step(p.RuleIndex("step")),
      forward(p.RuleIndex("forward")),
      byref(p.RuleIndex("byref")),
      function(p.RuleIndex("function")),
      case_rule(p.RuleIndex("case")),
      case_branch(p.RuleIndex("case_branch")),
      case_test(p.RuleIndex("case_test")),
      finally_rule(p.RuleIndex("finally")),
      exit_sub(p.RuleIndex("exit_sub")),
      exit_function(p.RuleIndex("exit_function")),
      exit_do(p.RuleIndex("exit_do")),
      exit_for(p.RuleIndex("exit_for")),
      with_obj(p.RuleIndex("with_obj")),
      id(p.RuleIndex("id")) {}

BasicCompiler::BasicCompiler(SyntaxParser& parser, const BasicRules& rules, CompileContext& context,
                             CompiledCode& code, const EnclosingRoutine* enclosing)
    : parser_(parser),
      rules_(rules),
      context_(context),
      code_(code),
      classes_(context.Classes()),
      enclosing_(enclosing),
      short_eval_(context.ShortBooleanEval()),
      explicit_declaration_(context.ExplicitDeclaration()),
      run_time_members_(context.ResolveMembersAtRunTime()) {
  // About one instruction per eight characters of source.
  code_.Instructions.reserve(parser.InputText().size() / 8 + 16);
}

void BasicCompiler::Attach(SyntaxParser& parser, BasicCompiler* const* target) {
  using Member = void (BasicCompiler::*)(NonTerminalNode&);
  const auto on = [&parser, target](std::string_view rule, Member enter, Member exit) {
    const int index = parser.RuleIndex(rule);
    if (enter != nullptr) {
      parser.SetOnEnter(index,
                        [target, enter](NonTerminalNode& node) { ((*target)->*enter)(node); });
    }
    if (exit != nullptr) {
      parser.SetOnExit(index, [target, exit](NonTerminalNode& node) { ((*target)->*exit)(node); });
    }
  };
  on("program", &BasicCompiler::EnterProgram, &BasicCompiler::ExitProgram);
  on("uses", &BasicCompiler::EnterUsesDefault, nullptr);
  on("imports", &BasicCompiler::EnterImports, nullptr);
  on("subroutine", &BasicCompiler::EnterSub, &BasicCompiler::ExitRoutine);
  on("function", &BasicCompiler::EnterFunction, &BasicCompiler::ExitRoutine);
  on("main", &BasicCompiler::EnterMain, &BasicCompiler::ExitRoutine);
  on("vardecl", &BasicCompiler::EnterVarDecl, nullptr);
  on("globaldecl", &BasicCompiler::EnterGlobalDecl, nullptr);
  for (const char* rule : {"call", "data_val", "data_ref"}) {
    on(rule, &BasicCompiler::EnterElement, &BasicCompiler::ExitElement);
  }
  for (const char* rule : {"call_code", "data_val_code", "data_ref_code"}) {
    on(rule, nullptr, &BasicCompiler::CompileElement);
  }
  on("expression", &BasicCompiler::EnterExpression, &BasicCompiler::ExitExpression);
  on("operator", &BasicCompiler::EnterOperator, nullptr);
  on("unary", &BasicCompiler::EnterUnary, nullptr);
  on("real", &BasicCompiler::EnterReal, nullptr);
  on("hex", &BasicCompiler::EnterHex, nullptr);
  on("string", &BasicCompiler::EnterString, nullptr);
  on("vector", nullptr, &BasicCompiler::ExitVector);
  on("if", &BasicCompiler::EnterIf, &BasicCompiler::ExitIf);
  on("elseif", &BasicCompiler::EnterIf, &BasicCompiler::ExitIf);
  on("then", &BasicCompiler::EnterThen, &BasicCompiler::ExitThen);
  on("for", &BasicCompiler::EnterFor, &BasicCompiler::ExitFor);
  on("for_control", nullptr, &BasicCompiler::ExitForControl);
  on("whileend", &BasicCompiler::EnterWhileLoop, &BasicCompiler::ExitWhileLoop);
  on("whileend_expr", nullptr, &BasicCompiler::ExitWhileTest);
  on("test_loop", &BasicCompiler::EnterWhileLoop, &BasicCompiler::ExitWhileLoop);
  on("test_loop_expr", nullptr, &BasicCompiler::ExitWhileTest);
  on("loop_test", &BasicCompiler::EnterRepeatLoop, &BasicCompiler::ExitRepeatLoop);
  on("loop_test_expr", nullptr, &BasicCompiler::ExitRepeatTest);
  on("case", &BasicCompiler::EnterCase, &BasicCompiler::ExitCase);
  on("case_expr", nullptr, &BasicCompiler::ExitCaseExpr);
  on("case_branch", &BasicCompiler::EnterCaseBranch, nullptr);
  on("case_test", nullptr, &BasicCompiler::ExitCaseTest);
  on("case_match", &BasicCompiler::EnterCaseMatch, &BasicCompiler::ExitCaseMatch);
  on("try", &BasicCompiler::EnterTry, nullptr);
  on("try_upshot", &BasicCompiler::EnterTryUpshot, &BasicCompiler::ExitTryUpshot);
  on("exit", &BasicCompiler::EnterExit, nullptr);
  on("with", &BasicCompiler::EnterWith, &BasicCompiler::ExitWith);
  on("with_obj", nullptr, &BasicCompiler::ExitWithObject);
}

void BasicCompiler::Fail(const std::string& text, int position) const {
  const LineColumn place = parser_.LineColumnOf(position > 0 ? position : 1);
  throw CompileError(text, place.Line, place.Column);
}

// ---- Emitting. ----

Instruction& BasicCompiler::Emit(Opcode op, int position) {
  Instruction& instruction = code_.Instructions.emplace_back();
  instruction.Op = op;
  instruction.P = position;
  return instruction;
}

Instruction& BasicCompiler::Emit(Opcode op) { return Emit(op, parser_.CurrentPosition()); }

void BasicCompiler::EmitJump(Opcode op, int label, int position) {
  Emit(op, position);
  labels_.Use(label, code_.Instructions, Here() - 1);
}

void BasicCompiler::DefineLabel(int label) {
  labels_.Define(label, code_.Instructions, Here());
  fusion_barrier_ = Here();
}

int BasicCompiler::RoutineLabel(std::string_view name) {
  for (const auto& [routine, label] : routine_labels_) {
    if (EqualsIgnoreCase(routine, name)) return label;
  }
  const int label = labels_.Create(std::string(name));
  routine_labels_.emplace_back(std::string(name), label);
  return label;
}

void BasicCompiler::Finish() {
  const int label = labels_.FirstUnresolved();
  if (label < 0) return;
  const int use = labels_.FirstUse(label);
  Fail(Format("Unknown method ou subroutine: '%s'", {labels_.Name(label)}),
       code_.Instructions[static_cast<size_t>(use)].P);
}

// ---- Program structure. ----

void BasicCompiler::EnterProgram(NonTerminalNode& node) {
  code_.Info.MainRoutineName = kMainName;
  const int position = node.Start() > 0 ? node.Start() : 1;
  // Frame code's block begins before its declarations, which declare its
  // own variables.
  if (enclosing_ != nullptr) return BeginFrameCode(position);
  Emit(opGlobalPrepare, position);
}

void BasicCompiler::ExitProgram(NonTerminalNode&) {
  if (enclosing_ != nullptr) return;
  code_.Instructions.front().A = static_cast<int32_t>(code_.Info.Globals.size());
}

void BasicCompiler::EnterUses(NonTerminalNode& node, bool as_default) {
  parser_.SetSkipChildren(true);
  for (const NonTerminalNode* child : node.Children()) {
    const std::string name(child->Text());
    try {
      context_.UseLibrary(name, as_default);
    } catch (const CompileError&) {
      throw;  // A library's own compile error, at its own position, already reported.
    } catch (const SilentError&) {
      throw;  // The library's compile error was turned into a silent abort.
    } catch (const Exception& error) {
      Fail(error.Message(), child->Start());  // "Library '%s' not found", at the name.
    }
    code_.UsedUnits.push_back(UsedUnit{name, as_default});
  }
}

int BasicCompiler::FindRoutine(std::string_view name) const {
  const RoutinesInfo& routines = code_.Info.Routines;
  for (size_t i = 0; i < routines.size(); ++i) {
    if (EqualsIgnoreCase(routines[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

void BasicCompiler::EnterRoutine(NonTerminalNode& node, bool is_function) {
  if (enclosing_ != nullptr) {
    Fail(Format("Routine '%s' cannot be declared in interpreted code", {node.Child(0).Text()}),
         node.Child(0).Start());
  }
  if (!main_jump_emitted_) {
    main_jump_emitted_ = true;
    EmitJump(opJump, RoutineLabel(code_.Info.MainRoutineName), node.Start());
  }
  const NonTerminalNode& label = node.Child(0);
  const std::string_view name = label.Text();
  // The main program is a routine of this name; another would take over
  // the start of the program.
  if (EqualsIgnoreCase(name, code_.Info.MainRoutineName)) {
    Fail(Format("Routine name '%s' is reserved for the main program", {name}), label.Start());
  }
  const bool prototype = node.ChildCount() > 2 && node.Child(2).RuleIndex() == rules_.forward;
  int previous = FindRoutine(name);
  if (previous >= 0) {
    RoutineInfo& old = code_.Info.Routines[static_cast<size_t>(previous)];
    if (prototype) Fail(Format("Illegal redeclaration of routine '%s'", {name}), label.Start());
    if (old.Entry >= 0) {
      Fail(Format("Illegal reimplementation of routine '%s'.\r\nUse forward clause for prototyping",
                  {name}),
           label.Start());
    }
    old.Name = "#" + old.Name;
  }
  BeginRoutine(std::string(name), is_function, label.Start(), prototype);
  DeclareArguments(node.Child(1));
  if (is_function) {
    Routine().ResultIndex = DeclareLocal(name, label.Start(), moNone, -1).index;
  }
  if (previous >= 0) {
    const RoutineInfo& old = code_.Info.Routines[static_cast<size_t>(previous)];
    const RoutineInfo& now = Routine();
    if (old.ArgCount != now.ArgCount || old.ByRefArgMask != now.ByRefArgMask ||
        old.IsFunction != now.IsFunction) {
      Fail(Format("Implementation of routine '%s' differs from previous declaration", {name}),
           label.Start());
    }
  }
}

void BasicCompiler::BeginRoutine(std::string name, bool is_function, int position, bool prototype) {
  RoutineInfo& routine = code_.Info.Routines.emplace_back();
  routine.Name = std::move(name);
  routine.IsFunction = is_function;
  routine_ = static_cast<int>(code_.Info.Routines.size()) - 1;
  routine_end_label_ = labels_.Create();
  loop_ = Loop{};
  if (prototype) return;
  DefineLabel(RoutineLabel(routine.Name));
  routine.Entry = Here();
  prepare_ = Here();
  Emit(opPrepare, position).S = routine.Name;
}

void BasicCompiler::DeclareArguments(const NonTerminalNode& inputargs) {
  int count = 0;
  uint32_t mask = 0;
  for (const NonTerminalNode* argument : inputargs.Children()) {
    const NonTerminalNode& id = argument->Child(argument->ChildCount() - 1);
    const bool by_ref = argument->RuleIndex() == rules_.byref;
    DeclareLocal(id.Text(), id.Start(), by_ref ? moVar : moNone, count);
    if (by_ref && count < 32) mask |= 1u << count;
    ++count;
  }
  Routine().ArgCount = count;
  Routine().ByRefArgMask = mask;
}

void BasicCompiler::EnterMain(NonTerminalNode& node) {
  if (enclosing_ != nullptr) return;  // Begun with the program.
  BeginRoutine(code_.Info.MainRoutineName, true, node.Start() > 0 ? node.Start() : 1, false);
  Routine().ResultIndex = DeclareLocal(kMainResult, node.Start(), moNone, -1).index;
}

void BasicCompiler::ExitRoutine(NonTerminalNode& node) {
  if (routine_ < 0) return;
  RoutineInfo& routine = Routine();
  if (routine.Entry >= 0) {
    DefineLabel(routine_end_label_);
    if (enclosing_ != nullptr) {
      // Frame code leaves no value and reserves only its own variables.
      code_.Instructions[static_cast<size_t>(prepare_)].A =
          static_cast<int32_t>(routine.Variables.size()) - inherited_;
    } else {
      if (routine.IsFunction) Emit(opPushVar, node.End()).A = routine.SlotOf(routine.ResultIndex);
      code_.Instructions[static_cast<size_t>(prepare_)].A = routine.LocalCount();
    }
    Emit(opRet, node.End());
  }
  routine_ = -1;
}

void BasicCompiler::EnterVarDecl(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  DeclareVariables(node, false);
}

void BasicCompiler::EnterGlobalDecl(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  // In the declaration part every form declares globals; among statements
  // public and private do, dim declares locals.
  const bool global = node.Parent() == &parser_.Root() ||
                      ToLowerAscii(node.Text().empty() ? ' ' : node.Text()[0]) == 'p';
  DeclareVariables(node, global);
}

void BasicCompiler::DeclareVariables(const NonTerminalNode& node, bool global) {
  for (const NonTerminalNode* id : node.Children()) {
    const std::string_view name = id->Text();
    if (!global || enclosing_ != nullptr) {
      DeclareLocal(name, id->Start(), moNone, -1);
      continue;
    }
    if (code_.Info.FindGlobal(name) >= 0) {
      Fail(Format("Redeclaration of global identifier '%s'", {name}), id->Start());
    }
    if (code_.Info.Globals.size() >= kMaxVariables) Fail("Too many global variables", id->Start());
    VariableInfo& variable = code_.Info.Globals.emplace_back();
    variable.VarName = std::string(name);
    variable.DeclarationSourcePos = id->Start();
    variable.Global = true;
  }
}

// ---- Variables. ----

bool BasicCompiler::FindVariable(std::string_view name, VariableRef& ref) {
  if (routine_ >= 0) {
    const RoutineInfo& routine = Routine();
    const int index = routine.FindVariable(name);
    if (index >= 0) {
      const VariableInfo& info = routine.Variables[static_cast<size_t>(index)];
      ref = VariableRef{index, false, info.Modifier == moVar, routine.SlotOf(index)};
      return true;
    }
  }
  const int index = code_.Info.FindGlobal(name);
  if (index < 0) return false;
  ref = VariableRef{index, true, false, index};
  return true;
}

BasicCompiler::VariableRef BasicCompiler::DeclareLocal(std::string_view name, int position,
                                                       ArgumentModifier modifier, int arg_index) {
  RoutineInfo& routine = Routine();
  if (routine.FindVariable(name) >= 0) {
    Fail(Format("Redeclaration of identifier '%s'", {name}), position);
  }
  if (routine.Variables.size() >= kMaxVariables || arg_index >= kMaxArgumentsDeclared) {
    Fail(Format("Too many variables in routine '%s'", {routine.Name}), position);
  }
  VariableInfo& variable = routine.Variables.emplace_back();
  variable.VarName = std::string(name);
  variable.DeclarationSourcePos = position;
  variable.ArgIndex = arg_index;
  variable.Modifier = modifier;
  const int index = static_cast<int>(routine.Variables.size()) - 1;
  return VariableRef{index, false, modifier == moVar, routine.SlotOf(index)};
}

BasicCompiler::VariableRef BasicCompiler::HiddenLocal(const std::string& name, int position) {
  const RoutineInfo& routine = Routine();
  const int index = routine.FindVariable(name);
  if (index >= 0) return VariableRef{index, false, false, routine.SlotOf(index)};
  return DeclareLocal(name, position, moNone, -1);
}

BasicCompiler::VariableRef BasicCompiler::StoreTarget(std::string_view name, int position) {
  VariableRef ref;
  if (FindVariable(name, ref)) return ref;
  if (explicit_declaration_) Fail(Format("Undeclared variable '%s'", {name}), position);
  return DeclareLocal(name, position, moNone, -1);
}

void BasicCompiler::EmitStore(const VariableRef& ref, int indexes, std::string_view name,
                              int position) {
  Opcode op;
  if (indexes > 0) {
    op = ref.global ? opStoreGlobalIdxVar : ref.by_ref ? opStoreIdxVarRef : opStoreIdxVar;
  } else if (ref.global) {
    op = opStoreGlobalVar;
  } else {
    if (FuseStore(ref, name)) return;
    op = ref.by_ref ? opStoreVarRef : opStoreVar;
  }
  Instruction& store = Emit(op, position);
  store.A = ref.slot;
  store.B = static_cast<uint8_t>(indexes);
  store.S = std::string(name);
}

// A store right after the push of a constant or of a local becomes one
// instruction that stores the constant or copies the local.
bool BasicCompiler::FuseStore(const VariableRef& ref, std::string_view name) {
  if (!CanFuse()) return false;
  Instruction& last = Last();
  const bool r = ref.by_ref;
  switch (last.Op) {
    case opPushInteger:
      last.Op = r ? opStoreVarRefInteger : opStoreVarInteger;
      last.X = last.A;
      break;
    case opPushDouble:
      last.Op = r ? opStoreVarRefDouble : opStoreVarDouble;
      break;
    case opPushString:
      last.Op = r ? opStoreVarRefString : opStoreVarString;
      last.Y = static_cast<int32_t>(last.S.size());
      last.S.append(name);
      break;
    case opPushConst:
      last.Op = r ? opStoreVarRefConst : opStoreVarConst;
      break;
    case opPushVar:
      last.Op = r ? opCopyVarRef : opCopyVar;
      last.X = ref.slot;
      return true;
    default:
      return false;
  }
  last.A = ref.slot;
  return true;
}

void BasicCompiler::EmitPushVariable(const VariableRef& ref, int position) {
  Emit(ref.global ? opPushGlobalVar : opPushVar, position).A = ref.slot;
}

// ---- Expressions. ----

void BasicCompiler::EnterExpression(NonTerminalNode&) {
  operators_.push_back(OperatorEntry{opPrepare, -1, -1, 0});
}

void BasicCompiler::ExitExpression(NonTerminalNode&) {
  while (operators_.back().precedence >= 0) {
    EmitOperator(operators_.back());
    operators_.pop_back();
  }
  operators_.pop_back();
}

void BasicCompiler::EnterOperator(NonTerminalNode& node) {
  Opcode op = opOperAdd;
  int8_t precedence = 0;
  if (!OperatorOf(node.Text(), op, precedence)) Fail("Syntax error", node.Start());
  while (operators_.back().precedence >= 0 && operators_.back().precedence <= precedence) {
    EmitOperator(operators_.back());
    operators_.pop_back();
  }
  int label = -1;
  if (short_eval_ && (op == opOperOr || op == opOperAnd)) {
    // The left operand decides alone when it is true (or) or false (and):
    // jump over the right operand and the operator, leaving it as the value.
    label = labels_.Create();
    EmitJump(op == opOperOr ? opTestIfTrue : opTestIfFalse, label, node.Start());
  }
  operators_.push_back(OperatorEntry{op, precedence, label, node.Start()});
}

void BasicCompiler::EnterUnary(NonTerminalNode& node) {
  const char sign = node.Text().empty() ? '+' : node.Text()[0];
  if (sign == '-') operators_.push_back(OperatorEntry{opOperNeg, 0, -1, node.Start()});
  if (sign == 'n' || sign == 'N') {
    operators_.push_back(OperatorEntry{opOperNot, 0, -1, node.Start()});
  }
}

void BasicCompiler::EmitOperator(const OperatorEntry& entry) {
  Emit(entry.op, entry.position);
  if (entry.label >= 0) DefineLabel(entry.label);
}

void BasicCompiler::EnterReal(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  EmitNumber(node.Text(), node.Start(), false);
}

// Pushes the number written `text`: an integer when it is written without
// fraction and exponent (or, for a step, when its value is whole) and fits
// 32 bits, else a double.
void BasicCompiler::EmitNumber(std::string_view text, int position, bool by_value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::string digits(text);
  const double value = std::strtod(digits.c_str(), nullptr);
  const bool written_whole = digits.find_first_of(".eE") == std::string::npos;
  const bool whole = by_value ? value == std::trunc(value) : written_whole;
  if (whole && value >= -2147483648.0 && value <= 2147483647.0) {
    Emit(opPushInteger, position).A = static_cast<int32_t>(value);
  } else {
    Emit(opPushDouble, position).SetD(value);
  }
}

void BasicCompiler::EnterHex(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  uint32_t value = 0;
  for (const char c : node.Text().substr(2)) {
    const char lower = ToLowerAscii(c);
    const uint32_t digit =
        lower <= '9' ? static_cast<uint32_t>(lower - '0') : static_cast<uint32_t>(lower - 'a' + 10);
    value = (value << 4) | digit;
  }
  Emit(opPushInteger, node.Start()).A = static_cast<int32_t>(value);
}

void BasicCompiler::EnterString(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  std::string_view text = node.Text();
  text = text.substr(1, text.size() >= 2 ? text.size() - 2 : 0);
  std::string value;
  value.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    value.push_back(text[i]);
    if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') ++i;
  }
  Emit(opPushString, node.Start()).S = std::move(value);
}

void BasicCompiler::ExitVector(NonTerminalNode& node) {
  Emit(opArrayOf, node.Start()).A = node.ChildCount();
}

}  // namespace vantrel
