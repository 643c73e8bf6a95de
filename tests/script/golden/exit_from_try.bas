' Control that leaves a protected block by a jump ends the block: a finally
' part runs on the way out, and an except part catches nothing raised after.
function Counted
  for i = 1 to 3
    try
      if i = 2 then
        exit for
      end if
      echo("try " & i)
    finally
      echo("finally " & i)
    end
  next
  echo("after the loop")
  Counted = "done"
end function

sub Leave
  do while True
    try
      exit do
    except
      echo("never")
    end
  loop
  echo("left the do")
  Fail("raised after the protected block")
end sub

sub Early
  try
    exit sub
  finally
    echo("finally of early")
  end
  echo("not reached")
end sub

sub FromExcept
  try
    Fail("inside")
  except
    echo("except part")
    exit sub
  end
  echo("not reached")
end sub

echo(Counted())
try
  Leave()
except
  echo("caught by the caller")
end
Early()
FromExcept()
echo("end")
