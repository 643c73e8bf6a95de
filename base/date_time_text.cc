#include "base/date_time_text.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "base/ascii.h"
#include "base/convert_error.h"
#include "base/number_format.h"

namespace vantrel {
namespace {

constexpr int kMillisecondsPerDay = 86'400'000;

// A cursor over the text being read.
class TextReader {
 public:
  explicit TextReader(std::string_view text) : text_(text) {}

  // True when blanks were skipped.
  bool SkipBlanks() {
    const std::size_t from = at_;
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    return at_ != from;
  }
  bool AtEnd() const { return at_ == text_.size(); }
  bool Skip(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool SkipOneOf(std::string_view chars) {
    if (at_ >= text_.size() || chars.find(text_[at_]) == std::string_view::npos) return false;
    ++at_;
    return true;
  }
  bool SkipIgnoreCase(std::string_view word) {
    if (word.empty() || !StartsWithIgnoreCase(text_.substr(at_), word)) return false;
    at_ += word.size();
    return true;
  }
  // One to `max_digits` decimal digits; `digits` tells how many there were.
  bool ReadNumber(int& value, int& digits, int max_digits) {
    value = 0;
    digits = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (++digits > max_digits) return false;
      value = value * 10 + (text_[at_++] - '0');
    }
    return digits > 0;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// The order of day ('d'), month ('m') and year ('y') in a date picture;
// parts it lacks follow in the order month, day, year.
std::array<char, 3> DateOrder(std::string_view picture) {
  std::array<char, 3> order{};
  std::size_t n = 0;
  const auto add = [&](char part) {
    for (std::size_t k = 0; k < n; ++k) {
      if (order[k] == part) return;
    }
    order[n++] = part;
  };
  for (std::size_t i = 0; i < picture.size() && n < 3; ++i) {
    const char c = ToLowerAscii(picture[i]);
    if (c == '"' || c == '\'') {
      const std::size_t close = picture.find(picture[i], i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == 'd' || c == 'm' || c == 'y') {
      add(c);
    }
  }
  for (const char part : {'m', 'd', 'y'}) add(part);
  return order;
}

// The literal texts of a date picture after its first, second and third
// field ("yyyy年mm月dd日" gives 年, 月 and 日; "d.m.yyyy" gives ".", "." and
// ""), so that a date the locale prints reads back whatever its
// separators. A "/" (the date separator) counts as no literal: it is read
// as any separator.
std::array<std::string, 3> DateLiterals(std::string_view picture) {
  std::array<std::string, 3> literals;
  int fields = 0;
  for (std::size_t i = 0; i < picture.size() && fields <= 3;) {
    const char c = ToLowerAscii(picture[i]);
    if (c == 'd' || c == 'm' || c == 'y') {
      while (i < picture.size() && ToLowerAscii(picture[i]) == c) ++i;
      ++fields;
      continue;
    }
    std::string_view text = picture.substr(i, 1);
    if (c == '"' || c == '\'') {
      const std::size_t close = picture.find(picture[i], i + 1);
      if (close == std::string_view::npos) break;
      text = picture.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      ++i;
    }
    if (fields >= 1 && fields <= 3 && text != "/") literals[fields - 1].append(text);
  }
  return literals;
}

int WindowedYear(int year, int digits) { return digits > 2 ? year : TwoDigitYear(year); }

bool ReadDate(TextReader& reader, const FormatSettings& settings, double& result) {
  const char separators[] = {settings.date_separator, '/', '-', '.', '\0'};
  const std::array<std::string, 3> literals = DateLiterals(settings.short_date_format);
  int numbers[3] = {};
  int digits[3] = {};
  int count = 0;
  for (; count < 3; ++count) {
    if (count > 0 && !reader.SkipIgnoreCase(literals[count - 1]) && !reader.SkipOneOf(separators)) {
      break;
    }
    if (!reader.ReadNumber(numbers[count], digits[count], 4)) return false;
  }
  if (count < 2) return false;
  reader.SkipIgnoreCase(literals[count - 1]);  // What the locale writes after the date.
  int day = 0;
  int month = 0;
  int year = DecodeDateTime(Now()).year;
  int next = 0;
  for (const char part : DateOrder(settings.short_date_format)) {
    if (part == 'y' && count == 2) continue;  // Day and month only.
    const int value = numbers[next];
    if (part == 'd') day = value;
    if (part == 'm') month = value;
    if (part == 'y') year = WindowedYear(value, digits[next]);
    ++next;
  }
  return TryEncodeDate(year, month, day, result);
}

// The am or pm text at the reader, if any: 0 none, 1 am, 2 pm.
int ReadAmPm(TextReader& reader, const FormatSettings& settings) {
  const bool own = !settings.time_am_string.empty() && !settings.time_pm_string.empty();
  if (reader.SkipIgnoreCase(own ? settings.time_am_string : "AM")) return 1;
  if (reader.SkipIgnoreCase(own ? settings.time_pm_string : "PM")) return 2;
  return 0;
}

bool ReadTime(TextReader& reader, const FormatSettings& settings, double& result) {
  const char separators[] = {settings.time_separator, ':', '\0'};
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int digits = 0;
  if (!reader.ReadNumber(hour, digits, 2) || !reader.SkipOneOf(separators) ||
      !reader.ReadNumber(minute, digits, 2)) {
    return false;
  }
  if (reader.SkipOneOf(separators)) {
    if (!reader.ReadNumber(second, digits, 2)) return false;
    const char points[] = {settings.decimal_separator, '.', '\0'};
    if (reader.SkipOneOf(points)) {
      if (!reader.ReadNumber(millisecond, digits, 3)) return false;
      for (; digits < 3; ++digits) millisecond *= 10;
    }
  }
  reader.SkipBlanks();
  const int am_pm = ReadAmPm(reader, settings);
  if (am_pm != 0) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (am_pm == 2 ? 12 : 0);
  }
  return TryEncodeTime(hour, minute, second, millisecond, result);
}

// Reads the whole of `text` with `read`, blanks around it allowed.
template <typename Read>
bool ReadWhole(std::string_view text, double& result, Read read) {
  TextReader reader(text);
  reader.SkipBlanks();
  double value = 0;
  if (!read(reader, value)) return false;
  reader.SkipBlanks();
  if (!reader.AtEnd()) return false;
  result = value;
  return true;
}

[[noreturn]] void ThrowOutOfRange(double value) {
  throw ConvertError("Date and time value " + FormatFloat("", value) +
                     " is outside the years 1 to 9999");
}

}  // namespace

int TwoDigitYear(int year) {
  if (year < 0 || year > 99) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

bool TryStrToDate(std::string_view text, double& result, const FormatSettings& settings) {
  return ReadWhole(text, result, [&](TextReader& reader, double& date) {
    return ReadDate(reader, settings, date);
  });
}

bool TryStrToTime(std::string_view text, double& result, const FormatSettings& settings) {
  return ReadWhole(text, result, [&](TextReader& reader, double& time) {
    return ReadTime(reader, settings, time);
  });
}

bool TryStrToDateTime(std::string_view text, double& result, const FormatSettings& settings) {
  const bool date_first = ReadWhole(text, result, [&](TextReader& reader, double& value) {
    double time = 0;
    if (!ReadDate(reader, settings, value)) return false;
    const bool blanks = reader.SkipBlanks();
    if (reader.AtEnd()) return true;
    if (!blanks || !ReadTime(reader, settings, time)) return false;
    value = CombineDateAndTime(value, time);
    return true;
  });
  // A time alone, also where "." separates times as well as dates.
  return date_first || TryStrToTime(text, result, settings);
}

bool TryEncodeDate(int year, int month, int day, double& result) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  DateTimeParts parts;
  parts.year = year;
  parts.month = month;
  parts.day = day;
  result = DateOf(parts);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  DateTimeParts parts;
  parts.hour = hour;
  parts.minute = minute;
  parts.second = second;
  parts.millisecond = millisecond;
  result = TimeOf(parts);
  return true;
}

double DateOf(const DateTimeParts& parts) {
  DateTimeParts date = parts;
  date.hour = date.minute = date.second = date.millisecond = 0;
  return EncodeDateTime(date);
}

double TimeOf(const DateTimeParts& parts) {
  return (((parts.hour * 60 + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond) /
         static_cast<double>(kMillisecondsPerDay);
}

DateTimeParts DecodeDateTimeChecked(double value) {
  // A coarse bound first: far outside, the day count would not fit an
  // integer; then the exact years, after rounding to the millisecond.
  if (!(value > -700'000.0 && value < 3'000'000.0)) ThrowOutOfRange(value);
  const DateTimeParts parts = DecodeDateTime(value);
  if (parts.year < 1 || parts.year > 9999) ThrowOutOfRange(value);
  return parts;
}

double CombineDateAndTime(double date, double time) {
  return date >= 0 ? date + time : date - time;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

double IncMonth(double date, int months) {
  DateTimeParts parts = DecodeDateTimeChecked(date);
  const std::int64_t total = std::int64_t{parts.year} * 12 + (parts.month - 1) + months;
  const std::int64_t year = total >= 0 ? total / 12 : (total - 11) / 12;
  if (year < 1 || year > 9999) {
    throw ConvertError("IncMonth moves the date outside the years 1 to 9999");
  }
  parts.year = static_cast<int>(year);
  parts.month = static_cast<int>(total - year * 12) + 1;
  const int days = DaysInMonth(parts.year, parts.month);
  if (parts.day > days) parts.day = days;
  return EncodeDateTime(parts);
}

}  // namespace vantrel
