' Raise and the last exception a script's try ... except caught; the
' dialogs of a host without windows reply Cancel or No.
try
  Raise("first failure")
except
  echo(LastExceptionClassName & " " & LastExceptionHelpContext)
  echo(LastExceptionMessage)
end
try
  x = 1 div 0
except
  echo(LastExceptionClassName & " " & LastExceptionHelpContext)
  echo(LastExceptionMessage)
end
try
  CreateOleObject("Excel.Application")
except
  echo(LastExceptionMessage)
end
try
  GetActiveOleObject("Excel.Application")
except
  echo("GetActiveOleObject refused")
end
try
  CreateObject("Scripting.FileSystemObject")
except
  echo("CreateObject refused")
end
echo(Assigned(Scripter) and Assigned(Machine))
reply = "kept"
echo(InputQuery("Caption", "Prompt", reply))
echo(reply)
echo("[" & InputBox("Prompt", "Title", "default") & "]")
echo(MsgBox("Save?", vbYesNo + vbQuestion, "Title"))
echo(MsgBox("Done", vbOKOnly, "Title"))
echo(MsgBox("Again?", vbRetryCancel, "Title"))
ShowMessage("shown on standard error")
Beep
Raise("last words")
