-- A numeric loop of 10 million iterations.
local total = 0
for i = 1, 10000000 do
  total = total + (i * 2) % 7
end
print(total)
