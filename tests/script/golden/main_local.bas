sub show
  echo(x)
end sub
x = 5
show
