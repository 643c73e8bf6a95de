for i = 1 to 3
  exit do
next
