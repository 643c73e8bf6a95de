// The date and time pictures of real locales: what the gateway prints under
// a locale must be what the locale itself prints (strftime), and a date
// printed so must read back. A server in the United States printed "" for
// every time, one in the Czech Republic "d.m.2026" for every date.
#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "base/date_time.h"
#include "base/date_time_format.h"
#include "base/date_time_text.h"
#include "tests/support/test_locales.h"

namespace vantrel {
namespace {

// strftime of `format`, the time zone left out (pictures have none).
std::string Strftime(std::string format, const std::tm& moment) {
  for (std::size_t at = format.find("%Z"); at != std::string::npos; at = format.find("%Z")) {
    format.erase(at, 2);
  }
  char text[256];
  // The locale's own format: not a literal, which is the point.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::string result(text, std::strftime(text, sizeof text, format.c_str(), &moment));
#pragma GCC diagnostic pop
  while (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

TEST(LocalePicturesTest, DatesAndTimesPrintAsTheLocaleDoesAndReadBack) {
  const std::string folder = test::TestLocaleFolder();
  if (folder.empty()) GTEST_SKIP() << "localedef cannot make the test locales";
  ::setenv("LOCPATH", folder.c_str(), 1);
  std::tm moment{};
  moment.tm_year = 2026 - 1900;
  moment.tm_mon = 4;  // May.
  moment.tm_mday = 3;
  moment.tm_hour = 19;
  moment.tm_min = 4;
  moment.tm_sec = 9;
  moment.tm_wday = 0;  // A Sunday.
  const double value = EncodeDateTime(
      DateTimeParts{.year = 2026, .month = 5, .day = 3, .hour = 19, .minute = 4, .second = 9});
  for (const std::string& name : test::TestLocaleNames()) {
    ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr) << name;
    const FormatSettings settings = FormatSettings::FromCurrentLocale();
    const std::string date = Strftime(nl_langinfo(D_FMT), moment);
    const std::string time = Strftime(nl_langinfo(T_FMT), moment);
    EXPECT_EQ(FormatDateTime(settings.short_date_format, value, settings), date)
        << name << ": " << nl_langinfo(D_FMT) << " read as " << settings.short_date_format;
    EXPECT_EQ(FormatDateTime(settings.long_time_format, value, settings), time)
        << name << ": " << nl_langinfo(T_FMT) << " read as " << settings.long_time_format;
    double read = 0;
    EXPECT_TRUE(TryStrToDate(date, read, settings)) << name << ": " << date;
    EXPECT_EQ(read, 46145.0) << name << ": " << date;  // 3 May 2026.
  }
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}

TEST(LocalePicturesTest, FlagsAndCompoundConversionsAreSpeltOut) {
  EXPECT_EQ(PictureFromStrftime("%-d.%-m.%Y"), "d.m.yyyy");
  EXPECT_EQ(PictureFromStrftime("%e/%_m/%0e %k"), "d/m/dd h");
  EXPECT_EQ(PictureFromStrftime("%D %T %R %F"), "mm/dd/yy hh:nn:ss hh:nn yyyy-mm-dd");
  EXPECT_EQ(PictureFromStrftime("%I:%M:%S %p %Z"), "hh:nn:ss ampm");
  EXPECT_EQ(PictureFromStrftime("%Ey|%Od|%10H|100%%"), "yy|dd|hh|100%");
  EXPECT_EQ(PictureFromStrftime("at %H"), "'a''t' hh");
}

}  // namespace
}  // namespace vantrel
