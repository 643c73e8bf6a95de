sub later forward
sub now
  later
end sub
now
