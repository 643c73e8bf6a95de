sub first
  second
end sub
sub second
  echo(1)
end sub
