' Errors raised in called routines are caught by the caller's try, which
' finds its own variables as it left them.
function inner(n)
  dim doubled
  doubled = n * 2
  x = 1 / 0
  inner = doubled
end function

sub middle(n)
  echo(inner(n))
end sub

function outer
  dim keep
  keep = "kept"
  try
    middle(5)
  except
    echo("caught " & keep)
  end
  outer = keep & " after"
end function

function deep(n)
  deep = deep(n + 1)
end function

echo(outer())
a = 1
try
  a = inner(a)
except
  echo("a is " & a)
end
try
  deep(1)
except
  echo("deep stopped")
end
echo(outer())
