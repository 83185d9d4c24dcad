//! interactive
// A result that is zero is the number zero whatever computed it: a product or a quotient that
// underflows, nint, the functions that vanish, the real part of a pure imaginary number. It
// prints 0 (never -0), and dividing by it is a division by zero, not an infinity.
a = 1e-200*1e-200;
1/a;
b = 1e-200/1e200;
1/b;
f = 1e-200^2;
1/f;
c = nint(-0.4);
1/c;
d = log(1);
1/d;
e = exp(-1000);
1/e;
g = real(3*i);
1/g;
h = arg(2);
1/h;
1/2;
_modenum = NUMQUAD;
q = nint(0.4);
1/q;
1/log(1);
_modenum = NUMFPMP;
r = acos(1);
1/r;
_modenum = NUMRAT;
1/(1e-200*1e-200);
1/nint(2/5);
s = 1/3 - 1/3;
1/s;
1/4;
