// The code generator of the Basic dialect: the handlers the syntax parser
// calls while it walks the tree of a parsed script.
//
// BasicScript attaches the handlers (Attach) to a parser holding the Basic
// grammar, parses, and walks the tree with a fresh BasicCompiler; each
// handler emits instructions into the CompiledCode and fills its routine and
// variable tables. Errors are raised as CompileError at the line and column
// of the node being compiled.
//
// Code shape: instruction 0 is opGlobalPrepare, then (when the script has
// routines) a jump to the main program, the routines, each starting with
// opPrepare and ending with opRet, and last the main program, compiled as a
// function whose result variable is "Main". Hidden variables start with "#",
// so no script name can reach them. Frame code (enclosing_routine.h) is one
// routine only: its opPrepare, its statements and opRet.
#ifndef VANTREL_SCRIPT_BASIC_BASIC_COMPILER_H_
#define VANTREL_SCRIPT_BASIC_BASIC_COMPILER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/basic/code_labels.h"
#include "script/basic/compile_context.h"
#include "script/basic/enclosing_routine.h"
#include "script/machine/script_info.h"
#include "script/syntax/syntax_node.h"
#include "script/values/value_kind.h"

namespace vantrel {

class HostClass;
class HostMethod;
class HostProperty;
class SyntaxParser;

// The numbers of the grammar rules the compiler tells apart.
struct BasicRules {
  explicit BasicRules(const SyntaxParser& parser);
  int call, data_val, data_ref, arg_list, expression, until, step, forward, byref, function,
      case_rule, case_branch, case_test, finally_rule, exit_sub, exit_function, exit_do, exit_for,
      with_obj, id;
};

class BasicCompiler {
 public:
  // `enclosing`, when set, makes the script frame code running inside that
  // routine.
  BasicCompiler(SyntaxParser& parser, const BasicRules& rules, CompileContext& context,
                CompiledCode& code, const EnclosingRoutine* enclosing);
  BasicCompiler(const BasicCompiler&) = delete;
  BasicCompiler& operator=(const BasicCompiler&) = delete;

  // Sets the enter and exit handlers of the Basic grammar's rules on
  // `parser` so that they call the compiler `*target` points at while the
  // tree is walked.
  static void Attach(SyntaxParser& parser, BasicCompiler* const* target);

  // After the walk: resolves the calls of routines that were only
  // prototyped ("Unknown method ou subroutine: '%s'").
  void Finish();

  [[noreturn]] void Fail(const std::string& text, int position) const;

 private:
  // What the chain compiled so far leaves for the member after ".".
  enum class ChainKind : uint8_t {
    kNone,       // Nothing: the element starts a chain.
    kObject,     // An object of a class known now.
    kLateBound,  // A value whose class is known only when running.
    kClassRef,   // A class reference: only class members follow.
  };
  struct ChainContext {
    ChainKind kind = ChainKind::kNone;
    HostClass* cls = nullptr;
    bool plain_variable = false;  // The element was a variable.
  };
  // How a chain element is used.
  enum class Use : uint8_t {
    kRead,       // Its value is wanted (expressions, and before ".").
    kStatement,  // The last element of a call statement.
    kStore,      // The last element of an assignment's target.
  };
  // One chain element being compiled.
  struct Element {
    const NonTerminalNode* node = nullptr;
    std::string_view name;
    int position = 0;
    Use use = Use::kRead;
    bool has_parens = false;  // An argument list in parentheses, maybe empty.
    int argc = 0;
    int indexes = 0;
    bool followed = false;    // A member follows after ".".
    bool want_class = false;  // The class of its value matters (a member or a with follows).
    ChainContext context;
    uint32_t ref_mask = 0;
  };
  struct ElementFrame {
    ChainContext context;
    bool chain_start = true;
    uint32_t ref_mask = 0;  // Bit i: argument i was passed as a reference.
    // The pushes of the arguments passed as references: (argument,
    // instruction number).
    std::vector<std::pair<int, int>> ref_pushes;
  };
  struct OperatorEntry {
    Opcode op;
    int8_t precedence;  // -1 marks the start of an expression.
    int label;          // Short evaluation: defined after the operator.
    int position;       // Where the operator stands, for runtime messages.
  };
  struct Loop {
    int kind = 0;  // 0 none, 1 for, 2 while or do-test-at-top, 3 do-test-at-end.
    int end_label = -1;
  };
  // A variable a name resolved to.
  struct VariableRef {
    int index = -1;  // In the routine's variables or in the globals.
    bool global = false;
    bool by_ref = false;  // A byref argument.
    int slot = 0;
  };
  struct IfControl {
    int else_label;
    int end_label;
    bool has_alternative;
  };
  struct ForControl {
    int number = 0;
    const NonTerminalNode* variable = nullptr;
    const NonTerminalNode* step = nullptr;
    int loop_label = -1;
    Loop saved_loop;
    VariableRef counter;
  };
  struct CaseControl {
    int number;
    int selector_slot;
    int end_label;
    int next_branch_label;  // Where the last failing test of a branch goes.
    int match_label;
  };
  struct WithEntry {
    int slot;
    HostClass* cls;
  };

