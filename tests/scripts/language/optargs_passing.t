//! interactive
// macro_optargs as an argument passes the running macro's optional arguments on: their values,
// references as references, after other arguments, and none when there are none.
macro show[...] { msg("%d optional:", macro_optargs[1]); for k = 2 to macro_optargs[1] + 1 { msg(" %g", macro_optargs[k]); }; msg("\n"); };
macro count[...] { private n, x; n = 0$ for k = 1 to 9 { try { x = macro_optargs[k]$ n = n + 1$ } catch { stop$ }$ }$ return n; };
macro pass[a, ...] { %show[%count[macro_optargs], macro_optargs]; };
_info off;
%pass[1, 2.5, 3, 4];
%pass[1];
macro inc[x] { x = x + 1$ };
macro bump[...] { %inc[macro_optargs]; };
m = 5$
%bump[[m]];
m;
%bump[m];
m;
x = macro_optargs;
macro g[a, b] { return a - b; };
macro pass2[...] { return %g[macro_optargs]; };
%pass2[10, 4];
%pass2[10];
