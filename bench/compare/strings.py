# A string built from 100,000 appends.
s = ""
for i in range(100000):
    s = s + "abc"
print(s[299999])
