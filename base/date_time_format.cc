#include "base/date_time_format.h"

#include <langinfo.h>

#include <charconv>
#include <climits>
#include <clocale>

#include "base/ascii.h"
#include "base/date_time.h"
#include "base/date_time_text.h"

namespace vantrel {
namespace {

std::string LangInfo(nl_item item) {
  const char* text = nl_langinfo(item);
  return text != nullptr ? text : "";
}

// Appends `letter` as literal text of a picture.
void AppendLiteral(std::string& picture, char c) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (letter || c == '"') {
    picture += '\'';
    picture += c;
    picture += '\'';
  } else {
    picture += c;
  }
}

// The picture of one number conversion: `padded` ("dd") unless a flag asks
// for no padding ("-", or "_", which pads with blanks: "d").
std::string_view Number(std::string_view padded, char flag) {
  return flag == '-' || flag == '_' ? padded.substr(1) : padded;
}

void AppendPicture(std::string& picture, std::string_view format, int depth);

// Appends the picture of one conversion (after its flag, width and E/O
// modifier). Conversions the picture language has no counterpart for (the
// time zone, the day of the year, week numbers) are left out.
void AppendConversion(std::string& picture, char conversion, char flag, int depth) {
  switch (conversion) {
    case 'd':
      picture += Number("dd", flag);
      break;
    case 'e':
      picture += flag == '0' ? "dd" : "d";
      break;  // Blank-padded: no leading zero.
    case 'm':
      picture += Number("mm", flag);
      break;
    case 'y':
      picture += "yy";
      break;
    case 'Y':
      picture += "yyyy";
      break;
    case 'H':
    case 'I':
      picture += Number("hh", flag);
      break;
    case 'k':
    case 'l':
      picture += flag == '0' ? "hh" : "h";
      break;
    case 'M':
      picture += Number("nn", flag);
      break;
    case 'S':
      picture += Number("ss", flag);
      break;
    case 'p':
    case 'P':
      picture += "ampm";
      break;
    case 'b':
    case 'h':
      picture += "mmm";
      break;
    case 'B':
      picture += "mmmm";
      break;
    case 'a':
      picture += "ddd";
      break;
    case 'A':
      picture += "dddd";
      break;
    // The compound conversions and the locale's own formats, spelt out.
    case 'D':
      AppendPicture(picture, "%m/%d/%y", depth);
      break;
    case 'T':
      AppendPicture(picture, "%H:%M:%S", depth);
      break;
    case 'R':
      AppendPicture(picture, "%H:%M", depth);
      break;
    case 'F':
      AppendPicture(picture, "%Y-%m-%d", depth);
      break;
    case 'r':
      AppendPicture(picture, LangInfo(T_FMT_AMPM), depth);
      break;
    case 'X':
      AppendPicture(picture, LangInfo(T_FMT), depth);
      break;
    case 'x':
      AppendPicture(picture, LangInfo(D_FMT), depth);
      break;
    case 'c':
      AppendPicture(picture, LangInfo(D_T_FMT), depth);
      break;
    case 'n':
      picture += '\n';
      break;
    case 't':
      picture += '\t';
      break;
    case '%':
      picture += '%';
      break;
    default:
      break;
  }
}

void AppendPicture(std::string& picture, std::string_view format, int depth) {
  // A locale whose formats name each other (%c holding %x) ends here.
  if (depth > 4) return;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      AppendLiteral(picture, format[i]);
      continue;
    }
    // %[flag][width][E|O]conversion, as glibc reads it.
    char flag = 0;
    while (++i < format.size() &&
           std::string_view("-_0^#").find(format[i]) != std::string_view::npos) {
      flag = format[i];
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
    if (i >= format.size()) break;
    AppendConversion(picture, format[i], flag, depth + 1);
  }
}

}  // namespace

std::string PictureFromStrftime(std::string_view format) {
  std::string picture;
  AppendPicture(picture, format, 0);
  // A conversion left out may leave a blank at an end ("%I:%M:%S %p %Z").
  while (!picture.empty() && picture.back() == ' ') picture.pop_back();
  return picture;
}

