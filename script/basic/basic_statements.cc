// Statements: if, for, the while and do loops, select case, try, exit and
// with. Each construct keeps its labels on a stack of its own kind while its
// body is compiled, and the loops remember the enclosing loop for `exit`.
#include <string>

#include "script/basic/basic_compiler.h"
#include "script/host/host_class.h"
#include "script/syntax/syntax_parser.h"

namespace vantrel {
namespace {

// A node of an optional part that matched nothing.
bool Matched(const NonTerminalNode& node) { return node.End() >= node.Start(); }

}  // namespace

void BasicCompiler::EnterIf(NonTerminalNode& node) {
  const bool alternative = node.ChildCount() > 2;
  ifs_.push_back(IfControl{alternative ? labels_.Create() : -1, labels_.Create(), alternative});
}

void BasicCompiler::EnterThen(NonTerminalNode& node) {
  const IfControl& control = ifs_.back();
  EmitJump(opJumpIfFalse, control.has_alternative ? control.else_label : control.end_label,
           node.Start());
}

void BasicCompiler::ExitThen(NonTerminalNode& node) {
  const IfControl& control = ifs_.back();
  if (!control.has_alternative) return;
  EmitJump(opJump, control.end_label, node.End());
  DefineLabel(control.else_label);
}

void BasicCompiler::ExitIf(NonTerminalNode&) {
  DefineLabel(ifs_.back().end_label);
  ifs_.pop_back();
}

void BasicCompiler::EnterFor(NonTerminalNode& node) {
  ForControl control;
  control.number = ++for_counter_;
  control.variable = &node.Child(0).Child(0);
  control.step =
      node.ChildCount() > 1 && node.Child(1).RuleIndex() == rules_.step ? &node.Child(1) : nullptr;
  control.loop_label = labels_.Create();
  control.saved_loop = loop_;
  fors_.push_back(control);
  loop_ = Loop{1, labels_.Create()};
}

// The limit is on the stack above the start value: keep the limit, then
// test the start value, which the loop's increment replaces each round.
void BasicCompiler::ExitForControl(NonTerminalNode& node) {
  ForControl& control = fors_.back();
  const int position = node.Start();
  const std::string stop_name = "#ForStop" + std::to_string(control.number);
  const VariableRef stop = HiddenLocal(stop_name, position);
  EmitStore(stop, 0, stop_name, position);
  DefineLabel(control.loop_label);
  const std::string_view name = control.variable->Text();
  control.counter = ForVariable(name, control.variable->Start());
  EmitStore(control.counter, 0, name, position);
  EmitPushVariable(control.counter, position);
  EmitPushVariable(stop, position);
  const bool down = control.step != nullptr && control.step->Text().front() == '-';
  Emit(down ? opOperGE : opOperLE, position);
  EmitJump(opJumpIfFalse, loop_.end_label, position);
}

void BasicCompiler::ExitFor(NonTerminalNode& node) {
  const ForControl& control = fors_.back();
  const int position = node.End();
  if (control.step != nullptr) {
    EmitNumber(control.step->Text(), control.step->Start(), true);
  } else {
    Emit(opPushInteger, position).A = 1;
  }
  EmitPushVariable(control.counter, position);
  Emit(opOperAdd, position);
  EmitJump(opJump, control.loop_label, position);
  DefineLabel(loop_.end_label);
  loop_ = control.saved_loop;
  fors_.pop_back();
}

void BasicCompiler::EnterWhileLoop(NonTerminalNode&) {
  saved_loops_.push_back(loop_);
  loop_ = Loop{2, labels_.Create()};
  loop_starts_.push_back(labels_.Create());
  DefineLabel(loop_starts_.back());
}

void BasicCompiler::ExitWhileTest(NonTerminalNode& node) {
  const bool until = node.ChildCount() > 1 && node.Child(0).RuleIndex() == rules_.until;
  EmitJump(until ? opJumpIfTrue : opJumpIfFalse, loop_.end_label, node.End());
}

void BasicCompiler::ExitWhileLoop(NonTerminalNode& node) {
  EmitJump(opJump, loop_starts_.back(), node.End());
  DefineLabel(loop_.end_label);
  loop_starts_.pop_back();
  loop_ = saved_loops_.back();
  saved_loops_.pop_back();
}

void BasicCompiler::EnterRepeatLoop(NonTerminalNode&) {
  saved_loops_.push_back(loop_);
  loop_ = Loop{3, labels_.Create()};
  loop_starts_.push_back(labels_.Create());
  DefineLabel(loop_starts_.back());
}

void BasicCompiler::ExitRepeatTest(NonTerminalNode& node) {
  const bool until = node.Child(0).RuleIndex() == rules_.until;
  EmitJump(until ? opJumpIfFalse : opJumpIfTrue, loop_starts_.back(), node.End());
}

void BasicCompiler::ExitRepeatLoop(NonTerminalNode&) {
  DefineLabel(loop_.end_label);
  loop_starts_.pop_back();
  loop_ = saved_loops_.back();
  saved_loops_.pop_back();
}

void BasicCompiler::EnterCase(NonTerminalNode&) {
  cases_.push_back(CaseControl{++case_counter_, 0, labels_.Create(), -1, -1});
}

void BasicCompiler::ExitCaseExpr(NonTerminalNode& node) {
  CaseControl& control = cases_.back();
  const std::string name = "#Case" + std::to_string(control.number);
  const VariableRef selector = HiddenLocal(name, node.Start());
  EmitStore(selector, 0, name, node.Start());
  control.selector_slot = selector.slot;
}

void BasicCompiler::EnterCaseBranch(NonTerminalNode& node) {
  if (!Matched(node)) return;
  CaseControl& control = cases_.back();
  if (control.next_branch_label >= 0) {
    DefineLabel(control.next_branch_label);
    control.next_branch_label = -1;
  }
  control.match_label = labels_.Create();
}

// Each test compares the selector with its value: all but the last jump to
// the branch's statements when equal, the last to the next branch when not.
void BasicCompiler::ExitCaseTest(NonTerminalNode& node) {
  CaseControl& control = cases_.back();
  const NonTerminalNodes& siblings = node.Parent()->Children();
  bool last = true;
  for (size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i] == &node) {
      last = i + 1 == siblings.size() || siblings[i + 1]->RuleIndex() != rules_.case_test;
      break;
    }
  }
  int target = control.match_label;
  if (last) {
    control.next_branch_label = labels_.Create();
    target = control.next_branch_label;
  }
  const uint8_t outcome = last ? 0 : 1;
  if (!FuseTest(control.selector_slot)) {
    Emit(opVarTest, node.Start()).X = control.selector_slot;
  }
  Last().B = outcome;
  labels_.Use(target, code_.Instructions, Here() - 1);
}

