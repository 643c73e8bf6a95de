# A numeric loop of 10 million iterations.
total = 0
for i in range(1, 10000001):
    total = total + (i * 2) % 7
print(total)
