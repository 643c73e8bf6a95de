dim counter, label
sub bump
  counter = counter + 1
  public total
  total = counter * 10
end sub
function readlabel
  readlabel = label
end function
counter = 0
label = "global"
bump
bump
echo(counter)
echo(total)
echo(readlabel())
localonly = 3
echo(localonly)
