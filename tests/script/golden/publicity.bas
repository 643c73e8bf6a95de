x = 1
publicity = 1
