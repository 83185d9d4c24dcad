//! interactive
// What a name means inside and around macro calls made again and again from loops: each call is
// a new pile, and a name read in the body is the parameter of that very call.
// A recursive macro: at every depth its parameter is that call's own, and the global of the same
// name stays apart.
a = 1000$
macro down[a] { if (a > 0) then { return a + %down[a - 1]; } else { return a * 1000; }; };
for k = 1 to 3 { %down[k]; };
a;
// Two macros calling each other: n is the parameter in one and the global in the other, at
// every depth.
n = 1000$
macro f[n] { if (n > 0) then { return n + %g[n - 1]; } else { return 0; }; };
macro g[k] { return n + %f[k]; };
for k = 1 to 2 { %f[3]; };
// A macro reading a global whose name is a parameter of the macro that calls it.
x = 100$
macro readx[] { return x; };
macro usex[x] { return x + %readx[]; };
for k = 1 to 3 { %usex[k]; };
// A macro that creates, deletes and re-creates a global: its caller's next statement reads the
// new one.
macro makeg[v] { g = v$ return 0; };
for k = 1 to 2 { w = %makeg[10 * k]$ g; };
macro redo[v] { delete(g); g = v$ return 0; };
for k = 1 to 3 { w = %redo[k]$ g; };
// The parameters of two macros named alike in different order, and optional arguments.
macro sub2[p, q] { return p - q; };
macro sub3[q, p] { return p - q; };
for k = 1 to 2 { %sub2[10, k]; %sub3[10, k]; };
macro opt[p, ...] { return p + macro_optargs[1]; };
for k = 1 to 2 { %opt[k, 100]; %opt[k, 200, 300]; };
// A parameter read inside a loop of the body, and the loop counter of the caller with the same
// name as the parameter.
macro total[n] { r = 0$ for m = 1 to n { r = r + n$ }; return r; };
for n = 1 to 3 { %total[n]; };
// A parameter passed by reference, assigned in the body, read by the caller in the same turn.
macro bump[v] { v = v + 1$ return v; };
u = 0$
for k = 1 to 3 { %bump[[u]]; u; };
// Methods: inside a method %norm means the sibling method on the same object, outside it the
// public macro of that name; each call in a loop finds its own.
struct pt { x = 0; y = 0; };
pt P, Q;
P@x = 3$ Q@x = 5$
macro norm[v] { return -v; };
macro pt@norm { return x * x + y * y; };
macro pt@twice[k] { return k * %norm; };
for k = 1 to 2 { P%twice[k]; Q%twice[k]; %norm[k]; };
// A macro that redefines itself, and one that deletes itself, while they run: the running call
// ends with the body it started, the next call finds the new definition or none.
macro again[x] { macro again[x] { return x * 100; }; return x + 1; };
for k = 1 to 3 { %again[k]; };
macro once[x] { effmac once; return x; };
for k = 1 to 2 { %once[k]; };
// After the calls the parameter names are unknown again: error 38, then the session goes on.
p + 1;
p = 5;
%sub2[p, 1];
