//! interactive
// Macros: return (the last one wins), value and reference arguments, optional arguments,
// argument counts, and the visibility of the caller's identifiers.
macro twice { return 1; return 2; };
%twice;
macro inc[n] { n = n + 1$ };
m = 5$
%inc[[m]];
m;
%inc[m];
m;
macro opt[a, ...] { msg("%d then %d and %d\n", a, macro_optargs[1], macro_optargs[2]); };
%opt[1, 2, 3];
%opt[1, 2];
%opt;
macro two[a, b] { return a + b; };
%two[1];
%two[1, 2, 3];
%nothere[1];
macro dup[a, a] { };
macro f[x] { return x*x; };
y = %f[%two[1, 2]];
hidden = 7$
macro peek { return hidden; };
%peek;
macro local { private hidden; hidden = 1; return hidden; };
%local;
hidden;
affmac two;
effmac two;
%two[1, 2];
yy = 1$
macro del[x] { delete(yy); };
%del[[yy]];
yy;
zz = 2$
macro d2 { delete(zz); return 1; };
w = zz + %d2;
zz;
help effmac;
help nosuchword;
macro self { macro self { return 2; }; return 1; };
%self;
%self;
macro gone { effmac gone; return 3; };
%gone;
%gone;
