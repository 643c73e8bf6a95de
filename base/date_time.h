// Date-time values as the system counts them: days since 30 December 1899
// as a double, the fraction being the time of day (so noon on 31 December
// 1899 is 1.5). Before that day the whole part counts backwards while the
// fraction still counts forwards from midnight (-1.25 is 29 December 1899,
// 06:00).
#ifndef VANTREL_BASE_DATE_TIME_H_
#define VANTREL_BASE_DATE_TIME_H_

namespace vantrel {

struct DateTimeParts {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int day_of_week = 7;  // 1 = Sunday .. 7 = Saturday; filled by DecodeDateTime.
};

// The date-time value of `parts` (day_of_week is ignored). The fields must
// form a valid Gregorian date and time.
double EncodeDateTime(const DateTimeParts& parts);

// The calendar fields of `value`, to the millisecond (rounded).
DateTimeParts DecodeDateTime(double value);

// The current local date and time.
double Now();

}  // namespace vantrel

#endif  // VANTREL_BASE_DATE_TIME_H_