  // ---- Program structure (basic_compiler.cc). ----
  void EnterProgram(NonTerminalNode& node);
  void ExitProgram(NonTerminalNode& node);
  void EnterUsesDefault(NonTerminalNode& node) { EnterUses(node, true); }
  void EnterImports(NonTerminalNode& node) { EnterUses(node, false); }
  void EnterUses(NonTerminalNode& node, bool as_default);
  void EnterSub(NonTerminalNode& node) { EnterRoutine(node, false); }
  void EnterFunction(NonTerminalNode& node) { EnterRoutine(node, true); }
  void EnterRoutine(NonTerminalNode& node, bool is_function);
  void ExitRoutine(NonTerminalNode& node);
  void EnterMain(NonTerminalNode& node);
  void BeginRoutine(std::string name, bool is_function, int position, bool prototype);
  void DeclareArguments(const NonTerminalNode& inputargs);
  int FindRoutine(std::string_view name) const;
  // The routine a call of `name` enters: one of this script's, or of the
  // enclosing script's for frame code; null when there is none.
  const RoutineInfo* KnownRoutine(std::string_view name) const;
  // Frame code (basic_frame_code.cc): the block's routine, holding the
  // enclosing routine's variables at their slots.
  void BeginFrameCode(int position);
  void EnterVarDecl(NonTerminalNode& node);
  void EnterGlobalDecl(NonTerminalNode& node);
  void DeclareVariables(const NonTerminalNode& node, bool global);

  // ---- Variables. ----
  RoutineInfo& Routine() { return code_.Info.Routines[static_cast<size_t>(routine_)]; }
  bool FindVariable(std::string_view name, VariableRef& ref);
  VariableRef DeclareLocal(std::string_view name, int position, ArgumentModifier modifier,
                           int arg_index);
  VariableRef HiddenLocal(const std::string& name, int position);
  VariableRef StoreTarget(std::string_view name, int position);
  void EmitStore(const VariableRef& ref, int indexes, std::string_view name, int position);
  bool FuseStore(const VariableRef& ref, std::string_view name);
  void EmitPushVariable(const VariableRef& ref, int position);

  // ---- Expressions. ----
  void EnterExpression(NonTerminalNode& node);
  void ExitExpression(NonTerminalNode& node);
  void EnterOperator(NonTerminalNode& node);
  void EnterUnary(NonTerminalNode& node);
  void EmitOperator(const OperatorEntry& entry);
  void EnterReal(NonTerminalNode& node);
  void EnterHex(NonTerminalNode& node);
  void EnterString(NonTerminalNode& node);
  void ExitVector(NonTerminalNode& node);
  void EmitNumber(std::string_view text, int position, bool by_value);

  // ---- Statements (basic_statements.cc). ----
  void EnterIf(NonTerminalNode& node);
  void EnterThen(NonTerminalNode& node);
  void ExitThen(NonTerminalNode& node);
  void ExitIf(NonTerminalNode& node);
  void EnterFor(NonTerminalNode& node);
  void ExitForControl(NonTerminalNode& node);
  void ExitFor(NonTerminalNode& node);
  void EnterWhileLoop(NonTerminalNode& node);
  void ExitWhileTest(NonTerminalNode& node);
  void ExitWhileLoop(NonTerminalNode& node);
  void EnterRepeatLoop(NonTerminalNode& node);
  void ExitRepeatTest(NonTerminalNode& node);
  void ExitRepeatLoop(NonTerminalNode& node);
  void EnterCase(NonTerminalNode& node);
  void ExitCaseExpr(NonTerminalNode& node);
  void EnterCaseBranch(NonTerminalNode& node);
  void ExitCaseTest(NonTerminalNode& node);
  bool FuseTest(int selector_slot);
  void EnterCaseMatch(NonTerminalNode& node);
  void ExitCaseMatch(NonTerminalNode& node);
  void ExitCase(NonTerminalNode& node);
  void EnterTry(NonTerminalNode& node);
  void EnterTryUpshot(NonTerminalNode& node);
  void ExitTryUpshot(NonTerminalNode& node);
  void EnterExit(NonTerminalNode& node);
  void EnterWith(NonTerminalNode& node);
  void ExitWithObject(NonTerminalNode& node);
  void ExitWith(NonTerminalNode& node);

