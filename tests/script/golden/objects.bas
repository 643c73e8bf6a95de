item = NewItem("first")
item.Value = 5
echo(item.Describe())
echo(NewItem("second").Describe)
echo(item.Child.Name)
item.Child.Value = 7
echo(item.Child.Describe())
echo(item.Items[3])
made = TItem.Create("made")
echo(made.Name)
echo(TItem.Create("direct").Describe())
loose = AnyItem("loose")
loose.Value = 9
echo(loose.Describe())
echo(TItem(loose).Name)
echo(loose is TItem)
echo(5 is TItem)
Counter = 4
Counter = Counter + 1
echo(Counter)
echo(Answer + 1)
x = 20
Twice(x)
echo(x)
echo(Add(2, 3) * 2)
echo(True & "," & False & "," & (Null = Null))
