with Add(1, 2)
  echo(1)
end with
