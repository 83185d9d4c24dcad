//! interactive
// Sums and products of names and literals read their numbers where they are stored: a value kept
// under another numeric mode follows the mode in force, a macro's parameter is read through its
// binding, and anything that is not a number takes the general way and reports as before.
_modenum = NUMRAT;
q = 1/3$
t = q + q;
_modenum = NUMDBL;
q + q;
q * 3;
q;
_modenum = NUMRAT;
q + 1/6;
// A loop accumulating in one mode, then continuing in another: the accumulator changes type.
r = 0$
for k = 1 to 3 { r = r + 1/k$ };
r;
_modenum = NUMDBL;
for k = 1 to 3 { r = r + 1/k$ };
r;
_modenum = NUMRAT;
for k = 1 to 2 { r = r + k$ };
r;
_modenum = NUMDBL;
// Parameters by value and by reference in sums, and a reference to a name without a value.
macro addp[a, b] { return a + b; };
u = 5$
%addp[u, 2];
%addp[[u], u];
macro readref[a] { return a + 1; };
%readref[[nosuchname]];
%readref[[u]];
// A name that holds no number, a name that does not exist, then good statements.
s = "text"$
s + 1;
1 + zz;
zz = 4$
zz + zz;
zz * 2.5;
// Doubles that cancel give the number zero; a counter that passes through zero, downwards too.
a = 0.25$ b = a - a; c = a * 0; d = b + a;
if (a < d || a != d || a >= 0.3) then { 1; } else { 0; }; if (a == d && b == c && b <= 0) then { 2; };
for k = -1 to 1 step 0.5 { k; };
for k = 1 to -1 step -1 { k * k; };
// An accumulator written over in place reaches zero, then goes on; a product and a difference.
t = 1$ for k = 1 to 3 { t = t - 0.5$ t; };
p = 1.5$ for k = 1 to 3 { p = p * k$ q = p - k$ }; p; q;
