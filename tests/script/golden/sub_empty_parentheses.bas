sub s()
  echo(1)
end sub
s()
