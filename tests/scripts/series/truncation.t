//! interactive
// Truncations typed at the prompt: groups of one variable and of several, joined with +; the
// product never keeps a term beyond a group's level; {x, 0} keeps only what is free of x; the
// monomial truncation keeps one power of x; a variable repeated among single-variable groups is
// error 266 and the session goes on; deleting _tronc lifts the truncation.
crevar x, y, z;
_tronc = {x, 3} + {y, 2};
a = ((1+x)*(1+y))^4;
_tronc = {[x, y], 4} + {[y, z], 3};
b = (x+y+z)^5;
max(b, z);
_tronc = {x, 0};
c = (1+x)*(1+x);
c2 = (1+x)^2;
_tronc = {x, 3} + {x, 2};
_tronc;
delete _tronc;
c = (1+x)*(1+x);
_trmon = {x, 2};
d = (1+x)*(1+x);
_trmon = {x, 1};
d = (1+x)*(1+x);
_trmon = {x, 3};
d = (1+x)*(1+x);
delete _trmon;
t = {1, 2};
_tronc = {[x, y], 4} + {[y, z], 3} + {x, 2};
stat y;
stat x;
delete _tronc;
stat y;
