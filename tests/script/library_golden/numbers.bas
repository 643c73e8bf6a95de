' The system library's number functions and conversions.
echo(IntToStr(-42) & " " & IntToStr(2147483647) & " " & IntToStr("2,5"))
echo(IntToHex(255, 4) & " " & IntToHex(-1, 2) & " " & IntToHex(0, 0) & " " & IntToHex(26, -3))
' StrToInt reads blanks around the number, a sign, and hexadecimal after "$" or "0x".
echo(StrToInt(" 42 ") + 1)
echo(StrToInt("-$10") & " " & StrToInt("0x1F") & " " & StrToInt("$FFFFFFFF") & " " & StrToInt("-2147483648"))
echo(StrToIntDef("12a", 7) & " " & StrToIntDef("2147483648", -1) & " " & StrToIntDef("", 0) & " " & StrToIntDef("+8", 0))
echo(FloatToStr(0.1 + 0.2) & " " & FloatToStr(1 / 3) & " " & FloatToStr(1e20) & " " & FloatToStr(-0.5))
echo(StrToFloat(" 2.5e1 ") + 1)
echo(VarIsNull(Null) & " " & VarIsNull(0) & " " & VarIsNull(Empty))
' Round takes halves to the even neighbour; Trunc goes toward zero.
echo(Round(2.5) & " " & Round(3.5) & " " & Round(-2.5) & " " & Round(2.6) & " " & Round("2,5"))
echo(Trunc(-2.7) & " " & Trunc(2.7) & " " & Trunc(-2147483648.5))
echo("[" & VarToStr(Null) & "]" & VarToStr(1.5) & VarToStr(True))
x = 5
Inc(x)
Inc(x)
Dec(x)
echo(x)
x = "41"
echo(Inc(x) & " " & x)
r = Random
if r >= 0 then
  if r < 1 then
    echo("Random is in [0, 1)")
  end if
end if
echo(Sin(0) & " " & Cos(0) & " " & Abs(-3) & " " & Abs("-2,5"))
echo(ArcTan(1) * 4)
echo(Exp(1) & " " & Ln(Exp(2)))
echo(Frac(-2.5) & " " & Frac(3) & " " & Internal.Int(-2.5) & " " & Internal.Int(1e20))
echo(Odd(3) & " " & Odd(-3) & " " & Odd(0))
echo(Sqr(-3) & " " & Sqrt(16))
