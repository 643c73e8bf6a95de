x = 1
for True = 1 to 2
  x = x + 1
next
echo(x)
