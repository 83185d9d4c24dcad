//! interactive
// Elements, names and literals read in place where a number is wanted: as the value of an
// assignment, as operands of sums and comparisons, through a macro's parameters; anything else
// takes the general way and reports as before.
vnumR x$ resize(x, 4)$
for k = 1 to 4 { x[k] = 5 - k$ };
y = x[2]; z = x[4]; w = 7$
x[1] = w$ x[2] = 2.5$ x;
x[1] + x[4]; x[4] - w; x[3] * 2; 2 / x[4];
for k = 1 to 3 { if (x[k] < x[k + 1]) then { k; }; };
for k = 1 to 4 { if (x[k] == 2) then { k; }; };
// Through a parameter bound by reference and by value, and macro_optargs.
macro getk[v, k] { return v[k] + k; };
%getk[[x], 3]; %getk[x, 4];
macro setk[v, k, c] { v[k] = c$ return v[k]; };
%setk[[x], 2, w]; x[2];
macro firstopt[...] { return macro_optargs[1] + macro_optargs[2]; };
%firstopt[x[1], 3];
// Subscripts that are no whole numbers, names that hold no number, past the end; good ones after.
h = "text"$
x[h] + 1;
x[1] + x[1.5];
x[9] + 1;
h + x[1];
x[4] = h$
x[5] = w$ x[5]; size(x);
