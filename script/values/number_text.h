// Numbers as script values read and print them.
//
// Reading: the whole text must be one decimal number, blanks (space, tab,
// line breaks) around it allowed: an optional sign, digits with an optional
// "." and fraction (".5" and "5." count), and an optional exponent ("E" or
// "e", optional sign, digits). Nothing else counts: no thousands
// separators, no hexadecimal, no "INF" or "NAN". The reading does not depend
// on the process locale.
//
// Printing: the shortest text that reads back as the same double, cut to at
// most 15 significant digits, "." as separator. Values from 1E-4 up to below
// 1E15 print in plain positional form (0.0001, 3.5, 123456789012345);
// smaller and larger ones print as mantissa, "E" and exponent without "+"
// or leading zeros (1E-5, 2.5E20, -1E15). Zero prints "0" whatever its sign;
// infinities print "INF" and "-INF", not-a-number "NAN".
#ifndef VANTREL_SCRIPT_VALUES_NUMBER_TEXT_H_
#define VANTREL_SCRIPT_VALUES_NUMBER_TEXT_H_

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// The value of `text` when it reads as a decimal number, else nothing. A
// number too large for a double reads as an infinity of its sign, one too
// small as zero. When `integral` is given, it tells whether the text was
// written as a whole number (no "." and no exponent).
std::optional<double> ParseNumberText(std::string_view text, bool* integral = nullptr);

// The text of `value` as described above.
std::string FormatNumberText(double value);

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_NUMBER_TEXT_H_
