// The forgiving conversions with which host functions read their arguments
// (GetArgAsInteger, GetArgAsFloat, GetArgAsString) and published properties
// take their values.
//
// They differ from the standard conversions of Variant in three ways: True
// reads as 1 rather than -1; Null reads as 0 or as the empty text rather
// than failing; and a string may use "," as its decimal separator (the
// first "," counts as "."), while text that is no number reads as 0.
#ifndef VANTREL_SCRIPT_VALUES_LENIENT_CONVERSION_H_
#define VANTREL_SCRIPT_VALUES_LENIENT_CONVERSION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/values/variant.h"

namespace vantrel {

// Integers and bytes as they are; doubles, dates and strings rounded half
// to even ("2,5" gives 2, "3,5" gives 4); True 1, False 0; Null and
// Unassigned 0; anything else as Variant::ToInteger(). A number outside 32
// bits raises VariantOverflowError.
std::int32_t LenientToInteger(const Variant& value);

// Numbers and dates as they are; strings as above ("2,5" gives 2.5); True
// 1, False 0; Null and Unassigned 0; anything else as Variant::ToDouble().
double LenientToFloat(const Variant& value);

// The number `text` reads as once its first "," becomes "."; nothing when it
// is no number. A number too large for a double reads as an infinity.
std::optional<double> ReadLenientNumber(std::string_view text);

// Null gives ""; anything else as Variant::ToString().
std::string LenientToString(const Variant& value);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_LENIENT_CONVERSION_H_
