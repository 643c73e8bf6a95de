' A parameter passed by value is the routine's own copy, also when the
' caller passes a variable.
dim g
sub SetText(byref target)
  target = "changed"
end sub
sub ShowsItsOwnCopy(v)
  g = "new"
  echo("parameter " & v)
end sub
sub PassesItsCopyOn(v)
  SetText(v)
  echo("copy " & v)
end sub
sub ChangesAnElement(v)
  v[0] = 9
end sub
g = "old"
ShowsItsOwnCopy(g)
g = "old"
PassesItsCopyOn(g)
echo("global " & g)
a = [1, 2]
ChangesAnElement(a)
echo(a[0])
