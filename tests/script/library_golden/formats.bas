' Number texts: the system library's Format ("%" directives over a vector of
' values) and FormatFloat (pictures), and VBScript's FormatCurrency and
' FormatNumber.
echo(Format("%d %s", [7, "x"]))
echo(Format("[%5d] [%-5s] [%.3d] [%x] [%u]", [42, "ab", -5, 255, -1]))
echo(Format("%1:s %0:s %s", ["a", "b"]))
echo(Format("%*d|%-*.*f|", [4, 7, 6, 1, 3.14159]))
echo(Format("%f %.0f %n %m", [1.005, 2.5, 1234567.891, -1234.5]))
echo(Format("%e %g %.3g", [1234.5, 0.1 + 0.2, 1234.5]))
echo(Format("%s %s %s %f", [True, 1.5, EncodeDate(2026, 12, 6), 3]))
echo(Format("100%%", []))
echo(FormatFloat("#,##0.00", 1234567.891))
echo(FormatFloat("0.00;(0.00);'zero'", -5) & " " & FormatFloat("0.00;(0.00);'zero'", 0.001))
echo(FormatFloat("000-000", 123456) & " " & FormatFloat("0.00E+00", 12345))
echo(FormatFloat("", 1 / 3) & " " & FormatFloat("0.00", -0.001) & " " & FormatFloat("0.00", "2,675"))
echo(FormatCurrency(1234.56789, 2) & " " & FormatCurrency(-0.5, 0) & " " & FormatCurrency(3, -1))
echo(FormatNumber(1234.5678, 2) & " " & FormatNumber(-0.004, 2) & " " & FormatNumber(2.5, 0))
echo(FormatNumber(1, -1) & " " & FormatNumber("1,5", 1))
try
  Format("%d", ["x"])
except
  echo("a text for %d is refused")
end
try
  Format("%s", [Null])
except
  echo("Null is no argument of Format")
end
try
  Format("%s", [[1]])
except
  echo("nor is an array")
end
echo(Format("%d", 7))
