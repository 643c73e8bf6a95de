o = NewItem("v")
with o
  echo(Name)
end with
