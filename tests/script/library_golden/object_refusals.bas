' The host's objects cannot be freed by a script and stay usable; a class
' without a way to make its objects cannot be created.
try
  Internal.Free
except
  echo(LastExceptionMessage)
end
echo(Internal.LastExceptionClassName)
try
  Machine.Free
except
  echo(LastExceptionMessage)
end
echo(Machine is TObject)
f = TextFileClass.Create
