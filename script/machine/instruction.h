// One instruction of the virtual machine, as the compiler emits it and the
// machine runs it.
//
// The compiler fills the fields of the instruction set (opcode.h): B, F, A,
// N, X, Y (or D), S and the source position P. Jump targets and routine
// entries are instruction numbers; host members are packed member
// references. Linking (VirtualMachine::Link) then fills the fields below the
// line: the successor, the opcode's handler, the instructions the numbers
// name, the bound host handler and the prepared constant, so that running
// never decodes or looks anything up.
#ifndef VANTREL_SCRIPT_MACHINE_INSTRUCTION_H_
#define VANTREL_SCRIPT_MACHINE_INSTRUCTION_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "script/machine/host_handler.h"
#include "script/machine/opcode.h"
#include "script/values/variant.h"

namespace vantrel {

class HostClass;
class TObject;
struct ClassInfo;
class VirtualMachine;
struct Instruction;

using InstructionHandler = void (*)(VirtualMachine& machine, Instruction& instruction);

// Packed member references (Y of opCallProc and opCallClassProc): bits 0-1
// the kind, bits 2-16 the member's index within its class, bits 17 and up
// the class's index in the registry. A reference that is only the kind is
// bound late, by the member's name S, to the object's run-time class.
enum MemberKind : int32_t {
  kMemberPropertyRead = 1,
  kMemberPropertyWrite = 2,
  kMemberMethodCall = 3,
};
constexpr int32_t PackMemberReference(int class_index, int member_index, MemberKind kind) {
  return static_cast<int32_t>((static_cast<uint32_t>(class_index) << 17) |
                              ((static_cast<uint32_t>(member_index) & 0x7FFF) << 2) |
                              static_cast<uint32_t>(kind));
}
constexpr MemberKind MemberReferenceKind(int32_t ref) { return static_cast<MemberKind>(ref & 3); }
constexpr int MemberReferenceIndex(int32_t ref) { return static_cast<int>((ref >> 2) & 0x7FFF); }
constexpr int MemberReferenceClass(int32_t ref) {
  return static_cast<int>(static_cast<uint32_t>(ref) >> 17);
}
constexpr bool IsLateBoundReference(int32_t ref) { return ref >= 1 && ref <= 3; }

// Source positions (P): the row in bits 16-30 and the column in bits 0-15,
// so that a runtime error names its place from the program alone, also
// when the program was loaded without its source. Rows beyond 32767 and
// columns beyond 65535 are stored as those limits; 0 means unknown.
constexpr int32_t PackSourcePosition(int row, int col) {
  const int r = row < 0 ? 0 : (row > 0x7FFF ? 0x7FFF : row);
  const int c = col < 0 ? 0 : (col > 0xFFFF ? 0xFFFF : col);
  return static_cast<int32_t>((static_cast<uint32_t>(r) << 16) | static_cast<uint32_t>(c));
}
constexpr int SourceRow(int32_t position) { return static_cast<int>((position >> 16) & 0x7FFF); }
constexpr int SourceColumn(int32_t position) { return static_cast<int>(position & 0xFFFF); }

// B of opCallProc for a property write.
constexpr uint8_t kPropertyWriteArgs = 255;
// F of opCallProc: the member is used as a call (it had an argument list).
constexpr uint16_t kFlagCalledAsMethod = 1;
// F of opCall in frame code (VirtualMachine::LinkFrameCode): A is the entry
// of a routine of the machine's own code, not of the code the call is in.
constexpr uint16_t kFlagEnclosingEntry = 2;

struct Instruction {
  Opcode Op = opPrepare;
  uint8_t B = 0;
  uint16_t F = 0;
  int32_t A = 0;
  int32_t N = 0;
  int32_t X = 0;
  int32_t Y = 0;
  std::string S;
  int32_t P = 0;  // Source position: PackSourcePosition(row, column), 0 when unknown.

  // The double D held in X (low word) and Y (high word).
  double D() const {
    uint64_t bits =
        (static_cast<uint64_t>(static_cast<uint32_t>(Y)) << 32) | static_cast<uint32_t>(X);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  void SetD(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    X = static_cast<int32_t>(static_cast<uint32_t>(bits));
    Y = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
  }

  // ---- Filled by linking. ----
  InstructionHandler Handler = nullptr;
  Instruction* Next = nullptr;     // The successor; null after the last.
  Instruction* Target = nullptr;   // A as an instruction: jump target, routine entry, try part.
  Instruction* Target2 = nullptr;  // X as an instruction: the end of a try statement.
  HostHandler Host;                // The handler a host call runs.
  TObject* Instance = nullptr;     // opCallProc: the default instance called on, if any.
  HostClass* Class = nullptr;      // The class entry of A (class calls, class references, casts).
  const ClassInfo* ClassRef = nullptr;  // The class that entry stands for.
  // The value an instruction pushes or stores, made once; in the last
  // instruction of a constant text (MachineOps::ConstantText), the text once
  // its first run has made it.
  Variant Constant;
  int32_t FusedSlot = 0;  // A local slot a fused sequence reads (a for loop's limit).
  uint8_t InPlace = 0;  // The run loop's case for Handler (MachineOps::InPlaceCaseOf); 0 for none.
  bool Pure = false;    // opCallProc: the bound method's result depends on its arguments alone.
};

using InstructionList = std::vector<Instruction>;

// For a copy of linked code: its references (Next, Target, Target2) still
// point into the list it was copied from, which began at `linked_at`; makes
// them point into `code` itself.
void RebaseLinks(InstructionList& code, const Instruction* linked_at);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_MACHINE_INSTRUCTION_H_
