' A string built from 100,000 appends to a global, as a page builds its text.
dim s
s = ""
for i = 1 to 100000
  s = s & "abc"
next
echo(s[300000])
