try
  echo("before")
  Fail("broken")
  echo("not reached")
except
  echo("caught")
end
try
  echo("protected")
finally
  echo("finally runs")
end
try
  try
    Fail("inner")
  finally
    echo("inner finally")
  end
except
  echo("outer caught")
end
try
except
end
echo("after")
try
  Fail("escapes")
finally
  echo("last finally")
end
echo("never")
