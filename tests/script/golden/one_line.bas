x = 1 : y = 2
echo(x + y)
x = 3 y = 4 echo(x * y)
if x = 3 then echo("three") else echo("other") end if
