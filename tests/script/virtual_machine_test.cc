#include "script/machine/virtual_machine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

#include "script/errors/script_errors.h"
#include "script/host/host_classes.h"
#include "script/host/registry_binding.h"
#include "script/host/script_objects.h"
#include "script/machine/disassembler.h"
#include "script/values/tobject.h"
#include "script/values/variant_array.h"
#include "tests/script/assembler.h"

namespace vantrel {
namespace {

using test::Assembler;

class MachineTest : public ::testing::Test {
 protected:
  MachineTest() { machine_.SetHost(&binding_); }

  // Runs a main block with `locals` locals whose code `body` emits; the
  // block ends with opRet, so what the body leaves on the stack is the
  // result.
  Variant Evaluate(const std::function<void(Assembler&)>& body, int locals = 0) {
    code_ = Assembler();
    code_.Emit(opGlobalPrepare);
    code_.Emit(opPrepare, locals);
    body(code_);
    code_.Emit(opRet);
    machine_.Link(code_.Code());
    return machine_.Execute("", Variant::Null());
  }

  std::string ErrorOf(const std::function<void(Assembler&)>& body, int locals = 0) {
    try {
      Evaluate(body, locals);
    } catch (const Exception& error) {
      return error.Message();
    }
    return "no error";
  }

  // Runs the linked main block while another thread halts it.
  void RunUntilHaltedFromAnotherThread() {
    std::thread halter([this] {
      while (!machine_.IsRunning()) std::this_thread::yield();
      machine_.Halt();
    });
    EXPECT_NO_THROW(machine_.Execute("", Variant::Null()));
    halter.join();
  }

