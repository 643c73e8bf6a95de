dim limit
sub test(v)
  select case v
    case 1
      echo("one")
    case 2, 3
      echo("two or three")
    case 1.5
      echo("one and a half")
    case limit
      echo("the limit")
    case limit * 2, limit * 3
      echo("a multiple")
    case else
      echo("other " & v)
  end select
end sub
sub words(w)
  select case w
    case "a", "b"
      echo("letter " & w)
    case "say ""x"""
      echo("quoted")
  end select
end sub
limit = 10
test(1)
test(3)
test(1.5)
test(10)
test(30)
test(7)
words("b")
words("say ""x""")
words("none")
select case 5
  case 4
end select
select case 4
  case 4
  case 5
    echo("not here")
end select
n = 2
select case n + 1
  case n
    echo("n")
  case n + 1
    echo("n + 1")
end select
echo("end")
