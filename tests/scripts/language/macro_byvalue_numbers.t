//! interactive
// A number passed by value is the parameter's own: changing it in the body (in place, by a sum
// written over it, by a value of another kind, by deleting it) never reaches the caller's
// variable, in every numeric mode, and the printed values stay exact. The caller's variable is
// shown after each call.
macro bump[a] { a = a + 1$ a = a * 2$ return a; };
macro twice[a] { a = a + a$ a; return a; };
macro other[a] { a = "text"$ a; return 0; };
macro gone[a] { delete(a); return 5; };
macro show[a, b] { a; b; return a - b; };
s = 3$
%bump[s];
s;
%twice[s];
s;
%other[s];
s;
%gone[s];
s;
%show[s, s];
s = 2.5$
%bump[s];
s;
for k = 1 to 3 { s = %bump[s]$ };
s;
_modenum = NUMRAT;
r = 1/3$
%bump[r];
r;
%twice[r];
r;
m = 4611686018427387904$
%bump[m];
m;
_modenum = NUMRATMP;
z = 2^100 + 1/7$
%bump[z];
z;
%twice[z];
z;
for k = 1 to 3 { z = %bump[z]$ };
z;
_modenum = NUMQUAD;
q = 1/3$
%bump[q];
q;
_modenum = NUMFPMP;
f = 1/3$
%bump[f];
f;
%show[f, 1/7];
f;
_modenum = NUMDBL;
c = 1 + 2*i$
%bump[c];
c;
%twice[c];
c;
// A value made under one mode reaches a body run under another: the parameter follows the mode
// in force when it is read, the caller's variable keeps its value.
_modenum = NUMRATMP;
e = 1/3$
_modenum = NUMDBL;
%bump[e];
e;
_modenum = NUMRATMP;
e;
_modenum = NUMDBL;
// An expression, a literal and an element as arguments.
x = 10$
%bump[x + 1];
%bump[7];
vnumR v$
resize(v, 2)$
v[1] = 4$
%bump[v[1]];
v;
// A bad call, then a good one.
%bump[s, s];
%bump[s];
s;
// The caller's variable changed by the body leaves the parameter as it was passed, in loops too.
macro touch[a] { s = 99$ return a; };
s = 5$
%touch[s];
s;
for k = 1 to 3 { s = k$ t = %touch[s]$ };
t;
s;
