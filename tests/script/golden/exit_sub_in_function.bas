function f
  exit sub
end function
