i = 0
while i < 3
  i = i + 1
  echo("while " & i)
end while
do while i > 0
  echo("do while " & i)
  i = i - 1
loop
do until i = 2
  i = i + 1
loop
echo("until " & i)
do
  i = i + 1
loop while i < 5
echo("loop while " & i)
do
  i = i - 1
loop until i < 0
echo("loop until " & i)
do
  if i > 2 then exit do end if
  i = i + 1
loop while true
echo("exit do " & i)
while true
  exit do
end while
do while false
loop
echo("done")
