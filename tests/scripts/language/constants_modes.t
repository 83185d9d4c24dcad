//! interactive
// A named number keeps the value it was stored with: read under another numeric mode it gives a
// converted copy, and the exact value is there again when its own mode comes back.
_modenum = NUMRATMP;
a = 1/10;
c = 1/3;
_modenum = NUMDBL;
a;
b = a*3;
_modenum = NUMRATMP;
a;
a*3;
b;
_modenum = NUMQUAD;
c;
sin(c);
_modenum = NUMRAT;
c;
_modenum = NUMRATMP;
c;
// a copy made under another mode belongs to that mode
_modenum = NUMDBL;
e = c;
_modenum = NUMRATMP;
e;
c;
// a double stored in NUMDBL is used as it is in the rational modes
_modenum = NUMDBL;
d = 0.1;
_modenum = NUMRATMP;
d;
d*10;