bool BasicCompiler::FuseTest(int selector_slot) {
  if (!CanFuse()) return false;
  Instruction& last = Last();
  switch (last.Op) {
    case opPushInteger:
      last.Op = opVarTestInteger;
      last.Y = last.A;
      last.X = selector_slot;
      return true;
    case opPushDouble:
      last.Op = opVarTestDouble;
      last.N = selector_slot;
      return true;
    case opPushString:
      last.Op = opVarTestString;
      last.Y = static_cast<int32_t>(last.S.size());
      last.X = selector_slot;
      return true;
    case opPushVar:
      last.Op = opVarTestVar;
      last.Y = last.A;
      last.X = selector_slot;
      return true;
    default:
      return false;
  }
}

void BasicCompiler::EnterCaseMatch(NonTerminalNode&) { DefineLabel(cases_.back().match_label); }

void BasicCompiler::ExitCaseMatch(NonTerminalNode& node) {
  const NonTerminalNode& branch = *node.Parent();
  const NonTerminalNode& after = branch.Child(branch.ChildCount() - 1);
  if (after.RuleIndex() == rules_.case_branch && Matched(after)) {
    EmitJump(opJump, cases_.back().end_label, node.End());
  }
}

void BasicCompiler::ExitCase(NonTerminalNode&) {
  const CaseControl& control = cases_.back();
  if (control.next_branch_label >= 0) DefineLabel(control.next_branch_label);
  DefineLabel(control.end_label);
  cases_.pop_back();
}

void BasicCompiler::EnterTry(NonTerminalNode& node) {
  const bool except = node.Child(1).RuleIndex() != rules_.finally_rule;
  tries_.push_back(Here());
  Emit(except ? opTryExcept : opTryFinally, node.Start());
}

void BasicCompiler::EnterTryUpshot(NonTerminalNode&) {
  code_.Instructions[static_cast<size_t>(tries_.back())].A = Here();
  fusion_barrier_ = Here();
}

void BasicCompiler::ExitTryUpshot(NonTerminalNode&) {
  code_.Instructions[static_cast<size_t>(tries_.back())].X = Here();
  fusion_barrier_ = Here();
  tries_.pop_back();
}

void BasicCompiler::EnterExit(NonTerminalNode& node) {
  parser_.SetSkipChildren(true);
  const int kind = node.Child(0).RuleIndex();
  int target = -1;
  if (kind == rules_.exit_sub) {
    if (!Routine().IsFunction) target = routine_end_label_;
  } else if (kind == rules_.exit_function) {
    if (Routine().IsFunction) target = routine_end_label_;
  } else if (kind == rules_.exit_for) {
    if (loop_.kind == 1) target = loop_.end_label;
  } else if (loop_.kind == 2 || loop_.kind == 3) {
    target = loop_.end_label;
  }
  if (target < 0) Fail("Invalid EXIT", node.Start());
  EmitJump(opJump, target, node.Start());
  Last().S = "EXIT";
}

void BasicCompiler::EnterWith(NonTerminalNode&) { ++with_depth_; }

void BasicCompiler::ExitWithObject(NonTerminalNode& node) {
  if (last_chain_.kind != ChainKind::kObject) {
    if (last_chain_.plain_variable) {
      Fail("\"With\" clause is not supporting variables yet", node.Start());
    }
    Fail("Object or variable required in \"with\" clause", node.Start());
  }
  const std::string name = "#With" + std::to_string(with_depth_);
  const VariableRef ref = HiddenLocal(name, node.Start());
  Routine().Variables[static_cast<size_t>(ref.index)].DeclaredClassName = last_chain_.cls->Name();
  EmitStore(ref, 0, name, node.Start());
  withs_.push_back(WithEntry{ref.slot, last_chain_.cls});
}

void BasicCompiler::ExitWith(NonTerminalNode&) {
  withs_.pop_back();
  --with_depth_;
}

}  // namespace vantrel
