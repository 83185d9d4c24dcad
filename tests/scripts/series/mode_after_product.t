//! interactive
// A product of the kernels' size, used more than once under the mode it was made in, still
// follows every later change of _modenum: exact, then doubles, then back under the exact mode
// (doubles stay doubles), then quadruple precision. A bad statement between uses loses nothing.
crevar x, y;
_modenum = NUMRATMP$
f = (1+2*x+y)^3$
p = f*f$
size(p);
p - (1+2*x+y)^6;
_modenum = NUMDBL$
p;
p = p +$
size(p);
_modenum = NUMRATMP$
p;
_modenum = NUMQUAD$
p;
