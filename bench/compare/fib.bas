' Recursive Fibonacci of 27.
function fib(n)
  if n < 2 then
    fib = n
  else
    fib = fib(n - 1) + fib(n - 2)
  end if
end function

echo(fib(27))
