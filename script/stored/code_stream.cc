#include "script/stored/code_stream.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "base/stream.h"
#include "script/machine/opcode.h"
#include "script/stored/byte_reader.h"
#include "script/stored/byte_writer.h"
#include "script/stored/script_info_stream.h"

namespace vantrel {
namespace {

constexpr size_t kHeaderPadding = 28;
constexpr size_t kClassRefSize = 12;
constexpr size_t kLibraryNameSize = 64;
constexpr size_t kUsedUnitSize = 1 + kLibraryNameSize + 1;
// The fixed fields of an instruction record after its length.
constexpr int32_t kRecordFields = 24;

int32_t Count(size_t count, std::string_view what) {
  if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw StreamError(Format("Too many %s to store", {what}));
  }
  return static_cast<int32_t>(count);
}

void WriteUsedUnit(ByteWriter& out, const UsedUnit& unit) {
  const std::string_view name = std::string_view(unit.Name).substr(0, kLibraryNameSize);
  out.WriteUInt8(static_cast<uint8_t>(name.size()));
  out.WriteBytes(name);
  out.WriteZeros(kLibraryNameSize - name.size());
  out.WriteUInt8(unit.DefaultInstance ? 1 : 0);
}

void WriteInstruction(ByteWriter& out, const Instruction& instruction) {
  if (instruction.S.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() - 24)) {
    throw StreamError("Instruction text too long to store");
  }
  out.WriteInt32(kRecordFields + static_cast<int32_t>(instruction.S.size()));
  out.WriteUInt8(instruction.Op);
  out.WriteUInt8(instruction.B);
  out.WriteUInt16(instruction.F);
  out.WriteInt32(instruction.P);
  out.WriteInt32(instruction.A);
  out.WriteInt32(instruction.N);
  out.WriteInt32(instruction.X);
  out.WriteInt32(instruction.Y);
  out.WriteBytes(instruction.S);
}

void WriteCode(const CompiledCode& code, ByteWriter& out) {
  out.WriteBytes(kCodeStreamSignature);
  out.WriteUInt8(kCodeStreamVersion);
  out.WriteZeros(2);
  out.WriteInt32(Count(code.ClassRefs.size(), "class references"));
  out.WriteInt32(Count(code.UsedUnits.size(), "used libraries"));
  const size_t info_size_at = out.Position();
  out.WriteInt32(0);  // The size of the script information, once written.
  out.WriteZeros(kHeaderPadding);
  for (const ClassRef& ref : code.ClassRefs) {
    out.WriteInt32(ref.ClassIndex);
    out.WriteInt32(ref.MemberIndex);
    out.WriteUInt8(ref.MemberIsMethod ? 1 : 0);
    out.WriteZeros(3);
  }
  for (const UsedUnit& unit : code.UsedUnits) WriteUsedUnit(out, unit);
  const size_t info_at = out.Position();
  WriteScriptInfo(code.Info, out);
  out.PatchInt32(info_size_at, Count(out.Position() - info_at, "bytes of script information"));
  for (const Instruction& instruction : code.Instructions) WriteInstruction(out, instruction);
}

UsedUnit ReadUsedUnit(ByteReader& in) {
  const uint8_t length = in.ReadUInt8();
  if (length > kLibraryNameSize) throw StreamError(Format("Library name of %d bytes", {length}));
  UsedUnit unit;
  unit.Name = std::string(in.ReadBytes(kLibraryNameSize).substr(0, length));
  unit.DefaultInstance = in.ReadUInt8() != 0;
  return unit;
}

Instruction ReadInstruction(ByteReader& in, size_t number) {
  const int32_t length = in.ReadInt32();
  if (length < kRecordFields) {
    throw StreamError(Format("Instruction %d has a record length of %d", {number, length}));
  }
  in.CheckCount(length, 1, "Record length");
  Instruction instruction;
  const uint8_t op = in.ReadUInt8();
  if (op >= kOpcodeCount) throw StreamError(Format("Instruction %d has opcode %d", {number, op}));
  instruction.Op = static_cast<Opcode>(op);
  instruction.B = in.ReadUInt8();
  instruction.F = in.ReadUInt16();
  instruction.P = in.ReadInt32();
  instruction.A = in.ReadInt32();
  instruction.N = in.ReadInt32();
  instruction.X = in.ReadInt32();
  instruction.Y = in.ReadInt32();
  instruction.S = std::string(in.ReadBytes(static_cast<size_t>(length - kRecordFields)));
  return instruction;
}

// Each routine's entry is the first opPrepare named after it.
void FindRoutineEntries(CompiledCode& code) {
  std::unordered_map<std::string_view, int> entries;
  for (size_t n = 0; n < code.Instructions.size(); ++n) {
    const Instruction& instruction = code.Instructions[n];
    if (instruction.Op == opPrepare) entries.emplace(instruction.S, static_cast<int>(n));
  }
  for (RoutineInfo& routine : code.Info.Routines) {
    auto found = entries.find(routine.Name);
    routine.Entry = found == entries.end() ? -1 : found->second;
  }
}

CompiledCode ReadCode(std::string_view stream) {
  ByteReader in(stream);
  in.Skip(kCodeStreamSignature.size() + 1 + 2);
  const int32_t class_refs = in.ReadInt32();
  const int32_t used_units = in.ReadInt32();
  const int32_t info_size = in.ReadInt32();
  in.Skip(kHeaderPadding);
  CompiledCode code;
  code.ClassRefs.resize(in.CheckCount(class_refs, kClassRefSize, "Class reference count"));
  for (ClassRef& ref : code.ClassRefs) {
    ref.ClassIndex = in.ReadInt32();
    ref.MemberIndex = in.ReadInt32();
    ref.MemberIsMethod = in.ReadUInt8() != 0;
    in.Skip(3);
  }
  code.UsedUnits.reserve(in.CheckCount(used_units, kUsedUnitSize, "Used library count"));
  for (int32_t i = 0; i < used_units; ++i) code.UsedUnits.push_back(ReadUsedUnit(in));
  const size_t info_bytes = in.CheckCount(info_size, 1, "Script information size");
  if (info_bytes > 0) {
    ByteReader block(in.ReadBytes(info_bytes));
    code.Info = ReadScriptInfo(block);
  }
  while (in.Remaining() > 1) {
    code.Instructions.push_back(ReadInstruction(in, code.Instructions.size()));
  }
  FindRoutineEntries(code);
  return code;
}

}  // namespace

void WriteCodeStream(const CompiledCode& code, std::string& stream) {
  stream.clear();
  try {
    ByteWriter out(stream);
    WriteCode(code, out);
  } catch (const std::exception& error) {
    throw ScriptInternalError(Format("Unable to write stream (%s)", {error.what()}));
  }
}

CompiledCode ReadCodeStream(std::string_view stream) {
  if (stream.substr(0, kCodeStreamSignature.size()) != kCodeStreamSignature) {
    throw ScriptInternalError("Invalid executable file signature");
  }
  if (stream.size() > kCodeStreamSignature.size()) {
    const auto version = static_cast<uint8_t>(stream[kCodeStreamSignature.size()]);
    if (version != kCodeStreamVersion) {
      throw ScriptInternalError(Format("%d not is a valid executable file version, expected %d",
                                       {version, kCodeStreamVersion}));
    }
  }
  return GuardStreamRead([stream] { return ReadCode(stream); });
}

}  // namespace vantrel
