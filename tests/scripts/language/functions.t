//! interactive
// One-argument functions: numbers of every kind through their own operation, exact where the
// mode is exact, and any other value reported as not applicable.
sin(1.0);
sqrt(2);
abs(-3/4);
abs(3 - 4*i);
exp(i*pi);
nint(2.5);
sign(-2.5);
erf(0.5);
fac(5);
fac(-1);
_modenum = NUMRATMP;
fac(25);
abs(-7/3);
_modenum = NUMDBL;
s = "abc"$
sin(s);
cos(0);
