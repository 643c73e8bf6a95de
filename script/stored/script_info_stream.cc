#include "script/stored/script_info_stream.h"

#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/format.h"
#include "base/stream.h"

namespace vantrel {
namespace {

constexpr std::string_view kFilerSignature = "TPF0";
constexpr std::string_view kClassName = "ScriptInfo";
// Any short name does: readers skip it.
constexpr std::string_view kObjectName = "SI";

enum ValueTag : uint8_t {
  kTagEnd = 0x00,
  kTagItem = 0x01,
  kTagInt8 = 0x02,
  kTagInt16 = 0x03,
  kTagInt32 = 0x04,
  kTagString = 0x06,
  kTagIdentifier = 0x07,
  kTagFalse = 0x08,
  kTagTrue = 0x09,
  kTagLongString = 0x0C,
  kTagCollection = 0x0E,
};

// Indexed by ArgumentModifier.
constexpr std::string_view kModifierNames[] = {"moNone", "moConst", "moVar"};

// ---- Writing. ----

class PropertyWriter {
 public:
  explicit PropertyWriter(ByteWriter& out) : out_(out) {}

  // A name or a string of at most 255 characters.
  void ShortString(std::string_view text) {
    out_.WriteUInt8(static_cast<uint8_t>(text.size()));
    out_.WriteBytes(text);
  }
  void Integer(std::string_view name, int32_t value) {
    ShortString(name);
    if (value >= INT8_MIN && value <= INT8_MAX) {
      out_.WriteUInt8(kTagInt8);
      out_.WriteUInt8(static_cast<uint8_t>(value));
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
      out_.WriteUInt8(kTagInt16);
      out_.WriteUInt16(static_cast<uint16_t>(value));
    } else {
      out_.WriteUInt8(kTagInt32);
      out_.WriteInt32(value);
    }
  }
  // Left out when empty.
  void String(std::string_view name, std::string_view value) {
    if (value.empty()) return;
    ShortString(name);
    if (value.size() <= 255) {
      out_.WriteUInt8(kTagString);
      ShortString(value);
      return;
    }
    if (value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      throw StreamError(Format("Property '%s' is too long to store", {name}));
    }
    out_.WriteUInt8(kTagLongString);
    out_.WriteInt32(static_cast<int32_t>(value.size()));
    out_.WriteBytes(value);
  }
  void Boolean(std::string_view name, bool value) {
    ShortString(name);
    out_.WriteUInt8(value ? kTagTrue : kTagFalse);
  }
  void Identifier(std::string_view name, std::string_view value) {
    ShortString(name);
    out_.WriteUInt8(kTagIdentifier);
    ShortString(value);
  }
  template <class Items, class WriteItem>
  void Collection(std::string_view name, const Items& items, WriteItem write_item) {
    ShortString(name);
    out_.WriteUInt8(kTagCollection);
    for (const auto& item : items) {
      out_.WriteUInt8(kTagItem);
      write_item(*this, item);
      End();
    }
    End();
  }
  void End() { out_.WriteUInt8(kTagEnd); }

 private:
  ByteWriter& out_;
};

void WriteVariable(PropertyWriter& out, const VariableInfo& variable) {
  out.String("VarName", variable.VarName);
  out.Integer("DeclarationSourcePos", variable.DeclarationSourcePos);
  out.Integer("ArgIndex", variable.ArgIndex);
  out.Identifier("Modifier", kModifierNames[variable.Modifier <= moVar ? variable.Modifier : 0]);
  out.Boolean("Global", variable.Global);
  out.String("DeclaredClassName", variable.DeclaredClassName);
}

void WriteRoutine(PropertyWriter& out, const RoutineInfo& routine) {
  out.String("Name", routine.Name);
  out.Collection("Variables", routine.Variables, WriteVariable);
  out.Boolean("IsFunction", routine.IsFunction);
  out.Integer("ArgCount", routine.ArgCount);
  out.Integer("ByRefArgMask", static_cast<int32_t>(routine.ByRefArgMask));
  out.Integer("ResultIndex", routine.ResultIndex);
}

// ---- Reading. ----

class PropertyReader {
 public:
  explicit PropertyReader(ByteReader& in) : in_(in) {}

  // The next property's name; empty after the last.
  std::string_view NextName() { return in_.ReadShortString(); }

  int32_t Integer(std::string_view name) {
    switch (Tag()) {
      case kTagInt8:
        return in_.ReadInt8();
      case kTagInt16:
        return in_.ReadInt16();
      case kTagInt32:
        return in_.ReadInt32();
      default:
        Unexpected(name);
    }
  }
  std::string String(std::string_view name) {
    switch (Tag()) {
      case kTagString:
        return std::string(in_.ReadShortString());
      case kTagLongString: {
        const int32_t length = in_.ReadInt32();
        return std::string(in_.ReadBytes(in_.CheckCount(length, 1, "String length")));
      }
      default:
        Unexpected(name);
    }
  }
  bool Boolean(std::string_view name) {
    switch (Tag()) {
      case kTagFalse:
        return false;
      case kTagTrue:
        return true;
      default:
        Unexpected(name);
    }
  }
  std::string_view Identifier(std::string_view name) {
    if (Tag() != kTagIdentifier) Unexpected(name);
    return in_.ReadShortString();
  }
  // Reads the items, each by `read_item(*this, item)`, which reads the
  // item's properties up to their end marker. Every item takes at least
  // two bytes of input, so the input bounds the items' number.
  template <class Item, class ReadItem>
  void Collection(std::string_view name, std::vector<Item>& items, ReadItem read_item) {
    if (Tag() != kTagCollection) Unexpected(name);
    for (uint8_t marker = in_.ReadUInt8(); marker != kTagEnd; marker = in_.ReadUInt8()) {
      if (marker != kTagItem) {
        throw StreamError(Format("Invalid item marker %d in '%s'", {marker, name}));
      }
      read_item(*this, items.emplace_back());
    }
  }

