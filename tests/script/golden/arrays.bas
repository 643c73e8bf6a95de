a = [1, 2, [3, 4]]
echo(a[1])
echo(a[2][1])
echo(a[2, 0])
a[0] = 9
echo(a[0] + a[1])
b = a
b[0] = 0
echo(a[0])
e = []
v = [a[0] * 2, "x" & 1]
echo(v[0] & v[1])
