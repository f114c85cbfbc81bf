10 PRINT "カナ月┏━┓":REM ｶﾅ
20 DATA 1,あ
30 A=TAB(1)+INKEY$
