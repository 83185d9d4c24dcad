//! interactive
// a = 1/3+2 in every numeric mode the language selects, and in every _affc format.
a = 1/3+2;
// A fresh session prints doubles with _affc 4 ("%23.16G"): whole numbers keep every digit.
_affc;
n = 2686700.0;
_modenum = NUMRAT;
a = 1/3+2;
_modenum = NUMRATMP;
a = 1/3+2;
_modenum = NUMQUAD;
a = 1/3+2;
_modenum = NUMFPMP;
a = 1/3+2;
_modenum = NUMDBL;
_affc = 1; a;
_affc = 2; a;
_affc = 3; a;
_affc = 4; a;
_affc = 5; a;
_affc = 6; a;
_affc = 7; a;
_affc = 8; a;
_affc = 9; a;
_affc = 10;
_affc;
_affc = 0;
_affc = 2.5;
_affc = 1;
b = 2**10 - 3*4/2;
c = (1 + 2) * -3;
