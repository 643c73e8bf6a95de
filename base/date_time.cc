#include "base/date_time.h"

#include <cmath>
#include <ctime>

namespace vantrel {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

// Days from 1970-01-01 to the given Gregorian date (proleptic calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);  // 1970 minus 1899-12-30.

}  // namespace

double EncodeDateTime(const DateTimeParts& parts) {
  const long long days = DaysFromCivil(parts.year, static_cast<unsigned>(parts.month),
                                       static_cast<unsigned>(parts.day)) -
                         kEpochOffset;
  const double time =
      (((parts.hour * 60.0 + parts.minute) * 60.0 + parts.second) * 1000.0 + parts.millisecond) /
      kMillisecondsPerDay;
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

DateTimeParts DecodeDateTime(double value) {
  double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
  if (ms >= static_cast<long long>(kMillisecondsPerDay)) {  // Rounded up to the next midnight.
    // The next day is one day on whatever the sign: before 30 December
    // 1899 the whole part counts the days and the fraction the time of
    // that day, so -1.9999999999 is 29 December a hair before midnight.
    ms -= static_cast<long long>(kMillisecondsPerDay);
    whole += 1;
  }
  DateTimeParts parts;
  const auto days = static_cast<long long>(whole);
  CivilFromDays(days + kEpochOffset, parts.year, parts.month, parts.day);
  parts.millisecond = static_cast<int>(ms % 1000);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.hour = static_cast<int>(ms / 3600000);
  // 30 December 1899 was a Saturday (7).
  parts.day_of_week = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
  return parts;
}

double Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  DateTimeParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // A leap second counts as :59.
  parts.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return EncodeDateTime(parts);
}

}  // namespace vantrel
