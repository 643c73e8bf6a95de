' Objects a script creates: Create, Free, Assigned, "is", the object's
' number standing for it, and a freed object refusing every later use.
o = TObject.Create
echo(Assigned(o))
echo(o is TObject)
echo(o is TextFileClass)
same = o
o.Free
echo(Assigned(o))
try
  same.Free
except
  echo("freed once: " & LastExceptionClassName)
end
n = TObject.Create
number = n + 0
number.Free
try
  echo(n is TObject)
except
  echo("freed through its number")
end
dim never_set
echo(Assigned(never_set))
o.Free
