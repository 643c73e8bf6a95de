function fact(n)
  if n <= 1 then
    fact = 1
  else
    fact = n * fact(n - 1)
  end if
end function
sub swap(byref a, byref b)
  t = a
  a = b
  b = t
end sub
sub change(v)
  v = v + 100
  echo("inside " & v)
end sub
function early(x)
  early = "small"
  if x < 10 then exit function end if
  early = "big"
end function
sub say(x)
  if x = 0 then exit sub end if
  echo("say " & x)
end sub
function twice(x) forward
sub usestwice
  echo(twice(21))
end sub
function twice(x)
  twice = x * 2
end function
echo(fact(5))
p = 1 : q = 2
swap(p, q)
echo(p & "," & q)
w = 5
change(w)
echo("outside " & w)
echo(early(3) & " " & early(30))
say(0)
say(7)
usestwice
usestwice()
f = fact(3) + fact(2)
echo(f)
Main = "main result"
