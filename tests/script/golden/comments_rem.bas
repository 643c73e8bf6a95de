x = 1
	REM indented with a tab
REM
if x = 1 then	REM after a tab
  echo("one")
end if
rem	echo("tab after rem")
echo("two")
REM