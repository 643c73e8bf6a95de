' A host method that writes to its argument gets a variable by reference;
' any other expression goes as a value, and the method refuses it when it
' runs.
x = 4
Twice(x)
echo(x)
Twice(x + 0)
echo("not reached")
