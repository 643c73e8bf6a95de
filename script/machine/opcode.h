// The instruction set of the virtual machine, defined once.
//
// Each entry: the opcode, then what it reads and does. "left" and "right" are
// the slots SP-2 and SP-1; two-operand operators pop right and replace left.
// Locals are addressed relative to the frame base (arguments below it, at
// negative slots), globals absolutely. Jump targets and routine entries are
// instruction numbers until the code is linked. The enum, the name table used
// in messages and the machine's handler table are all made from this list.
#ifndef VANTREL_SCRIPT_MACHINE_OPCODE_H_
#define VANTREL_SCRIPT_MACHINE_OPCODE_H_

#include <cstdint>
#include <string_view>

// clang-format off
#define VANTREL_OPCODES(X)                                                                          \
  /* A locals: SP += A; remember this instruction as the routine entry. */                          \
  X(opPrepare)                                                                                      \
  /* A: push the integer A. */                                                                      \
  X(opPushInteger)                                                                                  \
  /* X,Y = D: push the double D. */                                                                 \
  X(opPushDouble)                                                                                   \
  /* S: push the string S. */                                                                       \
  X(opPushString)                                                                                   \
  /* B: push constant B: 0 True, 1 False, 2 Null, 3 Unassigned, 4 byte 0 (nil). */                  \
  X(opPushConst)                                                                                    \
  /* A: push a copy of slot OUT + A (the result of the last call). */                               \
  X(opPushOutput)                                                                                   \
  /* S name, A class: push a class reference; "Invalid class reference '%s'". */                    \
  X(opPushClass)                                                                                    \
  /* Push a copy of the top. */                                                                     \
  X(opDuplicate)                                                                                    \
  /* Push copies of left and right. */                                                              \
  X(opDuplicate2)                                                                                   \
  /* SP -= 2. */                                                                                    \
  X(opDrop2)                                                                                        \
  /* Exchange left and right. */                                                                    \
  X(opSwap2)                                                                                        \
  /* left := left <> right (Boolean). */                                                            \
  X(opOperNE)                                                                                       \
  /* left := left >= right. */                                                                      \
  X(opOperGE)                                                                                       \
  /* left := left <= right. */                                                                      \
  X(opOperLE)                                                                                       \
  /* left := left = right. */                                                                       \
  X(opOperEqual)                                                                                    \
  /* left := left > right. */                                                                       \
  X(opOperGreater)                                                                                  \
  /* left := left < right. */                                                                       \
  X(opOperLess)                                                                                     \
  /* left := left + right (variant addition; strings concatenate). */                               \
  X(opOperAdd)                                                                                      \
  /* left := text of left joined with text of right. */                                             \
  X(opOperConcat)                                                                                   \
  /* left := left - right. */                                                                       \
  X(opOperSub)                                                                                      \
  /* left := left or right, as 64-bit integers of the rounded reals; stored as 32 bits. */          \
  X(opOperOr)                                                                                       \
  /* left := left xor right, likewise. */                                                           \
  X(opOperXor)                                                                                      \
  /* left := left * right as doubles. */                                                            \
  X(opOperMul)                                                                                      \
  /* left := left / right as doubles. */                                                            \
  X(opOperSlash)                                                                                    \
  /* left := left div right as 32-bit integers, truncating; "Division by zero". */                  \
  X(opOperDiv)                                                                                      \
  /* left := left mod right as 32-bit integers; "Division by zero". */                              \
  X(opOperMod)                                                                                      \
  /* left := left and right, as opOperOr. */                                                        \
  X(opOperAnd)                                                                                      \
  /* left := left shifted left by right, 64-bit; stored as 32 bits. */                              \
  X(opOperShl)                                                                                      \
  /* left := left shifted right (logical) by right. */                                              \
  X(opOperShr)                                                                                      \
  /* left := left raised to the power right, as double. */                                          \
  X(opOperExp)                                                                                      \
  /* left := left is an object of the class reference right or of a descendant. */                  \
  X(opOperIs)                                                                                       \
  /* top := -top. */                                                                                \
  X(opOperNeg)                                                                                      \
  /* top := (top as a rounded real = 0), a Boolean. */                                              \
  X(opOperNot)                                                                                      \
  /* A target: pop; jump when the value equals False. */                                            \
  X(opJumpIfFalse)                                                                                  \
  /* A target: pop; jump when the value does not equal False. */                                    \
  X(opJumpIfTrue)                                                                                   \
  /* A target: jump. */                                                                             \
  X(opJump)                                                                                         \
  /* A slot, S name: pop into local A. */                                                           \
  X(opStoreVar)                                                                                     \
  /* A slot: pop into local A, through the reference it holds. */                                   \
  X(opStoreVarRef)                                                                                  \
  /* A slot, B indexes: pop B indexes, then the value below them; store into local A[indexes]. */   \
  X(opStoreIdxVar)                                                                                  \
  /* A slot, B indexes: the same through the reference. */                                          \
  X(opStoreIdxVarRef)                                                                               \
  /* A slot, X integer: local A := X. */                                                            \
  X(opStoreVarInteger)                                                                              \
  /* A slot, X integer: the same through the reference. */                                          \
  X(opStoreVarRefInteger)                                                                           \
  /* A slot, X,Y = D: local A := D. */                                                              \
  X(opStoreVarDouble)                                                                               \
  /* A slot, D: the same through the reference. */                                                  \
  X(opStoreVarRefDouble)                                                                            \
  /* A slot, S, Y length: local A := the first Y characters of S (then the variable's name). */     \
  X(opStoreVarString)                                                                               \
  /* A slot, S, Y: the same through the reference. */                                               \
  X(opStoreVarRefString)                                                                            \
  /* A slot, B constant: local A := constant B (as opPushConst). */                                 \
  X(opStoreVarConst)                                                                                \
  /* A slot, B constant: the same through the reference. */                                         \
  X(opStoreVarRefConst)                                                                             \
  /* A source, X destination: local X := local A (dereferenced). */                                 \
  X(opCopyVar)                                                                                      \
  /* A source, X destination: the same, writing through X's reference when it holds one. */         \
  X(opCopyVarRef)                                                                                   \
  /* A slot: local A := caller's argument at argument base + cursor; cursor += 1. */                \
  X(opStoreInput)                                                                                   \
  /* A slot: push local A (dereferenced). */                                                        \
  X(opPushVar)                                                                                      \
  /* A slot, B indexes: pop B indexes; push local A[indexes]. */                                    \
  X(opPushIdxVar)                                                                                   \
  /* A slot: push a reference to local A (to its target when it holds a reference). */              \
  X(opPushVarByRef)                                                                                 \
  /* A target, X slot, B: jump when (local X = top) equals B (1 equal, 0 not); pop. */              \
  X(opVarTest)                                                                                      \
  /* A target, X slot, Y integer, B: the same against the integer Y; nothing popped. */             \
  X(opVarTestInteger)                                                                               \
  /* A target, N slot, X,Y = D, B: the same against the double D. */                                \
  X(opVarTestDouble)                                                                                \
  /* A target, X slot, S, Y length, B: the same against the first Y characters of S. */             \
  X(opVarTestString)                                                                                \
  /* A target, X slot, Y slot, B: the same against local Y. */                                      \
  X(opVarTestVar)                                                                                   \
  /* A global, S name: pop into global A. */                                                        \
  X(opStoreGlobalVar)                                                                               \
  /* A global, B indexes: as opStoreIdxVar on global A. */                                          \
  X(opStoreGlobalIdxVar)                                                                            \
  /* A global: push global A (dereferenced). */                                                     \
  X(opPushGlobalVar)                                                                                \
  /* A global, B indexes: as opPushIdxVar on global A. */                                           \
  X(opPushGlobalIdxVar)                                                                             \
  /* A global: push a reference to global A. */                                                     \
  X(opPushGlobalVarByRef)                                                                           \
  /* A routine entry, B argc: call a script routine; its result lands in OUT. */                    \
  X(opCall)                                                                                         \
  /* The running routine ends. */                                                                   \
  X(opRet)                                                                                          \
  /* Obsolete: "Use methods instead of obsolete user functions". */                                 \
  X(opExecFun)                                                                                      \
  /* A instance, B argc or 255 (write), N indexes, Y member, S name: call a host handler. */        \
  X(opCallProc)                                                                                     \
  /* A finally start, X end: protected block with a finally part. */                                \
  X(opTryFinally)                                                                                   \
  /* A except start, X end: protected block with an except part. */                                 \
  X(opTryExcept)                                                                                    \
  /* A class, B argc, N, Y member, S name: call a handler of a class, without instance. */          \
  X(opCallClassProc)                                                                                \
  /* Call the debug hook. */                                                                        \
  X(opBreakPoint)                                                                                   \
  /* End the run silently. */                                                                       \
  X(opAbort)                                                                                        \
  /* A count: pop A values; push an array 0..A-1 of them in push order. */                          \
  X(opArrayOf)                                                                                      \
  /* S class, A: the top must be an object of class S or a descendant; it stays. */                 \
  X(opCastClass)                                                                                    \
  /* A slot: the integer value of local A becomes operand A of the next instruction. */             \
  X(opWithObject)                                                                                   \
  /* A globals: SP += A. */                                                                         \
  X(opGlobalPrepare)                                                                                \
  /* A target: jump when the top equals False; the top stays. */                                    \
  X(opTestIfFalse)                                                                                  \
  /* A target: jump when the top does not equal False; the top stays. */                            \
  X(opTestIfTrue)
// clang-format on

namespace vantrel {

enum Opcode : uint8_t {
#define VANTREL_OPCODE_ENUM(name) name,
  VANTREL_OPCODES(VANTREL_OPCODE_ENUM)
#undef VANTREL_OPCODE_ENUM
};

inline constexpr int kOpcodeCount = 0
#define VANTREL_OPCODE_COUNT(name) +1
    VANTREL_OPCODES(VANTREL_OPCODE_COUNT)
#undef VANTREL_OPCODE_COUNT
    ;
static_assert(kOpcodeCount == 79, "the instruction set has 79 opcodes");
static_assert(opTestIfTrue == 78 && opCall == 64 && opCallProc == 67, "opcode numbers are fixed");

// The opcode's name as written above ("opPushVar"); "op?" for a value
// outside the set.
std::string_view OpcodeName(int opcode);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_OPCODE_H_