  HostClasses classes_;
  ScriptObjects objects_;
  RegistryBinding binding_{&classes_, &objects_};
  VirtualMachine machine_;
  Assembler code_;
};

// Pushes left and right and applies `op`.
std::function<void(Assembler&)> Binary(Variant left, Variant right, Opcode op) {
  return [=](Assembler& a) {
    auto push = [&](const Variant& v) {
      switch (v.Type()) {
        case VariantType::kInteger:
          a.Emit(opPushInteger, v.RawInteger());
          break;
        case VariantType::kDouble:
          a.PushDouble(v.RawDouble());
          break;
        case VariantType::kBoolean:
          a.Emit(opPushConst).B = v.RawBoolean() ? 0 : 1;
          break;
        default:
          a.PushString(v.ToString());
      }
    };
    push(left);
    push(right);
    a.Emit(op);
  };
}

TEST_F(MachineTest, OperatorsFollowTheirOwnConversionRules) {
  Variant quotient = Evaluate(Binary(7, 2, opOperSlash));
  EXPECT_EQ(quotient.Type(), VariantType::kDouble);
  EXPECT_EQ(quotient.RawDouble(), 3.5);
  EXPECT_EQ(Evaluate(Binary(7, 2, opOperDiv)).RawInteger(), 3);
  Variant product = Evaluate(Binary(2, 3, opOperMul));
  EXPECT_EQ(product.Type(), VariantType::kDouble);
  EXPECT_EQ(product.RawDouble(), 6.0);
  Variant either = Evaluate(Binary(true, false, opOperOr));
  EXPECT_EQ(either.Type(), VariantType::kInteger);
  EXPECT_EQ(either.RawInteger(), -1);
  EXPECT_EQ(Evaluate(Binary(1, 2, opOperAnd)).RawInteger(), 0);
  EXPECT_EQ(Evaluate(Binary("1", 2, opOperAdd)).ToDouble(), 3.0);
  EXPECT_EQ(Evaluate(Binary("1", 2, opOperConcat)).ToString(), "12");
  EXPECT_TRUE(Evaluate(Binary(1, 2, opOperLess)).RawBoolean());
}

TEST_F(MachineTest, NotIsLogicalOnTheRoundedValue) {
  Variant not_zero = Evaluate([](Assembler& a) {
    a.Emit(opPushInteger, 0);
    a.Emit(opOperNot);
  });
  EXPECT_EQ(not_zero.Type(), VariantType::kBoolean);
  EXPECT_TRUE(not_zero.RawBoolean());
  Variant not_five = Evaluate([](Assembler& a) {
    a.Emit(opPushInteger, 5);
    a.Emit(opOperNot);
  });
  EXPECT_FALSE(not_five.RawBoolean());
}

TEST_F(MachineTest, WritingIntoAStringPositionReplacesOneCharacter) {
  Variant text = Evaluate(
      [](Assembler& a) {
        a.PushString("abc");
        a.Emit(opStoreVar, 0);
        a.PushString("xy");
        a.Emit(opPushInteger, 2);
        a.Emit(opStoreIdxVar, 0).B = 1;
        a.Emit(opPushVar, 0);
      },
      1);
  EXPECT_EQ(text.ToString(), "axyc");
}

TEST_F(MachineTest, ArraysOfArraysTakeTheRemainingIndexes) {
  auto read = [](int first, int second) {
    return [=](Assembler& a) {
      a.Emit(opPushInteger, 1);
      a.Emit(opPushInteger, 2);
      a.Emit(opArrayOf, 2);
      a.Emit(opPushInteger, 3);
      a.Emit(opPushInteger, 4);
      a.Emit(opArrayOf, 2);
      a.Emit(opArrayOf, 2);
      a.Emit(opStoreVar, 0);
      a.Emit(opPushInteger, first);
      a.Emit(opPushInteger, second);
      a.Emit(opPushIdxVar, 0).B = 2;
    };
  };
  EXPECT_EQ(Evaluate(read(1, 0), 1).RawInteger(), 3);
  EXPECT_EQ(Evaluate(read(0, 1), 1).RawInteger(), 2);
  EXPECT_NE(ErrorOf(read(2, 0), 1).find("Variant or safe array index out of bounds"),
            std::string::npos);
}

TEST_F(MachineTest, IndexingANumberIsNotAnArray) {
  std::string error = ErrorOf(
      [](Assembler& a) {
        a.Emit(opStoreVarInteger, 0).X = 5;
        a.Emit(opPushInteger, 1);
        a.Emit(opPushIdxVar, 0).B = 1;
      },
      1);
  EXPECT_NE(error.find("Variable is not an array"), std::string::npos);
}

// main: r = twice(21)  with  function twice(a): twice = a * 2
TEST_F(MachineTest, FunctionResultIsReadAfterItsFrameIsReleased) {
  Assembler a;
  a.Emit(opGlobalPrepare);
  Instruction& jump = a.Emit(opJump);
  int twice = a.Here();
  a.Emit(opPrepare, 1).S = "twice";
  a.Emit(opPushVar, -1);
  a.Emit(opPushInteger, 2);
  a.Emit(opOperMul);
  a.Emit(opStoreVar, 0);
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  jump.A = a.Here();
  a.Emit(opPrepare, 1).S = "___MAIN___";
  a.Emit(opPushInteger, 21);
  a.Emit(opCall, twice).B = 1;
  a.Emit(opPushOutput, 0);
  a.Emit(opStoreVar, 0);
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  machine_.Link(a.Code());
  EXPECT_EQ(machine_.Execute("", Variant::Null()).ToDouble(), 42.0);
  // The routine can be run by name too, with its argument as input.
  EXPECT_EQ(machine_.Execute("TWICE", Variant(4)).ToDouble(), 8.0);
  EXPECT_THROW(machine_.Execute("thrice", Variant::Null()), ScriptRuntimeError);
}

// sub inc(byref x): x = x + 1;  main: v = 5: inc(v): by value: keep(v)
TEST_F(MachineTest, ReferenceArgumentsWriteThroughAndValueArgumentsDoNot) {
  Assembler a;
  a.Emit(opGlobalPrepare);
  Instruction& jump = a.Emit(opJump);
  int inc = a.Here();
  a.Emit(opPrepare, 0).S = "inc";
  a.Emit(opPushVar, -1);
  a.Emit(opPushInteger, 1);
  a.Emit(opOperAdd);
  a.Emit(opStoreVarRef, -1);
  a.Emit(opRet);
  int keep = a.Here();
  a.Emit(opPrepare, 0).S = "keep";
  a.Emit(opStoreVarInteger, -1).X = 99;
  a.Emit(opRet);
  jump.A = a.Here();
  a.Emit(opPrepare, 1).S = "___MAIN___";
  a.Emit(opStoreVarInteger, 0).X = 5;
  a.Emit(opPushVarByRef, 0);
  a.Emit(opCall, inc).B = 1;
  a.Emit(opPushVarByRef, 0);
  a.Emit(opCall, keep).B = 1;
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  machine_.Link(a.Code());
  EXPECT_EQ(machine_.Execute("", Variant::Null()).RawInteger(), 6);
}

TEST_F(MachineTest, ExceptPartConsumesTheErrorAndKeepsItAsLastError) {
  Variant result = Evaluate(
      [](Assembler& a) {
        Instruction& guard = a.Emit(opTryExcept);
        a.Emit(opPushInteger, 1);
        a.Emit(opPushInteger, 0);
        a.Emit(opOperDiv);
        a.Emit(opStoreVar, 0);
        guard.A = a.Here();
        a.PushString("caught");
        a.Emit(opStoreVar, 0);
        guard.X = a.Here();
        a.Emit(opPushVar, 0);
      },
      1);
  EXPECT_EQ(result.ToString(), "caught");
  EXPECT_EQ(machine_.GetLastError().Message, "Division by zero");
  EXPECT_EQ(machine_.GetLastError().ClassName, "DivisionByZeroError");
}

TEST_F(MachineTest, MachineErrorsBecomeTheLastErrorWithTheirOwnText) {
  Evaluate(
      [](Assembler& a) {
        Instruction& guard = a.Emit(opTryExcept);
        a.Emit(opStoreVarInteger, 0).X = 5;
        a.Emit(opPushInteger, 1);
        a.Emit(opPushIdxVar, 0).B = 1;
        guard.A = guard.X = a.Here();
      },
      1);
  EXPECT_EQ(machine_.GetLastError().Message, "Variable is not an array");
  EXPECT_EQ(machine_.GetLastError().ClassName, "ScriptRuntimeError");
}

TEST_F(MachineTest, FinallyPartRunsAndTheErrorGoesOn) {
  std::string error;
  code_.Emit(opGlobalPrepare, 1);
  code_.Emit(opPrepare, 0);
  Instruction& guard = code_.Emit(opTryFinally);
  code_.Emit(opPushInteger, 1);
  code_.Emit(opPushInteger, 0);
  code_.Emit(opOperMod);
  code_.Emit(opDrop2);
  guard.A = code_.Here();
  code_.PushString("cleaned");
  code_.Emit(opStoreGlobalVar, 0);
  guard.X = code_.Here();
  code_.Emit(opRet);
  machine_.Link(code_.Code());
  try {
    machine_.Execute("", Variant::Null());
  } catch (const ScriptRuntimeError& e) {
    error = e.Message();
  }
  EXPECT_EQ(error.rfind("RUNTIME ERROR\r\nDivision by zero when evaluating instruction OperMod", 0),
            0u)
      << error;
  EXPECT_EQ(machine_.Slot(0).ToString(), "cleaned");
  EXPECT_FALSE(machine_.IsRunning());
}

// A failing call with a text of a megabyte made a message of a megabyte,
// which went into the page's answer.
TEST_F(MachineTest, RuntimeErrorShowsTheStartOfLongValuesOnly) {
  std::string error = ErrorOf([](Assembler& a) {
    a.PushString(std::string(1 << 20, 'x'));
    a.Emit(opPushInteger, 7);
    a.Emit(opPushInteger, 0);
    a.Emit(opOperDiv);
  });
  EXPECT_NE(error.find("Stack content is: [7," + std::string(40, 'x') + "...]."), std::string::npos)
      << error.substr(0, 300);
  EXPECT_LT(error.size(), 400u);
}

TEST_F(MachineTest, RuntimeErrorNamesTheInstructionTheStackAndThePosition) {
  std::string error = ErrorOf([](Assembler& a) {
    a.PushString("abc");
    a.Emit(opPushInteger, 7);
    a.Emit(opPushInteger, 0);
    Instruction& div = a.Emit(opOperDiv);
    div.P = PackSourcePosition(3, 9);
    div.S = "x";
  });
  EXPECT_EQ(error,
            "RUNTIME ERROR\r\nDivision by zero when evaluating instruction OperDiv "
            "($0,$0,$0,$0,'x').\r\nStack content is: [7,abc].\r\nSource position: 3,9");
}

TEST_F(MachineTest, StackOverflowIsARuntimeErrorNotAWritePastTheStack) {
  std::string error = ErrorOf([](Assembler& a) {
    int loop = a.Here();
    a.Emit(opPushInteger, 1);
    a.Emit(opJump, loop);
  });
  EXPECT_EQ(
      error.rfind("RUNTIME ERROR\r\nStack overflow when evaluating instruction PushInteger", 0), 0u)
      << error;

  // sub f: f(): recursion that uses no stack slots at all.
  Assembler a;
  a.Emit(opGlobalPrepare);
  Instruction& jump = a.Emit(opJump);
  int f = a.Here();
  a.Emit(opPrepare).S = "f";
  a.Emit(opCall, f);
  a.Emit(opRet);
  jump.A = a.Here();
  a.Emit(opPrepare);
  a.Emit(opCall, f);
  a.Emit(opRet);
  machine_.Link(a.Code());
  EXPECT_THROW(machine_.Execute("", Variant::Null()), ScriptRuntimeError);
  EXPECT_FALSE(machine_.IsRunning());
}

TEST_F(MachineTest, HaltFromAnotherThreadEndsAnEndlessLoop) {
  code_.Emit(opGlobalPrepare);
  code_.Emit(opPrepare);
  int loop = code_.Here();
  code_.Emit(opJump, loop);
  machine_.Link(code_.Code());
  RunUntilHaltedFromAnotherThread();
  EXPECT_FALSE(machine_.IsRunning());
  EXPECT_FALSE(machine_.IsHalting());
}

// for i = 1 to 2 step 0 (endless), with `body` inside; local 0 is i, 1 the
// limit, 2 free for the body.
void EmitEndlessForLoop(Assembler& a, const std::function<void(Assembler&)>& body) {
  a.Emit(opGlobalPrepare, 1);
  a.Emit(opPrepare, 3);
  a.Emit(opPushInteger, 2);
  a.Emit(opStoreVar, 1);
  a.Emit(opPushInteger, 1);
  const int head = a.Here();
  a.Emit(opStoreVar, 0);
  a.Emit(opPushVar, 0);
  a.Emit(opPushVar, 1);
  a.Emit(opOperLE);
  Instruction& exit = a.Emit(opJumpIfFalse);
  body(a);
  a.Emit(opPushInteger, 0);
  a.Emit(opPushVar, 0);
  a.Emit(opOperAdd);
  a.Emit(opJump, head);
  exit.A = a.Here();
  a.Emit(opRet);
}

// The run loop keeps the stack top in a register while fused sequences
// run; a halt and the debug hook between them must still be seen, and the
// hook must see the stack as the sequences left it.
TEST_F(MachineTest, HaltAndTheDebugHookReachLoopsOfFusedSequences) {
  // Local `from` plus 1, stored by `store` into slot `to`.
  const auto add_one = [](int from, Opcode store, int to) {
    return [=](Assembler& a) {
      a.Emit(opPushVar, from);
      a.Emit(opPushInteger, 1);
      a.Emit(opOperAdd);
      a.Emit(store, to);
    };
  };
  // x = x + 1 in one fused sequence: the loop never leaves the fast steps.
  EmitEndlessForLoop(code_, add_one(2, opStoreVar, 2));
  machine_.Link(code_.Code());
  RunUntilHaltedFromAnotherThread();

  // limit + 1 pushed by a fused sequence, then stored by a plain
  // instruction.
  Assembler traced;
  EmitEndlessForLoop(traced, add_one(1, opStoreGlobalVar, 0));
  machine_.Link(traced.Code());
  int steps = 0;
  std::set<int> depths;  // Stack slots in use above the locals.
  machine_.SetOnDebugHook([&](VirtualMachine& m) {
    depths.insert(m.FreeSlot() - 3);
    if (++steps == 100) m.Halt();
  });
  machine_.SetDebugging(true);
  EXPECT_NO_THROW(machine_.Execute("", Variant::Null()));
  EXPECT_EQ(steps, 100);
  EXPECT_EQ(depths, (std::set<int>{0, 1}));
}

TEST_F(MachineTest, HaltWhileIdleDoesNotRefuseOrStopTheNextRun) {
  machine_.Halt();
  EXPECT_FALSE(machine_.IsHalting());
  EXPECT_EQ(Evaluate([](Assembler& a) { a.Emit(opPushInteger, 5); }).RawInteger(), 5);
}

TEST_F(MachineTest, GlobalsKeepTheirValueBetweenRuns) {
  Assembler a;
  a.Emit(opGlobalPrepare, 1);
  Instruction& jump = a.Emit(opJump);
  a.Emit(opPrepare).S = "remember";
  a.Emit(opPushVar, -1);
  a.Emit(opStoreGlobalVar, 0);
  a.Emit(opRet);
  jump.A = a.Here();
  a.Emit(opPrepare);
  a.Emit(opPushGlobalVar, 0);
  a.Emit(opRet);
  machine_.Link(a.Code());
  machine_.Execute("remember", Variant("kept"));
  EXPECT_EQ(machine_.Execute("", Variant::Null()).ToString(), "kept");
}

TEST_F(MachineTest, InputArraySpreadsIntoArgumentsAndSeveralResultsMakeAnArray) {
  // sub pair(a, b): leaves b and a on the stack.
  Assembler a;
  a.Emit(opGlobalPrepare);
  a.Emit(opJump, 6);
  a.Emit(opPrepare).S = "pair";
  a.Emit(opPushVar, -1);
  a.Emit(opPushVar, -2);
  a.Emit(opRet);
  a.Emit(opPrepare);
  a.Emit(opRet);
  machine_.Link(a.Code());
  Variant result = machine_.Execute("pair", Variant::ArrayOf({Variant(1), Variant("two")}));
  ASSERT_EQ(result.Type(), VariantType::kArray);
  ASSERT_EQ(result.ArrayValue().ElementCount(), 2u);
  EXPECT_EQ(result.ArrayValue().At({0}).ToString(), "two");
  EXPECT_EQ(result.ArrayValue().At({1}).RawInteger(), 1);
  EXPECT_TRUE(machine_.Execute("", Variant::Null()).IsNull());
}

TEST_F(MachineTest, LocalsStartUnassignedInEveryCall) {
  // function f: f = x: x = 7   (x a local; called twice)
  Assembler a;
  a.Emit(opGlobalPrepare);
  a.Emit(opJump, 8);
  a.Emit(opPrepare, 2).S = "f";
  a.Emit(opPushVar, 1);
  a.Emit(opStoreVar, 0);
  a.Emit(opStoreVarInteger, 1).X = 7;
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  a.Emit(opPrepare, 0);
  a.Emit(opCall, 2);
  a.Emit(opCall, 2);
  a.Emit(opPushOutput, 0);
  a.Emit(opRet);
  machine_.Link(a.Code());
  EXPECT_EQ(machine_.Execute("", Variant::Null()).Type(), VariantType::kUnassigned);
}

TEST_F(MachineTest, StringAppendToAVariableIsInPlaceAndCorrect) {
  // s = "": for 1000 times: s = s & "abc"
  Variant result = Evaluate(
      [](Assembler& a) {
        a.Emit(opStoreVarString, 0);
        a.Emit(opStoreVarInteger, 1).X = 0;
        int loop = a.Here();
        a.Emit(opPushVar, 0);
        a.PushString("abc");
        a.Emit(opOperConcat);
        a.Emit(opStoreVar, 0);
        a.Emit(opPushVar, 1);
        a.Emit(opPushInteger, 1);
        a.Emit(opOperAdd);
        a.Emit(opStoreVar, 1);
        a.Emit(opPushVar, 1);
        a.Emit(opPushInteger, 1000);
        a.Emit(opOperLess);
        a.Emit(opJumpIfTrue, loop);
        a.Emit(opPushVar, 0);
      },
      2);
  std::string text = result.ToString();
  EXPECT_EQ(text.size(), 3000u);
  EXPECT_EQ(text.substr(0, 6), "abcabc");
}

TEST_F(MachineTest, LinkingRejectsReferencesOutsideTheCode) {
  code_.Emit(opGlobalPrepare);
  code_.Emit(opPrepare);
  code_.Emit(opJump, 7);
  EXPECT_THROW(machine_.Link(code_.Code()), ScriptInternalError);
  Assembler slots;
  slots.Emit(opPushVar, 100000);
  EXPECT_THROW(machine_.Link(slots.Code()), ScriptInternalError);
}

// function f: try: f = 1: return: finally: g = "fin": end;  main: f() & g
TEST_F(MachineTest, ReturnInsideTryRunsTheFinallyPartThenGoesBackToTheCaller) {
  Assembler a;
  a.Emit(opGlobalPrepare, 1);
  a.Emit(opJump, 11);
  a.Emit(opPrepare, 1).S = "f";
  Instruction& guard = a.Emit(opTryFinally, 7);
  guard.X = 9;
  a.Emit(opStoreVarInteger, 0).X = 1;
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  a.PushString("fin");
  a.Emit(opStoreGlobalVar, 0);
  a.PushString("unreached");
  a.Emit(opRet);
  a.Emit(opPrepare);
  a.Emit(opCall, 2);
  a.Emit(opPushOutput, 0);
  a.Emit(opPushGlobalVar, 0);
  a.Emit(opOperConcat);
  a.Emit(opRet);
  machine_.Link(a.Code());
  EXPECT_EQ(machine_.Execute("", Variant::Null()).ToString(), "1fin");
}

// What a run leaves on the stack is let go when it ends, however high the
// run went: no dead slot keeps a value (a large string, say) until some
// later run happens to write over it.
TEST_F(MachineTest, EndOfRunLetsGoOfEverySlotTheRunUsed) {
  for (int depth : {10, 300, 600}) {
    Evaluate([depth](Assembler& a) {
      for (int i = 0; i < depth; ++i) a.PushString("held");
      for (int i = 0; i < depth / 2; ++i) a.Emit(opDrop2);
      a.Emit(opPushInteger, 0);
    });
    int held = 0;
    for (int slot = 0; slot < VirtualMachine::kStackSize; ++slot) {
      held += machine_.Slot(slot).IsNull() ? 0 : 1;
    }
    EXPECT_EQ(held, 0) << depth;
  }
}

TEST_F(MachineTest, StackShufflesKeepTheirOrder) {
  // 1 2 swap → 2 1; duplicate2 → 2 1 2 1; drop2 → 2 1; duplicate → 2 1 1;
  // concatenated: "211"
  Variant text = Evaluate([](Assembler& a) {
    a.Emit(opPushInteger, 1);
    a.Emit(opPushInteger, 2);
    a.Emit(opSwap2);
    a.Emit(opDuplicate2);
    a.Emit(opDrop2);
    a.Emit(opDuplicate);
    a.Emit(opOperConcat);
    a.Emit(opOperConcat);
  });
  EXPECT_EQ(text.ToString(), "211");
}

// select case x: case 1, 2: "low": case "z": "zed": case else "other"
TEST_F(MachineTest, VarTestsJumpOnTheirOutcome) {
  auto select = [&](const std::function<void(Assembler&)>& set_x) {
    return Evaluate(
               [&](Assembler& a) {
                 set_x(a);
                 Instruction& one = a.Emit(opVarTestInteger);  // equal 1 → match
                 one.X = 0;
                 one.Y = 1;
                 one.B = 1;
                 Instruction& two = a.Emit(opVarTestDouble);  // not equal 2 → next branch
                 two.N = 0;
                 two.SetD(2.0);
                 two.B = 0;
                 int low = a.Here();
                 a.PushString("low");
                 Instruction& to_end = a.Emit(opJump);
                 two.A = a.Here();
                 one.A = low;
                 Instruction& zed = a.Emit(opVarTestString);  // not equal "z" → else
                 zed.X = 0;
                 zed.S = "zx";
                 zed.Y = 1;
                 zed.B = 0;
                 a.PushString("zed");
                 Instruction& to_end2 = a.Emit(opJump);
                 zed.A = a.Here();
                 a.PushString("other");
                 to_end.A = to_end2.A = a.Here();
               },
               1)
        .ToString();
  };
  auto integer = [](int value) {
    return [value](Assembler& a) { a.Emit(opStoreVarInteger, 0).X = value; };
  };
  EXPECT_EQ(select(integer(1)), "low");
  EXPECT_EQ(select(integer(2)), "low");
  // A number tested against a text that is no number cannot be compared.
  EXPECT_THROW(select(integer(3)), ScriptRuntimeError);
  // Two locals holding equal texts.
  Variant same = Evaluate(
      [](Assembler& a) {
        a.PushString("a");
        a.Emit(opStoreVar, 0);
        a.PushString("a");
        a.Emit(opStoreVar, 1);
        Instruction& test = a.Emit(opVarTestVar);
        test.X = 0;
        test.Y = 1;
        test.B = 1;
        a.PushString("different");
        Instruction& end = a.Emit(opJump);
        test.A = a.Here();
        a.PushString("same");
        end.A = a.Here();
      },
      2);
  EXPECT_EQ(same.ToString(), "same");
}

TEST_F(MachineTest, TestIfJumpsKeepTheTopAndCopiesDereference) {
  // x = True: copy x to y: (y) and-skip: leaves True; stored constants.
  Variant kept = Evaluate(
      [](Assembler& a) {
        a.Emit(opStoreVarConst, 0).B = 0;  // x = True
        a.Emit(opCopyVar, 0).X = 1;        // y = x
        a.Emit(opPushVar, 1);
        Instruction& skip = a.Emit(opTestIfTrue);
        a.Emit(opPushInteger, 99);  // skipped
        skip.A = a.Here();
      },
      2);
  EXPECT_EQ(kept.Type(), VariantType::kBoolean);
  EXPECT_TRUE(kept.RawBoolean());
  Variant both = Evaluate([](Assembler& a) {
    a.Emit(opPushConst).B = 1;  // False
    Instruction& skip = a.Emit(opTestIfFalse);
    a.Emit(opPushInteger, 99);  // skipped
    skip.A = a.Here();
  });
  EXPECT_FALSE(both.RawBoolean());
}

TEST_F(MachineTest, StoreInputTakesTheCallersArgumentsInOrder) {
  // sub pair(a, b) reading its arguments with opStoreInput into locals.
  Assembler a;
  a.Emit(opGlobalPrepare);
  a.Emit(opJump, 8);
  a.Emit(opPrepare, 2).S = "pair";
  a.Emit(opStoreInput, 0);
  a.Emit(opStoreInput, 1);
  a.Emit(opPushVar, 1);
  a.Emit(opPushVar, 0);
  a.Emit(opRet);
  a.Emit(opPrepare);
  a.Emit(opRet);
  machine_.Link(a.Code());
  Variant result = machine_.Execute("pair", Variant::ArrayOf({Variant("x"), Variant("y")}));
  ASSERT_EQ(result.Type(), VariantType::kArray);
  EXPECT_EQ(result.ArrayValue().At({0}).ToString(), "y");
  EXPECT_EQ(result.ArrayValue().At({1}).ToString(), "x");
}

TEST_F(MachineTest, AbortEndsTheRunSilentlyEvenInsideExcept) {
  code_ = Assembler();
  code_.Emit(opGlobalPrepare);
  code_.Emit(opPrepare);
  Instruction& guard = code_.Emit(opTryExcept);
  code_.Emit(opAbort);
  guard.A = code_.Here();
  guard.X = code_.Here();
  code_.Emit(opRet);
  machine_.Link(code_.Code());
  EXPECT_THROW(machine_.Execute("", Variant::Null()), ScriptAbort);
  EXPECT_FALSE(machine_.IsRunning());
}

TEST_F(MachineTest, DisassemblyShowsOneLinePerInstruction) {
  Assembler a;
  a.Emit(opGlobalPrepare, 1);
  a.PushDouble(2.5);
  Instruction& store = a.Emit(opStoreVarString, 0);
  store.S = "hix";
  store.Y = 2;
  a.Emit(opRet);
  EXPECT_EQ(Disassemble(a.Code()),
            "     0 GlobalPrepare    A=1\n"
            "     1 PushDouble       D=2.5\n"
            "     2 StoreVarString   Y=2 S='hix'\n"
            "     3 Ret\n");
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// Linking fuses common sequences (push, push, operate, jump) into one
// handler with a fast path for plain numbers. A jump that lands inside a
// sequence keeps it unfused, which gives the reference to compare with.
class FusionTest : public ::testing::Test {
 protected:
  enum Tail { kNone, kJump, kStore, kAppend };
  // Where the operands come from: two locals, a global and a local, or a
  // local and a constant pushed by the instruction itself (numbers only).
  enum Operands { kLocals, kGlobalLeft, kConstantRight };

  // x = left: y = right: x <op> y, then nothing, a conditional jump, a
  // store into a local, or (kAppend) `x = x & y`, run fused or not; returns
  // the result's text or the error message.
  std::string Run(const Variant& left, const Variant& right, Opcode op, Tail tail, bool fused,
                  Operands operands = kLocals) {
    test::Assembler a;
    a.Emit(opGlobalPrepare, 2);
    a.Emit(opPrepare, 3);
    Store(a, 0, left);
    Store(a, 1, right);
    if (operands == kGlobalLeft) {  // Global 1: local 1 holds the other operand.
      a.Emit(opPushVar, 0);
      a.Emit(opStoreGlobalVar, 1);
    }
    // A jump that is never taken; landing on the second push, it keeps the
    // sequence unfused.
    a.Emit(opPushConst).B = 1;
    Instruction& blocker = a.Emit(opJumpIfTrue);
    int start = a.Here();
    blocker.A = fused ? start : start + 1;
    if (operands == kGlobalLeft) {
      a.Emit(opPushGlobalVar, 1);
    } else {
      a.Emit(opPushVar, 0);
    }
    if (operands == kConstantRight) {
      Push(a, right);
    } else {
      a.Emit(opPushVar, 1);
    }
    a.Emit(op);
    if (tail == kAppend) {
      a.Emit(opStoreVar, 0);
      a.Emit(opPushVar, 0);
    }
    if (tail == kStore) {
      a.Emit(opStoreVar, 2);
      a.Emit(opPushVar, 2);
    }
    if (tail == kJump) {
      Instruction& branch = a.Emit(opJumpIfFalse);
      a.PushString("true");
      a.Emit(opJump, a.Here() + 2);
      branch.A = a.Here();
      a.PushString("false");
    }
    a.Emit(opRet);
    code_ = a.Code();
    machine_.Link(code_);
    try {
      Variant result = machine_.Execute("", Variant::Null());
      return std::string(result.TypeName()) + ":" + (result.IsNull() ? "Null" : result.ToString());
    } catch (const Exception& e) {
      return e.Message();
    }
  }

  static void Store(test::Assembler& a, int slot, const Variant& value) {
    switch (value.Type()) {
      case VariantType::kInteger:
        a.Emit(opPushInteger, value.RawInteger());
        break;
      case VariantType::kDouble:
        a.PushDouble(value.RawDouble());
        break;
      case VariantType::kNull:
        a.Emit(opPushConst).B = 2;
        break;
      case VariantType::kUnassigned:
        a.Emit(opPushConst).B = 3;
        break;
      case VariantType::kBoolean:
        a.Emit(opPushConst).B = value.RawBoolean() ? 0 : 1;
        break;
      case VariantType::kArray:
        a.Emit(opPushInteger, 1);
        a.PushString("a");
        a.Emit(opArrayOf, 2);
        break;
      default:
        a.PushString(value.ToString());
    }
    a.Emit(opStoreVar, slot);
  }

  static void Push(test::Assembler& a, const Variant& value) {
    if (value.Type() == VariantType::kInteger) {
      a.Emit(opPushInteger, value.RawInteger());
    } else {
      a.PushDouble(value.RawDouble());
    }
  }

  VirtualMachine machine_;
  InstructionList code_;
};

TEST_F(FusionTest, FusedSequencesGiveTheResultsAndErrorsOfSingleInstructions) {
  const Variant values[] = {Variant(7),
                            Variant(0),
                            Variant(-3),
                            Variant(2.5),
                            Variant(1e20),
                            Variant(-0.5),
                            Variant("12"),
                            Variant("ab"),
                            Variant::Null(),
                            Variant(),
                            Variant(true),
                            Variant(false),
                            Variant::ArrayOf({Variant(1), Variant("a")})};
  const Opcode ops[] = {opOperAdd, opOperSub,  opOperMul,     opOperMod,   opOperDiv, opOperLE,
                        opOperGE,  opOperLess, opOperGreater, opOperEqual, opOperNE,  opOperConcat};
  for (const Variant& left : values) {
    for (const Variant& right : values) {
      for (Opcode op : ops) {
        for (Tail tail : {kNone, kJump, kStore, kAppend}) {
          if (tail == kJump && (op < opOperNE || op > opOperLess)) continue;
          if (tail == kAppend && op != opOperConcat) continue;
          for (Operands operands : {kLocals, kGlobalLeft, kConstantRight}) {
            const VariantType right_type = right.Type();
            if (operands == kConstantRight && right_type != VariantType::kInteger &&
                right_type != VariantType::kDouble) {
              continue;
            }
            std::string plain = Run(left, right, op, tail, false, operands);
            std::string fused = Run(left, right, op, tail, true, operands);
            EXPECT_EQ(fused, plain)
                << OpcodeName(op) << " " << left.TypeName() << " " << right.TypeName() << " tail "
                << tail << " operands " << operands;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