  // ---- Chains of names (basic_chain.cc). ----
  void EnterElement(NonTerminalNode& node);
  void ExitElement(NonTerminalNode& node);
  void CompileElement(NonTerminalNode& code_node);
  void CompileChainStart(Element& e);
  void CompileMember(Element& e);
  void CompileVariable(Element& e, const VariableRef& ref);
  void CompileRoutineCall(Element& e, const RoutineInfo& routine);
  void CompileMethod(Element& e, HostClass& cls, HostMethod& method, int instance, bool on_class);
  void CompileProperty(Element& e, HostClass& cls, HostProperty& property, int instance,
                       int with_slot, bool on_class);
  void CompileClassReference(Element& e, HostClass& cls);
  void CompileLateBound(Element& e);
  void CompileImplicitStore(Element& e);
  // The default instance, last attached first, whose class has a property
  // (when `property` is given) or a method (when `method` is) of that name;
  // sets the member. -1 when none has.
  int DefaultInstanceWith(std::string_view name, HostProperty** property,
                          HostMethod** method) const;
  HostClass* DefaultClass(int instance) const;
  // The control variable of a for loop: a variable, or a new local as an
  // assignment would declare it. A name that is something else gives the
  // error an assignment to it gives (a property, which the loop cannot
  // step, is refused as well).
  VariableRef ForVariable(std::string_view name, int position);
  // Checks the argument count, and that every argument of `by_ref_mask`
  // is a variable (`by_ref` names the fault; unused for an empty mask).
  void CheckArguments(const Element& e, int expected, uint32_t by_ref_mask, const char* not_enough,
                      const char* too_many, const char* by_ref);
  // Turns the push of argument `argument` of the element being compiled
  // back into a push of the variable's value, when it was pushed as a
  // reference.
  void PassByValue(int argument);
  // The context after a member whose value is an object of `result_class`
  // (or of a class not known) of kind `kind`; registers the result class.
  ChainContext ResultContext(const Element& e, HostClass& owner, int member_index, bool is_method,
                             ValueKind kind, const ClassInfo* result_class);
  // The argument position of a data_val that is a whole argument of a call
  // by itself, or -1.
  int WholeArgumentIndex(const Element& e) const;

  // ---- Emitting. ----
  Instruction& Emit(Opcode op, int position);
  Instruction& Emit(Opcode op);
  int Here() const { return static_cast<int>(code_.Instructions.size()); }
  void EmitJump(Opcode op, int label, int position);
  void DefineLabel(int label);
  // True when the last instruction may be replaced by a fused one.
  bool CanFuse() const { return Here() > fusion_barrier_; }
  Instruction& Last() { return code_.Instructions.back(); }

  SyntaxParser& parser_;
  const BasicRules& rules_;
  CompileContext& context_;
  CompiledCode& code_;
  HostClasses& classes_;
  CodeLabels labels_;
  // Routine labels by name (upper-cased), made when first called or declared.
  std::vector<std::pair<std::string, int>> routine_labels_;
  int RoutineLabel(std::string_view name);

  const EnclosingRoutine* enclosing_;  // Set when compiling frame code.
  // Frame code: the variables of its routine that belong to the enclosing
  // frame (the routine's own and the fillers up to its free slot).
  int inherited_ = 0;

  const bool short_eval_;
  const bool explicit_declaration_;
  const bool run_time_members_;

  int routine_ = -1;  // Index in code_.Info.Routines of the routine being compiled.
  int routine_end_label_ = -1;
  int prepare_ = -1;  // Its opPrepare.
  bool main_jump_emitted_ = false;
  // A label (or the start of a try part) stands at this instruction number,
  // so the instruction before it is never replaced by a fused one.
  int fusion_barrier_ = 1;

  std::vector<ElementFrame> frames_;
  ChainContext last_chain_;  // What the last element compiled left.
  std::vector<OperatorEntry> operators_;
  Loop loop_;
  std::vector<Loop> saved_loops_;
  std::vector<int> loop_starts_;  // Labels of the while and do loops' starts.
  std::vector<IfControl> ifs_;
  std::vector<ForControl> fors_;
  std::vector<CaseControl> cases_;
  std::vector<int> tries_;
  std::vector<WithEntry> withs_;
  int for_counter_ = 0;
  int case_counter_ = 0;
  int with_depth_ = 0;
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_BASIC_COMPILER_H_
