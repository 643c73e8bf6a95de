dimension = 1
