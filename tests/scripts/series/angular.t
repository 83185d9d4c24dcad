//! interactive
// Angular exponential variables from exp(i*a*l) of a polynomial variable l: made once per factor
// and named _EX<angle><k>; their powers are signed, so E*E^(-1) is 1 and (E + 1/E)^2 has the
// terms E**-2, 2 and E**2; exp of anything else is error 112 and the session goes on.
crevar l, m;
E = exp(i*l);
F = exp(i*l);
G = exp(2*i*l);
E*E^(-1);
s = (E + E^(-1))^2;
size(s);
min(s, _EXl1);
exp(l);
exp(i*l*m);
H = exp(3*i*m);
