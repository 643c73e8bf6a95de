// A Basic routine of twenty lines for the benchmarks that parse or compile
// long programs: a function with declarations, arithmetic, select, do,
// if, try and a member chain. It compiles with the tests' compile context
// (tests/script/compile_test_context.h), whose names it uses.
#ifndef VANTREL_BENCH_SAMPLE_ROUTINE_H_
#define VANTREL_BENCH_SAMPLE_ROUTINE_H_

#include <string>

namespace vantrel {

// The routine Compute<n>(a, byref b).
inline std::string SampleRoutine(int n) {
  const std::string i = std::to_string(n);
  return "function Compute" + i +
         "(a, byref b)\r\n"
         "  dim c, d\r\n"
         "  c = (a + b) * 2 - a div 3\r\n"
         "  select case c\r\n"
         "    case 1, 2\r\n"
         "      d = \"low\"\r\n"
         "    case else\r\n"
         "      d = \"high \" & Add(c, 1)\r\n"
         "  end select\r\n"
         "  do while c > 0\r\n"
         "    c = c - 1\r\n"
         "    if c mod 2 = 0 then exit do end if\r\n"
         "  loop\r\n"
         "  try\r\n"
         "    b = NewItem(\"x\").Items[c] / a\r\n"
         "  except\r\n"
         "    b = 0\r\n"
         "  end\r\n"
         "  Compute" +
         i +
         " = d\r\n"
         "end function\r\n";
}

}  // namespace vantrel

#endif  // VANTREL_BENCH_SAMPLE_ROUTINE_H_
