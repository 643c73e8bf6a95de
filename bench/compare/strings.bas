' A string built from 100,000 appends.
s = ""
for i = 1 to 100000
  s = s & "abc"
next
echo(s[300000])
