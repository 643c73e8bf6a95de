' The date functions of the VBScript library, which is attached after the
' system library: its FormatDateTime takes a date and a named format.
d = DateSerial(2026, 12, 6) + TimeSerial(19, 34, 5)
echo(Year(d) & " " & Month(d) & " " & Day(d) & " " & Hour(d) & " " & Minute(d) & " " & Second(d))
echo(Weekday(d) & " " & Weekday(DateSerial(1899, 12, 30)))
echo(DatePart("yyyy", d) & " " & DatePart("m", d) & " " & DatePart("d", d) & " " & DatePart("w", d))
echo(DatePart("h", d) & " " & DatePart("n", d) & " " & DatePart("s", d) & " " & DatePart("q", d))
echo(DatePart("Q", d) & " " & DatePart("YYYY", d) & " " & DatePart("ww", d) & " " & DatePart("x", d))
echo(FormatDateTime(d, 2))
echo(FormatDateTime(d, vbLongDate) & "|" & FormatDateTime(d, vbLongTime) & "|" & FormatDateTime(d, vbShortTime))
echo(FormatDateTime(d, vbGeneralDate) & "|" & FormatDateTime(d, 99))
echo(Internal.FormatDateTime("dd.mm.yyyy", d))
echo(MonthName(1, True) & " " & MonthName(12, False) & " " & WeekdayName(1, True) & " " & WeekdayName(7, False))
echo(DateSerial(2026, 13, 1) = DateSerial(2027, 1, 1))
echo(Internal.FormatDateTime("yyyy-mm-dd", DateSerial(2024, 3, 0)))
echo(TimeSerial(0, 90, 0) = TimeSerial(1, 30, 0))
echo(Internal.FormatDateTime("yyyy-mm-dd hh:nn", TimeSerial(25, 0, 0)))
echo(Internal.FormatDateTime("yyyy-mm-dd hh:nn", TimeSerial(-1, 0, 0)))
echo(DateValue(d) = DateSerial(2026, 12, 6))
echo(TimeValue(d) = TimeSerial(19, 34, 5))
t = Timer
echo(t >= 0 and t < 86400)
t = 0  ' Error reports show the stack; keep the clock out of it.
try
  WeekdayName(0, False)
except
  echo("weekday 0 is refused")
end
try
  DateSerial(9999, 12, 32)
except
  echo("a day after 9999 is refused")
end
try
  MonthName(13, True)
except
  echo(LastExceptionMessage)
end
echo(TimeSerial(19, 34, 5))
echo(CDate("12/24/2026") + 1)
' Years of two digits count from 1950 to 2049; a date of the year 50 itself
' still prints, as every date of the years 1 to 9999 does.
echo(Year(DateSerial(26, 1, 1)) & " " & Year(DateSerial(50, 1, 1)) & " " & Year(DateSerial(100, 1, 1)))
echo(Internal.FormatDateTime("yyyy-mm-dd", EncodeDate(50, 1, 1)) & " " & Year(EncodeDate(1, 1, 1)))
echo(EncodeDate(50, 1, 1))
