sub ___main___
  echo("taken over")
end sub
echo("main")
