// Series whose coefficients are numbers of each kind: complex doubles, 64-bit and GMP rationals,
// quadruple precision and MPFR floats, displayed with the number format of their type; a series
// made in one mode follows the mode in force when it is used again.
crevar x, y;
a = (1+2*i)*x + 3*i*y;
_modenum = NUMRAT;
b = x/3 - 2/7;
_modenum = NUMRATMP;
c = (x/3 - 1/2)^2;
_modenum = NUMQUAD;
q = x/3;
_modenum = NUMFPMP;
_modenum_prec = 20;
f = x/3;
_modenum = NUMRATMP;
c*3;
_modenum = NUMDBL;
_affc = 1;
c + y;
