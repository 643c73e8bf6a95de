#include "base/format.h"

#include <array>
#include <vector>

#include "base/format_directives.h"

namespace vantrel {

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  // Message patterns have a handful of arguments: they are gathered on the
  // stack, and only a longer list goes to the heap.
  constexpr std::size_t kOnStack = 8;
  std::array<FormatValue, kOnStack> on_stack;
  std::vector<FormatValue> on_heap;
  if (args.size() > kOnStack) on_heap.resize(args.size());
  const std::span<FormatValue> values = args.size() > kOnStack
                                            ? std::span<FormatValue>(on_heap)
                                            : std::span(on_stack.data(), args.size());
  std::size_t i = 0;
  std::size_t expected = pattern.size();
  for (const FormatArg& arg : args) {
    values[i] = arg.Value();
    // Room for the text, or for a number's digits.
    expected += values[i].kind == FormatValue::Kind::kText ? values[i].text.size() : 24;
    ++i;
  }
  std::string result;
  result.reserve(expected);
  AppendDirectives(result, pattern, values, FormatSettings::Locale(),
                   DirectiveFailure::kKeepAsWritten);
  return result;
}

}  // namespace vantrel
