end = 1
