s = 2
for i = 1 to 10 step s
  echo(i)
next
