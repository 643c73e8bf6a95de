' A counter that steps past the largest integer, and one counting down past
' the smallest: both end with the first value that failed the test.
for i = 2147483645 to 2147483647
  echo(i)
next
echo(i)
for j = -2147483647 to -2147483648 step -1
  echo(j)
next
echo(j)
' A limit that is not a whole number, and a counter changed in the body.
for k = 1 to 2.5
  echo(k)
next
for m = 1 to 10 step 3
  m = m + 1
  echo(m)
next
echo(m)
