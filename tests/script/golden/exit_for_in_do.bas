for i = 1 to 3
  do
    exit for
  loop while false
next
