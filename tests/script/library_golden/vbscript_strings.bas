' The VBScript library's text functions.
echo(Asc("A") & " " & Asc("AB") & " " & Asc(Chr(255)))
' InStr searches its first argument in its second, as Pos does.
echo(InStr("b", "abc") & " " & InStr("x", "abc"))
echo(LCase("AbC") & UCase("aBc"))
echo(Left("abc", 5) & " " & Left("abc", 2) & " [" & Left("abc", 0) & "]")
echo(Len("abcd") & " " & Len(""))
echo("[" & LTrim("  a  ") & "][" & RTrim("  a  ") & "]")
echo(Mid("abcdef", 2, 3) & " [" & Mid("abc", 4, 1) & "] " & Mid("abc", 2, 100) & " [" & Mid("abc", 1, 0) & "]")
' Replace goes left to right without overlapping; an empty search text changes nothing.
echo(Replace("aaa", "a", "bb") & " " & Replace("abc", "", "x") & " [" & Replace("abab", "ab", "") & "] " & Replace("aaa", "aa", "b"))
echo(Right("abcdef", 2) & " " & Right("ab", 5) & " [" & Right("ab", 0) & "]")
echo("[" & Space(3) & "][" & Space(0) & "]")
echo(StrComp("a", "b") & " " & StrComp("b", "b"))
echo(String(3, "xyz") & " [" & String(3, "") & "] [" & String(0, "x") & "]")
