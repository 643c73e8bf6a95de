for Counter = 1 to 2
next
