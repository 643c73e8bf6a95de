// What the functions of the built-in libraries share when they read their
// arguments and set their results: text arguments viewed rather than
// copied, text results that share the argument's characters when they are
// the whole argument, and the checks that keep a script from asking for
// texts, numbers or arrays the engine cannot give.
//
// Errors: the checks raise ScriptRuntimeError naming the function as the
// script wrote it (VirtualMachine::CurrentMemberName()), except the 32-bit
// range checks, which raise the value module's VariantOverflowError.
#ifndef VANTREL_SCRIPT_LIBRARY_LIBRARY_ARGUMENTS_H_
#define VANTREL_SCRIPT_LIBRARY_LIBRARY_ARGUMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/machine/virtual_machine.h"
#include "script/values/lenient_conversion.h"
#include "script/values/variant.h"

namespace vantrel {

// The longest text a function builds to a length the script asks for
// (Space, String, IntToHex's digits, Replace's result): 256 MiB.
inline constexpr std::size_t kMaxBuiltTextSize = std::size_t{256} << 20;

// Argument `i` read as GetArgAsString reads it (Null gives ""), without
// copying a String argument: its characters are viewed in place. The view
// lives as long as the argument is unchanged, so a function that writes a
// by-reference argument builds its result before writing. Neither copied
// nor moved: the view may point into the object itself.
class TextArgument {
 public:
  TextArgument(const VirtualMachine& machine, int i) : value_(machine.GetArg(i)) {
    if (value_.IsString()) {
      view_ = value_.StringView();
    } else {
      owned_ = LenientToString(value_);
      view_ = owned_;
    }
  }
  TextArgument(const TextArgument&) = delete;
  TextArgument& operator=(const TextArgument&) = delete;

  std::string_view View() const { return view_; }
  std::size_t Size() const { return view_.size(); }
  bool Empty() const { return view_.empty(); }
  // The whole text as a String value (sharing a String argument).
  Variant Whole() const { return value_.IsString() ? value_ : Variant(view_); }

  // Sets the call's result to `part`, a part of View(); when the part is
  // the whole String argument, the result shares its characters.
  void SetResultPart(VirtualMachine& machine, std::string_view part) const {
    if (value_.IsString() && part.size() == view_.size()) {
      machine.SetResult(value_);
    } else {
      machine.SetResult(Variant(part));
    }
  }

 private:
  const Variant& value_;
  std::string owned_;
  std::string_view view_;
};

// `text` without the spaces and tabs around it.
std::string_view TrimSpacesAndTabs(std::string_view text);

// A length or position as the 32-bit integer scripts count with;
// VariantOverflowError beyond.
std::int32_t TextSize32(std::size_t size);

// Argument `i` as a count of characters: GetArgAsInteger, refused when
// negative ("Left expects a count of 0 or more, not -1").
std::size_t CountArgument(const VirtualMachine& machine, int i);

// Refuses a text of `size` characters beyond kMaxBuiltTextSize ("Space
// would make a text of 300000000 characters, more than the limit of
// 268435456").
void CheckBuiltTextSize(const VirtualMachine& machine, std::uint64_t size);

// `whole`, a whole number, as a 32-bit integer; VariantOverflowError when it
// does not fit (also for infinities and not-a-number).
std::int32_t WholeToInt32(double whole);

// `result`, computed from `argument`, when it is a finite number; otherwise
// "Invalid argument to Sqrt: -1" (not-a-number or an infinity, from an
// argument outside the function's domain or a result beyond the doubles).
double FiniteResult(const VirtualMachine& machine, double result, double argument);

// Upper-case hexadecimal digits of `value` read as 32 unsigned bits (-1
// gives FFFFFFFF), padded with zeros to at least `digits` digits.
std::string HexText(std::int32_t value, std::size_t digits);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_LIBRARY_ARGUMENTS_H_
