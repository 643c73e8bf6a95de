sub inc(byref a)
  a = a + 1
end sub
inc(1)
