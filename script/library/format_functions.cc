#include <string>
#include <vector>

#include "base/number_format.h"
#include "script/errors/script_errors.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant.h"
#include "script/values/variant_array.h"

namespace vantrel::system_functions {
namespace {

// An element of Format's vector as a directive argument; a text stays in
// the element, which outlives the call.
FormatValue ToFormatValue(const Variant& element) {
  const Variant& value = element.Dereference();
  FormatValue result;
  switch (value.Type()) {
    case VariantType::kInteger:
      result.integer = value.RawInteger();
      break;
    case VariantType::kByte:
      result.integer = value.RawByte();
      break;
    case VariantType::kDouble:
    case VariantType::kDate:
      result.kind = FormatValue::Kind::kFloat;
      result.number = value.RawDouble();
      break;
    case VariantType::kString:
      result.kind = FormatValue::Kind::kText;
      result.text = value.StringView();
      break;
    case VariantType::kBoolean:
      result.kind = FormatValue::Kind::kBoolean;
      result.integer = value.RawBoolean() ? 1 : 0;
      break;
    default:
      throw ScriptRuntimeError("Illegal argument to Format function");
  }
  return result;
}

}  // namespace

void Format(VirtualMachine& machine) {
  const std::string pattern = machine.GetArgAsString(0);
  const Variant& values = machine.GetArg(1).Dereference();
  if (!values.IsArray() || values.ArrayValue().DimCount() != 1) {
    throw ScriptRuntimeError("Format function expects second argument as a variant vector");
  }
  std::vector<FormatValue> args;
  args.reserve(values.ArrayValue().ElementCount());
  for (const Variant& element : values.ArrayValue().Elements()) {
    args.push_back(ToFormatValue(element));
  }
  machine.SetResult(FormatDirectives(pattern, args));
}

void FormatFloat(VirtualMachine& machine) {
  machine.SetResult(vantrel::FormatFloat(machine.GetArgAsString(0), machine.GetArgAsFloat(1)));
}

}  // namespace vantrel::system_functions
