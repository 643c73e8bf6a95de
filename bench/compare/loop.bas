' A numeric loop of 10 million iterations.
total = 0
for i = 1 to 10000000
  total = total + (i * 2) mod 7
next
echo(total)
