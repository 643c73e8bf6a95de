' An error the machine finds itself names the instruction, the stack and
' the place, like an error of any other kind.
n = 5
echo("before")
x = TItem(n).Name
