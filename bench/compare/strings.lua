-- A string built from 100,000 appends.
local s = ""
for i = 1, 100000 do
  s = s .. "abc"
end
print(s:sub(300000, 300000))
