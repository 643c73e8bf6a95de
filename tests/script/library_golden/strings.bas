' The system library's text functions. Positions count from 1.
echo(UpperCase("abc xyz 1") & "|" & LowerCase("ABC Xyz"))
' A result that shares the argument's characters is copied when changed.
a = "ABC"
b = UpperCase(a)
b[1] = "x"
echo(a & " " & b)
' CompareStr gives the difference of the first differing codes, else of the lengths.
echo(CompareStr("abc", "abd") & " " & CompareStr("b", "a") & " " & CompareStr("ab", "abcd") & " " & CompareStr("ab", "ab"))
echo(CompareStr(Chr(200), "a"))
' CompareText compares upper-cased letters: "[" lies after "A".
echo(CompareText("ABC", "abc") & " " & CompareText("a", "B") & " " & CompareText("[", "a"))
echo(AnsiUpperCase("abc") & AnsiLowerCase("DEF"))
echo(AnsiCompareStr("a", "b") & " " & AnsiCompareText("ABC", "abc") & " " & AnsiCompareStr("b", "a"))
' Characters after a NUL still count.
echo(AnsiCompareStr("a" & Chr(0) & "b", "a" & Chr(0) & "c") & " " & AnsiCompareStr("a" & Chr(0), "a"))
echo("[" & Trim("  a b " & Chr(9) & Chr(10)) & "]" & "[" & TrimLeft("  a  ") & "]" & "[" & TrimRight("  a  ") & "]")
echo(IsValidIdent("_a1") & " " & IsValidIdent("1a") & " " & IsValidIdent("") & " " & IsValidIdent("a-b"))
echo(Copy("abcdef", 2, 3) & " " & Copy("abcdef", 0, 2) & " " & Copy("abcdef", 5, 10))
echo("[" & Copy("abcdef", 7, 1) & "]" & "[" & Copy("abcdef", 2, -1) & "]")
s = "abcdef"
echo(Delete(s, 2, 3))
echo(s)
Delete(s, 0, 1)
Delete(s, 4, 1)
Delete(s, 3, 100)
echo(s)
t = "ace"
Insert("b", t, 2)
Insert("<", t, 0)
Insert(">", t, 99)
echo(t)
n = 15
Insert("-", n, 2)
echo(n)
echo(Pos("b", "abc") & " " & Pos("x", "abc") & " " & Pos("", "abc") & " " & Pos("cd", "abcdcd"))
echo(Length("abc") & " " & Length("") & " " & Length(12.5) & " " & Length(Null))
echo(Chr(65) & Chr(321) & " " & Ord("A") & " " & Ord("") & " " & Ord(Chr(200)))
