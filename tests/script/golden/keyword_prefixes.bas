doit = 1
format = 2
ifx = 3
nextone = 4
endless = 5
remark = 6
echoed = 7
echo(doit + format + ifx + nextone + endless + remark + echoed)
