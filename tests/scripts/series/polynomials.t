//! interactive
// Polynomial variables and series at the prompt: declaration, the defaults of the display, the
// sign rules, normalised results, the three display forms, ranks of late variables, size and
// degrees, and the errors that leave the session going.
crevar x, y;
s = 1 + 2*x;
m = -x;
p = (1+x)*(1-x);
size(p);
q = x - x;
f = (1+x+y)^3;
size(f);
max(f, x);
min(f*x, y);
_affdist = 0;
f;
_affdist = 1;
f;
_affdist = 9;
_affdist;
_affdist = 2;
_affc = 5;
h = x/2 - 3*y^2;
_affc = 4;
crevar x;
crevar a;
g = (a+x)^2;
stat a;
v = x;
w = 2*v^0;
e = x^(-1);
f/0;
x + 1;
big = x^2147483647$
max(big, x);
big*x;
x^2147483648;
(1+x)^2;
if (p == 1 - x^2) then { msg("equal\n"); };
if (p != 1 - x^2 + y) then { msg("different\n"); };
if (p == 1) then { msg("wrong\n"); } else { msg("a series is not a number\n"); };
