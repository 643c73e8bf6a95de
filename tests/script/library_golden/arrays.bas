' The system library's array functions; dimensions count from 1.
a = [10, 20, 30]
echo(Low(a) & " " & High(a))
e = []
echo(Low(e) & " " & High(e))
' Bounds in pairs per dimension; type 12 makes elements that start Unassigned.
m = VarArrayCreate([1, 3, -2, 2], 12)
echo(VarArrayLowBound(m, 1) & " " & VarArrayHighBound(m, 1) & " " & VarArrayLowBound(m, 2) & " " & VarArrayHighBound(m, 2))
echo(IsEmpty(m[1, -2]))
m[3, 2] = "x"
echo(m[3, 2])
' Elements of a typed array start as the type's zero.
n = VarArrayCreate([0, 1], 3)
echo(n[0] + n[1] + 1)
t = VarArrayCreate([0, 0], 8)
echo(IsEmpty(t[0]) & " [" & t[0] & "]")
z = VarArrayCreate([5, 4], 12)
echo(Low(z) & " " & High(z))
echo(SetOf([0, 1, 4]) & " " & SetOf([31]) & " " & SetOf([33, -1]) & " " & SetOf([]))
