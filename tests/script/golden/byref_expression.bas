sub inc(byref a)
  a = a + 1
end sub
x = 1
inc(x + 0)
