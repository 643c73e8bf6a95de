' An element of Format's vector that is no number, text or Boolean.
echo(Format("%s", ["fine"]))
echo(Format("%s %s", ["fine", Null]))
