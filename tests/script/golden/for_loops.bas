for i = 1 to 3 step 0.5
  echo(i)
next
for i = 5 to 1 step -2
  echo(i)
next
for i = 1 to 0
  echo("never")
next
echo(i)
for j = 1 to 3
next
echo(j)
n = 0
for k = 1 to n + 2
  n = n + 10
  echo(k)
next
for x = 2 to 1 step -0.25 echo(x) next
