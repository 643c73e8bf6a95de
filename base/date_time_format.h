// The picture language for date-time texts, used by the log's time stamps
// and by the script functions that format dates.
//
// Specifiers (letters in any case): c, d, dd, ddd, dddd, ddddd, dddddd, m,
// mm, mmm, mmmm, yy, yyyy, h, hh, n, nn, s, ss, z, zzz, t, tt, am/pm, a/p,
// ampm, / (date separator), : (time separator). An "m" right after an "h"
// specifier means minutes. Text inside "..." or '...' is copied without its
// quotes; every other character is copied as it is. With an am/pm specifier
// anywhere after it, "h" counts hours on the 12-hour clock.
#ifndef VANTREL_BASE_DATE_TIME_FORMAT_H_
#define VANTREL_BASE_DATE_TIME_FORMAT_H_

#include <array>
#include <string>
#include <string_view>

namespace vantrel {

// Names and formats that the process locale (LC_TIME, LC_NUMERIC,
// LC_MONETARY) gives; English under the C locale, and wherever the locale
// leaves a text empty.
struct FormatSettings {
  std::array<std::string, 12> short_month_names;
  std::array<std::string, 12> long_month_names;
  std::array<std::string, 7> short_day_names;  // Sunday first.
  std::array<std::string, 7> long_day_names;
  std::string short_date_format;  // Pictures in the language above.
  std::string long_date_format;
  std::string short_time_format;
  std::string long_time_format;
  std::string time_am_string;
  std::string time_pm_string;
  char date_separator = '/';
  char time_separator = ':';
  // Numbers and currency (LC_NUMERIC, LC_MONETARY).
  char decimal_separator = '.';
  char thousand_separator = ',';
  std::string currency_string = "$";
  // Where the currency string goes: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
  int currency_format = 0;
  // Negative amounts: 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$",
  // 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1",
  // 13 "1- $", 14 "($ 1)", 15 "(1 $)".
  int negative_currency_format = 1;
  int currency_decimals = 2;

  // The settings of the locale in force when first called.
  static const FormatSettings& Locale();
  // The settings of the locale in force now.
  static FormatSettings FromCurrentLocale();
};

// A format of strftime (as the locale's D_FMT and T_FMT are) as a picture of
// the language above: every conversion glibc's locales use, with its flags
// ("%-d" is "d", "%e" is "d"), the compound ones spelt out ("%r", "%T",
// "%D", "%F", "%R", and the locale's own "%x", "%X", "%c"), other text as
// literal text. Conversions without a counterpart (the time zone "%Z") are
// left out, with the blanks they leave at the ends.
std::string PictureFromStrftime(std::string_view format);

// `date_time` by `picture`, to the nearest millisecond. Raises ConvertError
// for a value outside the years 1 to 9999 (date_time_text.h).
std::string FormatDateTime(std::string_view picture, double date_time,
                           const FormatSettings& settings = FormatSettings::Locale());

}  // namespace vantrel

#endif  // VANTREL_BASE_DATE_TIME_FORMAT_H_
