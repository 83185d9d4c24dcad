//! interactive
// Negative and fractional powers and division by a series, in exact rationals: a monomial's
// integer power is exact; other series expand around their constant term under the truncation
// in force (error 271 without one, 24 without a constant term), and the session goes on.
crevar x, y;
a = x^(-2);
_modenum = NUMRAT;
_affc = 5;
b = (1+x)^(-1);
_tronc = {x, 4};
c = (1+x)^(-1);
d = (1+x)^(1/2);
d*d;
c*(1+x);
g = (x + x^2)/(1 - x);
h = 1/(x+y);
k = (2+y)^(-1);
_tronc = {[x, y], 3};
m = 1/(1 - x - y);
size(m);
