' The date and time functions of the system library. Dates print in the
' C locale's short form (mm/dd/yy); the clock is only tested by properties.
' Unqualified FormatDateTime is VBScript's, so the picture version is named.
d = EncodeDate(2026, 12, 6)
t = EncodeTime(19, 34, 0, 0)
echo(d)
echo(Internal.FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", d + t))
echo("[" & Internal.FormatDateTime("mmm d, yyyy "";"" hh:mm ", d + t) & "]")
echo(Internal.FormatDateTime("c|ddddd|dddddd|t|tt", d + t))
echo(Internal.FormatDateTime("c", d))
echo(Internal.FormatDateTime("h:nn am/pm, d/m/yy", d + t))
echo(DayOfWeek(d))
y = 0 : m = 0 : dd = 0 : h = 0 : n = 0 : s = 0 : ms = 0
DecodeDate(d + t, y, m, dd)
echo(y & " " & m & " " & dd)
DecodeTime(d + t, h, n, s, ms)
echo(h & " " & n & " " & s & " " & ms)
DecodeTime(EncodeTime(23, 59, 59, 999), h, n, s, ms)
echo(h & " " & n & " " & s & " " & ms)
echo(Internal.FormatDateTime("yyyy-mm-dd", IncMonth(EncodeDate(2024, 1, 31), 1)))
echo(Internal.FormatDateTime("yyyy-mm-dd hh:nn", IncMonth(EncodeDate(2026, 3, 31) + t, -13)))
echo(IsLeapYear(2024) & " " & IsLeapYear(1900) & " " & IsLeapYear(2000))
echo(DateToStr(d + t) & "|" & TimeToStr(d + t) & "|" & DateTimeToStr(d) & "|" & DateTimeToStr(d + t))
echo(StrToDate(" 12/6/2026 ") = d)
echo(StrToDate("12-6-26") = d)
echo(Internal.FormatDateTime("hh:nn:ss.zzz", StrToTime("7:05:09.5 pm")))
echo(StrToDateTime("12/6/2026 19:34") = d + t)
echo(Now >= Date)
echo(Now - Date < 1)
echo(Time >= 0 and Time < 1)
echo(Internal.FormatDateTime("hh:nn:ss.zzz", Date))
try
  StrToTime("25:00")
except
  echo("a time past 24 hours is refused")
end
try
  EncodeTime(24, 0, 0, 0)
except
  echo("hour 24 is refused")
end
try
  IncMonth(EncodeDate(9999, 12, 1), 1)
except
  echo("a month after 9999 is refused")
end
try
  Internal.FormatDateTime("yyyy", 1e10)
except
  echo("a day past 9999 is refused")
end
try
  StrToDate("31/31/2020")
except
  echo(LastExceptionClassName & ": " & LastExceptionMessage)
end
