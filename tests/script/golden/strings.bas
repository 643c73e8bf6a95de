s = "say ""hi"""
echo(s)
echo(s[1] & s[6])
t = "abc"
t[2] = "xy"
echo(t)
echo("a" & "b" + "c")
echo(1 + "2")
echo(1 & 2)
blank = ""
echo("[" & blank & "]")
