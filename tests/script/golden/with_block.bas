with NewItem("w")
  Value = 3
  Name = Name & "!"
  echo(Name & Value)
  with Child
    Value = 8
    echo(Name & Value)
  end with
  echo(Value)
end with
with TItem.Create("again")
  echo(Name)
end with
