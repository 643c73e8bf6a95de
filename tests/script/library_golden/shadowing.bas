' With both libraries attached, an unqualified Int is VBScript's (down, an
' integer) and Internal.Int the system's (toward zero); a library's name
' reaches its functions explicitly.
echo(Int(-2.5))
echo(Internal.Int(-2.5))
echo(VBScript.Int(-2.5))
echo(VBScript.Left("abc", 2))
echo(Internal.Length("abc"))
