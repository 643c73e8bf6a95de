' Text files: written, appended to and read back by lines, with positions
' and sizes; a failing file operation raises InOutError with the system's
' reason and code.
dim f, missing
AssignFile(f, TempFolder & "/lines.txt")
Rewrite(f)
WriteLn(f, "first")
Write(f, 1 + 1)
WriteLn(f, " second")
echo(FilePos(f))
CloseFile(f)
Append(f)
echo(FilePos(f))
WriteLn(f, True)
CloseFile(f)
Reset(f)
echo(FileSize(f))
while not EOF(f)
  position = FilePos(f)
  echo(position & ": " & ReadLn(f))
end while
echo("[" & ReadLn(f) & "]")
CloseFile(f)
Rewrite(f)
try
  ReadLn(f)
except
  echo(LastExceptionClassName & " " & LastExceptionHelpContext)
end
CloseFile(f)
try
  CloseFile(f)
except
  echo(LastExceptionClassName & " " & LastExceptionHelpContext)
end
AssignFile(missing, "/nonexistent-vantrel-folder/none.txt")
try
  Reset(missing)
except
  echo(LastExceptionClassName & " " & LastExceptionHelpContext)
  echo(LastExceptionMessage)
end
try
  Chdir("/nonexistent-vantrel-folder")
except
  echo(LastExceptionMessage)
end
Reset(5)