namespace {

// A separator of LC_NUMERIC: a one-byte text as it is, a longer one (a
// no-break space in UTF-8) as a plain space, an empty one as `fallback`.
char Separator(const char* text, char fallback) {
  if (text == nullptr || text[0] == '\0') return fallback;
  return text[1] == '\0' ? text[0] : ' ';
}

// The numeric and monetary fields of the process locale; the C locale
// leaves them empty or unset (CHAR_MAX), and the struct's English defaults
// stay.
void ReadNumberSettings(FormatSettings& s) {
  const std::lconv* conv = std::localeconv();
  if (conv == nullptr) return;
  s.decimal_separator = Separator(conv->decimal_point, s.decimal_separator);
  s.thousand_separator = Separator(conv->thousands_sep, s.thousand_separator);
  if (conv->currency_symbol != nullptr && conv->currency_symbol[0] != '\0') {
    s.currency_string = conv->currency_symbol;
  }
  if (conv->frac_digits != CHAR_MAX) s.currency_decimals = conv->frac_digits;
  if (conv->p_cs_precedes != CHAR_MAX && conv->p_sep_by_space != CHAR_MAX) {
    s.currency_format = (conv->p_cs_precedes != 0 ? 0 : 1) + (conv->p_sep_by_space != 0 ? 2 : 0);
  }
  const int sign_position = conv->n_sign_posn;
  if (conv->n_cs_precedes == CHAR_MAX || conv->n_sep_by_space == CHAR_MAX || sign_position < 0 ||
      sign_position > 4) {
    return;
  }
  // The negative format by where the symbol goes, whether a blank parts it
  // from the number, and where the sign goes (0 parentheses, 1 before all,
  // 2 after all, 3 just before the symbol, 4 just after it).
  static constexpr int kNegative[2][2][5] = {
      {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},  // Symbol after the number.
      {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}},   // Symbol before the number.
  };
  s.negative_currency_format =
      kNegative[conv->n_cs_precedes != 0][conv->n_sep_by_space != 0][sign_position];
}

