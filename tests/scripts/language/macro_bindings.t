//! interactive
// Parameters bound by position: deleting one in the body frees its name (the global of that
// name is seen again; a parameter bound by reference unbinds, its referent stays), a tenth and
// optional arguments beside the positional ones, a method's parameter named self (given twice),
// recursion where each call has its own bindings, and by-reference arguments swapped.
a = 100$
macro drop[a] { delete(a); return a; };
%drop[1];
a;
macro dropset[a] { delete(a); a = 7$ return a; };
%dropset[1];
a;
macro setit[x] { x = 5$ };
macro hold[x] { %setit[[x]]; return x; };
%hold[3];
macro keep[x] { %pin[[x]]; return x; };
macro pin[y] { delete(y); return 1; };
%keep[2];
macro gone[b] { delete(b); return b; };
%gone[1];
b = 4$
macro ten[p1, p2, p3, p4, p5, p6, p7, p8, p9, p10] { return p1 + p2 + p3 + p4 + p5 + p6 + p7 + p8 + p9 + 10*p10; };
%ten[1, 1, 1, 1, 1, 1, 1, 1, 1, 1];
%ten[1, 1, 1, 1, 1, 1, 1, 1, 1];
macro tenopt[p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, ...] { return p9 + p10 + macro_optargs[1]; };
%tenopt[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11];
macro nine[p1, p2, p3, p4, p5, p6, p7, p8, p9] { delete(p9); p9 = 1$ return p8; };
%nine[1, 2, 3, 4, 5, 6, 7, 8, 9];
p9;
struct pair { u = 1; };
pair Z;
macro pair@first[self] { return 1; };
macro pair@show[k] { return u + k; };
Z%first[2];
Z%show[2];
macro fact[n] { if (n <= 1) then { return 1; } else { return n * %fact[n - 1]; }; };
%fact[10];
macro swap[x, y] { private t; t = x$ x = y$ y = t$ };
s1 = 1$ s2 = 2$
%swap[[s1], [s2]];
s1;
s2;
