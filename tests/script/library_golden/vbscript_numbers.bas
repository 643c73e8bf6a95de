' The VBScript library's number functions, conversions and tests of values.
echo(Atn(1) * 4)
' CBool reads the texts True and False as what they say, other values as numbers.
echo(CBool(0) & " " & CBool(2) & " " & CBool("True") & " " & CBool(" false ") & " " & CBool("abc") & " " & CBool(1e20) & " " & CBool(0.4))
echo(CByte(257) & " " & CByte(-1) & " " & CByte("2,5"))
echo(CCur(1.23456) & " " & CCur("2,5") & " " & CCur(-0.00004))
echo(IsDate(CDate(1.5)) & " " & CDbl(CDate(1.5)) & " " & IsDate(1.5))
echo(CDbl("2,5") & " " & CDbl(True) & " " & CDbl(Null) & " " & CSng("1.5"))
echo(CInt("3,5") & " " & CInt(2.5) & " " & CLng(-2.5) & " " & CInt(True))
echo("[" & CStr(Null) & "]" & CStr(True) & " " & CStr(0.5))
echo(Hex(255) & " " & Hex(0) & " " & Hex(-1))
' Int goes down to an integer, Fix toward zero.
echo(Int(-2.5) & " " & Int(2.5) & " " & Fix(-2.5) & " " & Fix(2.7))
echo(IsArray([1]) & " " & IsArray("a"))
echo(IsEmpty(Empty) & " " & IsEmpty(Null) & " " & IsEmpty("") & " " & IsEmpty(0))
echo(IsNull(Null) & " " & IsNull(Empty))
' IsNumeric accepts exactly the texts CDbl reads as numbers.
echo(IsNumeric("1.5e3") & " " & IsNumeric(" 2,5 ") & " " & IsNumeric("abc") & " " & IsNumeric("") & " " & IsNumeric("1e999") & " " & IsNumeric(7))
echo(LBound([1, 2], 1) & " " & UBound([1, 2], 1))
echo(Log(1) & " " & Log(Exp(3)))
r = Rnd
if r >= 0 then
  if r < 1 then
    echo("Rnd is in [0, 1)")
  end if
end if
echo(Sgn(-2.5) & " " & Sgn(0) & " " & Sgn(3))