FormatSettings ReadLocale() {
  FormatSettings s;
  ReadNumberSettings(s);
  for (int i = 0; i < 12; ++i) {
    s.short_month_names[i] = LangInfo(ABMON_1 + i);
    s.long_month_names[i] = LangInfo(MON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    s.short_day_names[i] = LangInfo(ABDAY_1 + i);
    s.long_day_names[i] = LangInfo(DAY_1 + i);
  }
  s.short_date_format = PictureFromStrftime(LangInfo(D_FMT));
  s.long_date_format = "dddd, mmmm d, yyyy";
  s.long_time_format = PictureFromStrftime(LangInfo(T_FMT));
  s.short_time_format = "hh:nn";
  s.time_am_string = LangInfo(AM_STR);
  s.time_pm_string = LangInfo(PM_STR);
  return s;
}

// The state of one formatting run.
class Formatter {
 public:
  Formatter(double value, const FormatSettings& settings)
      : parts_(DecodeDateTimeChecked(value)),
        has_time_(parts_.hour != 0 || parts_.minute != 0 || parts_.second != 0 ||
                  parts_.millisecond != 0),
        settings_(settings) {}

  void Append(std::string_view picture, int depth) {
    const std::size_t last_am_pm = LastAmPm(picture);
    char last_letter = 0;
    std::size_t i = 0;
    while (i < picture.size()) {
      const char starter = picture[i];
      char token = ToUpperAscii(starter);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && last_letter == 'H') token = 'N';
        last_letter = token;
      }
      const std::size_t count = RunLength(picture, i);
      switch (token) {
        case 'Y':
          AppendNumber(count <= 2 ? parts_.year % 100 : parts_.year, count <= 2 ? 2 : 4);
          i += count;
          break;
        case 'M':
          i += count;
          AppendMonth(count);
          break;
        case 'D':
          i += count;
          AppendDay(count, depth);
          break;
        case 'H':
          i += count;
          AppendNumber(
              last_am_pm != std::string_view::npos && last_am_pm >= i ? Hour12() : parts_.hour,
              count == 1 ? 0 : 2);
          break;
        case 'N':
          i += count;
          AppendNumber(parts_.minute, count == 1 ? 0 : 2);
          break;
        case 'S':
          i += count;
          AppendNumber(parts_.second, count == 1 ? 0 : 2);
          break;
        case 'Z':
          i += count;
          AppendNumber(parts_.millisecond, count == 1 ? 0 : 3);
          break;
        case 'T':
          i += count;
          Nested(count == 1 ? settings_.short_time_format : settings_.long_time_format, depth);
          break;
        case 'C':
          i += count;
          Nested(settings_.short_date_format, depth);
          if (has_time_) {
            out_ += ' ';
            Nested(settings_.long_time_format, depth);
          }
          break;
        case 'A':
          i += AppendAmPm(picture.substr(i));
          break;
        case '/':
          ++i;
          out_ += settings_.date_separator;
          break;
        case ':':
          ++i;
          out_ += settings_.time_separator;
          break;
        case '"':
        case '\'': {
          const std::size_t close = picture.find(starter, i + 1);
          const std::size_t end = close == std::string_view::npos ? picture.size() : close;
          out_.append(picture.substr(i + 1, end - i - 1));
          i = end == picture.size() ? end : end + 1;
          break;
        }
        default:
          out_ += starter;
          ++i;
          break;
      }
    }
  }

  void Reserve(std::size_t size) { out_.reserve(size); }
  std::string Result() && { return std::move(out_); }

 private:
  // How many times the letter at `i` repeats from `i` on (letters in either case).
  static std::size_t RunLength(std::string_view picture, std::size_t i) {
    const char letter = ToUpperAscii(picture[i]);
    if (letter < 'A' || letter > 'Z') return 1;
    std::size_t n = 1;
    while (i + n < picture.size() && ToUpperAscii(picture[i + n]) == letter) ++n;
    return n;
  }

  void Nested(std::string_view picture, int depth) {
    if (depth < 2) Append(picture, depth + 1);  // Locale pictures never nest deeper.
  }

  void AppendNumber(int value, int width) {
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(result.ptr - digits);
    if (length < width) out_.append(static_cast<std::size_t>(width - length), '0');
    out_.append(digits, result.ptr);
  }

  void AppendMonth(std::size_t count) {
    const auto index = static_cast<std::size_t>(parts_.month - 1);
    if (count <= 2) {
      AppendNumber(parts_.month, count == 1 ? 0 : 2);
    } else if (count == 3) {
      out_ += settings_.short_month_names[index];
    } else {
      out_ += settings_.long_month_names[index];
    }
  }

  void AppendDay(std::size_t count, int depth) {
    const auto weekday = static_cast<std::size_t>(parts_.day_of_week - 1);
    switch (count) {
      case 1:
        AppendNumber(parts_.day, 0);
        break;
      case 2:
        AppendNumber(parts_.day, 2);
        break;
      case 3:
        out_ += settings_.short_day_names[weekday];
        break;
      case 4:
        out_ += settings_.long_day_names[weekday];
        break;
      case 5:
        Nested(settings_.short_date_format, depth);
        break;
      default:
        Nested(settings_.long_date_format, depth);
        break;
    }
  }

  // Length of the am/pm specifier at the start of `rest`, or 0.
  static std::size_t AmPmLength(std::string_view rest) {
    if (StartsWithIgnoreCase(rest, "am/pm")) return 5;
    if (StartsWithIgnoreCase(rest, "ampm")) return 4;
    if (StartsWithIgnoreCase(rest, "a/p")) return 3;
    return 0;
  }

  // Where the last am/pm specifier outside quotes starts, or npos: an "h"
  // before it counts on the 12-hour clock.
  static std::size_t LastAmPm(std::string_view picture) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < picture.size(); ++i) {
      const char c = picture[i];
      if (c == '"' || c == '\'') {
        const std::size_t close = picture.find(c, i + 1);
        if (close == std::string_view::npos) break;
        i = close;
      } else if ((c == 'a' || c == 'A') && AmPmLength(picture.substr(i)) != 0) {
        last = i;
      }
    }
    return last;
  }

  int Hour12() const {
    const int hour = parts_.hour % 12;
    return hour == 0 ? 12 : hour;
  }

  std::size_t AppendAmPm(std::string_view rest) {
    const bool pm = parts_.hour >= 12;
    const std::size_t length = AmPmLength(rest);
    if (length == 0) {
      out_ += rest[0];
      return 1;
    }
    if (length == 4) {
      out_ += pm ? settings_.time_pm_string : settings_.time_am_string;
      return length;
    }
    // "am/pm" and "a/p" keep the letter case the picture used.
    const std::size_t half = length == 5 ? 2 : 1;
    out_.append(rest.substr(pm ? half + 1 : 0, half));
    return length;
  }

  DateTimeParts parts_;
  bool has_time_;
  const FormatSettings& settings_;
  std::string out_;
};

}  // namespace

const FormatSettings& FormatSettings::Locale() {
  static const FormatSettings settings = ReadLocale();
  return settings;
}

FormatSettings FormatSettings::FromCurrentLocale() { return ReadLocale(); }

std::string FormatDateTime(std::string_view picture, double date_time,
                           const FormatSettings& settings) {
  Formatter formatter(date_time, settings);
  formatter.Reserve(picture.size() + 16);
  formatter.Append(picture, 0);
  return std::move(formatter).Result();
}

}  // namespace vantrel
