//! interactive
// Elements read and written one at a time, sums of returned elements and macros that return
// numbers: the same values, errors and modes whatever path the evaluator takes for them.
vnumR x$ resize(x, 3)$
for k = 1 to 3 { x[k] = k/2$ };
x;
x[2]; x[0]; x[4];
x[1.5];
x[4] = 7$ x;
x[0] = 1$
k = 2$ x[k] = 9$ x[k]; x[k+1];
vnumC z$ resize(z, 2)$ z[1] = 1$ z[2] = 2*i$ z; z[2]; z[1] = 3.5$ z[1];
_modenum = NUMRAT$ x[1] = 1/3$ x[1]; y = x[1]*3; y;
_modenum = NUMDBL$ x[2] = 1/3$ x[2]; 
s = sum k = 1 to 3 { return x[k]; }; s;
p = prod k = 1 to 3 { return k; }; p;
macro half[a] { return a/2; }; %half[3]; h = %half[5]; h;
macro twice[a] { return a/2; return a*2; }; %twice[3];
macro sret[a] { return 1; return "s"; }; %sret[3];
macro nret[a] { return "s"; return a + 1; }; %nret[3];
q = sum k = 1 to 3 { if (k == 2) then { return 10; }; return k; }; q;
vnumR idx$ idx[1] = 3$ idx[2] = 1$ x[idx];
x[1:2];
