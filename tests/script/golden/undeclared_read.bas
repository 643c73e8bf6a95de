x = y
