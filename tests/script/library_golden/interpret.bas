' Interpret runs code given as text inside the routine that calls it: the
' routine's arguments and locals and the script's globals are the code's
' own variables, and the script's routines are its routines.
dim total
function Twice(x)
  Twice = x * 2
end function
sub Update(byref counter, label)
  dim note
  note = "local"
  Interpret("counter = counter + 1  label = label & ""!""  note = note & ""?""  total = total + Twice(counter)")
  echo(counter & " " & label & " " & note & " " & total)
end sub
total = 1
n = 1
Update(n, "argument")
echo(n & " " & total)
' Declarations in the code declare variables of its own.
Interpret("dim own  own = n * 100  echo(own)")
' Its loops keep their limits apart from the routine's.
for i = 1 to 2
  Interpret("for j = 1 to 3 step 2  echo(i & j)  next")
next
' Interpreted code interprets code in the same routine.
Interpret("Interpret(""n = n * 10"")  echo(n)")
' Errors inside reach the script's try.
try
  Interpret("n = n div 0")
except
  echo("runtime error caught")
end
try
  Interpret("n = ")
except
  echo("compile error caught")
end
echo(n)