  [[noreturn]] static void Unknown(std::string_view name) {
    throw StreamError(Format("Unknown property '%s'", {name}));
  }

 private:
  uint8_t Tag() {
    tag_ = in_.ReadUInt8();
    return tag_;
  }
  [[noreturn]] void Unexpected(std::string_view name) const {
    throw StreamError(Format("Invalid value (tag %d) of property '%s'", {tag_, name}));
  }

  ByteReader& in_;
  uint8_t tag_ = 0;
};

ArgumentModifier ModifierNamed(std::string_view text) {
  for (size_t i = 0; i < std::size(kModifierNames); ++i) {
    if (EqualsIgnoreCase(kModifierNames[i], text)) return static_cast<ArgumentModifier>(i);
  }
  throw StreamError(Format("Invalid modifier '%s'", {text}));
}

void ReadVariable(PropertyReader& in, VariableInfo& variable) {
  for (std::string_view name = in.NextName(); !name.empty(); name = in.NextName()) {
    if (EqualsIgnoreCase(name, "VarName")) {
      variable.VarName = in.String(name);
    } else if (EqualsIgnoreCase(name, "DeclarationSourcePos")) {
      variable.DeclarationSourcePos = in.Integer(name);
    } else if (EqualsIgnoreCase(name, "ArgIndex")) {
      variable.ArgIndex = in.Integer(name);
    } else if (EqualsIgnoreCase(name, "Modifier")) {
      variable.Modifier = ModifierNamed(in.Identifier(name));
    } else if (EqualsIgnoreCase(name, "Global")) {
      variable.Global = in.Boolean(name);
    } else if (EqualsIgnoreCase(name, "DeclaredClassName")) {
      variable.DeclaredClassName = in.String(name);
    } else {
      PropertyReader::Unknown(name);
    }
  }
}

// The scripter indexes a routine's variables with these; a stream that
// disagrees with itself must not make it index outside them.
void CheckRoutine(const RoutineInfo& routine) {
  const auto count = static_cast<int32_t>(routine.Variables.size());
  if (routine.ArgCount < 0 || routine.ArgCount > count) {
    throw StreamError(Format("Routine '%s' has %d arguments but %d variables",
                             {routine.Name, routine.ArgCount, count}));
  }
  if (routine.ResultIndex < -1 || routine.ResultIndex >= count) {
    throw StreamError(Format("Routine '%s' has no variable %d for its result",
                             {routine.Name, routine.ResultIndex}));
  }
}

void ReadRoutine(PropertyReader& in, RoutineInfo& routine) {
  for (std::string_view name = in.NextName(); !name.empty(); name = in.NextName()) {
    if (EqualsIgnoreCase(name, "Name")) {
      routine.Name = in.String(name);
    } else if (EqualsIgnoreCase(name, "Variables")) {
      in.Collection(name, routine.Variables, ReadVariable);
    } else if (EqualsIgnoreCase(name, "IsFunction")) {
      routine.IsFunction = in.Boolean(name);
    } else if (EqualsIgnoreCase(name, "ArgCount")) {
      routine.ArgCount = in.Integer(name);
    } else if (EqualsIgnoreCase(name, "ByRefArgMask")) {
      routine.ByRefArgMask = static_cast<uint32_t>(in.Integer(name));
    } else if (EqualsIgnoreCase(name, "ResultIndex")) {
      routine.ResultIndex = in.Integer(name);
    } else {
      PropertyReader::Unknown(name);
    }
  }
  CheckRoutine(routine);
}

}  // namespace

void WriteScriptInfo(const ScriptInfo& info, ByteWriter& out) {
  PropertyWriter properties(out);
  out.WriteBytes(kFilerSignature);
  properties.ShortString(kClassName);
  properties.ShortString(kObjectName);
  properties.Collection("Routines", info.Routines, WriteRoutine);
  properties.Collection("Globals", info.Globals, WriteVariable);
  properties.String("MainRoutineName", info.MainRoutineName);
  properties.End();  // The properties.
  properties.End();  // The child objects: none.
}

ScriptInfo ReadScriptInfo(ByteReader& in) {
  if (in.ReadBytes(kFilerSignature.size()) != kFilerSignature) {
    throw StreamError("Invalid script information signature");
  }
  const std::string_view class_name = in.ReadShortString();
  if (!EqualsIgnoreCase(class_name, kClassName)) {
    throw StreamError(Format("Class '%s' found instead of '%s'", {class_name, kClassName}));
  }
  in.ReadShortString();  // The object's name.
  ScriptInfo info;
  PropertyReader properties(in);
  for (std::string_view name = properties.NextName(); !name.empty(); name = properties.NextName()) {
    if (EqualsIgnoreCase(name, "Routines")) {
      properties.Collection(name, info.Routines, ReadRoutine);
    } else if (EqualsIgnoreCase(name, "Globals")) {
      properties.Collection(name, info.Globals, ReadVariable);
    } else if (EqualsIgnoreCase(name, "MainRoutineName")) {
      info.MainRoutineName = properties.String(name);
    } else {
      PropertyReader::Unknown(name);
    }
  }
  if (in.ReadUInt8() != kTagEnd) throw StreamError("Script information has child objects");
  if (in.Remaining() != 0) {
    throw StreamError(Format("%d bytes follow the script information", {in.Remaining()}));
  }
  return info;
}

}  // namespace vantrel
