' Variables start Unassigned (Empty), which counts as 0 and as "": globals
' when the script is first run, locals in every call.
dim g
function Add(n)
  dim total
  total = total + n
  Add = total
end function
function NoResult(n)
  dim unused
end function
echo(g + 1)
echo(Add(2))
echo(Add(3))
echo(NoResult(1) + 1)
dim local
echo("[" & local & "]" & (local = 0))
