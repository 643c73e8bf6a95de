a = 1
if a then end if
