// The system library's array functions. Dimensions count from 1; a value
// that is no array raises the standard conversion error, a dimension the
// array does not have "Invalid array dimension".
#include <cstdint>
#include <vector>

#include "base/format.h"
#include "script/errors/script_errors.h"
#include "script/library/library_arguments.h"
#include "script/library/system_functions.h"
#include "script/machine/virtual_machine.h"
#include "script/values/variant_array.h"

namespace vantrel::system_functions {
namespace {

constexpr char kInvalidArrayDimension[] = "Invalid array dimension";

// The most elements VarArrayCreate makes: 16 Mi values, 256 MiB.
constexpr std::uint64_t kMaxCreatedElements = std::uint64_t{1} << 24;

const VariantArray& ArrayArgument(const VirtualMachine& machine, int i) {
  const Variant& value = machine.GetArg(i);
  if (!value.IsArray()) ThrowVariantTypeCast(value.TypeName(), "Array");
  return value.ArrayValue();
}

// The bounds of 1-based `dimension` of array argument 0.
VariantArrayBounds BoundsOf(const VirtualMachine& machine, std::int32_t dimension) {
  const VariantArray& array = ArrayArgument(machine, 0);
  if (dimension < 1 || dimension > array.DimCount()) {
    throw ScriptRuntimeError(kInvalidArrayDimension);
  }
  return array.Bounds(dimension - 1);
}

// The low and high bounds of each dimension, in pairs, from argument 0.
std::vector<VariantArrayBounds> RequestedBounds(const VirtualMachine& machine) {
  const Variant& value = machine.GetArg(0);
  if (!value.IsArray() || value.ArrayValue().DimCount() != 1 ||
      value.ArrayValue().ElementCount() % 2 != 0) {
    throw ScriptRuntimeError(kInvalidArrayDimension);
  }
  const std::span<const Variant> pairs = value.ArrayValue().Elements();
  std::vector<VariantArrayBounds> bounds(pairs.size() / 2);
  std::uint64_t count = 1;
  for (std::size_t d = 0; d < bounds.size(); ++d) {
    bounds[d] = {pairs[2 * d].ToInteger(), pairs[2 * d + 1].ToInteger()};
    const std::int64_t length = std::int64_t{bounds[d].high} - bounds[d].low + 1;
    // A negative length is refused by the array itself.
    if (length >= 0) count *= static_cast<std::uint64_t>(length);
    if (count > kMaxCreatedElements) {
      throw ScriptRuntimeError(vantrel::Format("%s would make an array of more than %d elements",
                                               {machine.CurrentMemberName(), kMaxCreatedElements}));
    }
  }
  return bounds;
}

// The value every element of an array of variant type `type` starts with:
// the type's zero; Unassigned for variants (12).
Variant InitialElement(const VirtualMachine& machine, std::int32_t type) {
  switch (type) {
    case 12:
      return Variant();
    case 2:  // 16-bit integer
    case 3:  // 32-bit integer
      return Variant(0);
    case 17:
      return Variant::Byte(0);
    case 4:  // single
    case 5:  // double
    case 6:  // currency
      return Variant(0.0);
    case 7:
      return Variant::Date(0);
    case 8:
      return Variant(std::string_view());
    case 11:
      return Variant(false);
    default:
      throw ScriptRuntimeError(vantrel::Format("%s cannot make an array of variant type %d",
                                               {machine.CurrentMemberName(), type}));
  }
}

}  // namespace

void High(VirtualMachine& machine) { machine.SetResult(BoundsOf(machine, 1).high); }

void Low(VirtualMachine& machine) { machine.SetResult(BoundsOf(machine, 1).low); }

void VarArrayHighBound(VirtualMachine& machine) {
  machine.SetResult(BoundsOf(machine, machine.GetArgAsInteger(1)).high);
}

void VarArrayLowBound(VirtualMachine& machine) {
  machine.SetResult(BoundsOf(machine, machine.GetArgAsInteger(1)).low);
}

void VarArrayCreate(VirtualMachine& machine) {
  const std::vector<VariantArrayBounds> bounds = RequestedBounds(machine);
  const Variant initial = InitialElement(machine, machine.GetArgAsInteger(1));
  Variant array = Variant::ArrayWithBounds(bounds);
  if (!initial.IsUnassigned()) {
    for (Variant& element : array.MutableArray().Elements()) element = initial;
  }
  machine.SetResult(array);
}

// Bit (element mod 32) for each element; -1 sets bit 31.
void SetOf(VirtualMachine& machine) {
  std::uint32_t mask = 0;
  for (const Variant& element : ArrayArgument(machine, 0).Elements()) {
    mask |= std::uint32_t{1} << (static_cast<std::uint32_t>(element.ToInteger()) & 31);
  }
  machine.SetResult(static_cast<std::int32_t>(mask));
}

}  // namespace vantrel::system_functions
