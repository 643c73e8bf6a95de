REM a remark at the start
x = 1 ' a comment
REM another remark
y = "it's ' not a comment" : REM after a colon
echo(x) 'glued
echo(y)
remark = 2
echo(remark)
