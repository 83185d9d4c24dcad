//! interactive
// NUMRAT computes exactly in 64-bit rationals: a value becomes a double only when a numerator or
// denominator leaves the signed 64-bit range, or when a literal with a decimal point takes part.
_modenum = NUMRAT;
a = 1/3;
b = 1/10 + 2/10 - 3/10;
c = 3037000499^2;
d = 2**62;
e = (2/3)**3;
x = 1; y = 3; x/y;
m = -9223372036854775807 - 1;
// past 64 bits: doubles
f = 3037000500^2;
g = 2**63;
t = 9223372036854775807 + 1;
big = 9223372036854775808;
fac(20);
fac(21);
// a literal with a decimal point is a double, and so is what it meets
h = 0.5;
h + 1/3;
// negative exponents, roots and functions
2^-3;
(2/3)^-2;
sqrt(4/9);
sqrt(2);
2**0.5;
cos(1/3);
nint(7/2);
abs(-7/2);
(1 + 2*i)/(3 - i);
// division by zero is reported and the session goes on
q = 1/0;
q = 2/3;
q = 0^-1;
q;
// comparisons are exact
if (1/3 == 2/6) then { msg("1/3 == 2/6\n"); };
if (c < c + 1) then { msg("c < c + 1\n"); };
if (1/3 < 0.5) then { msg("1/3 < 0.5\n"); };
// loop counters stay exact
for k = 1/2 to 2 step 1/2 { k; };
// the printed forms: a fraction in every _affc, the aligned one in _affc 7
_affc = 2; a;
_affc = 7; a;
_affc = 4;
// numeric vectors hold doubles in this mode; an exact index still works
vnumR v;
v[2] = 1/3;
v[4/2];
