//! interactive
// The ordering in force (_ior, 0 to 3, ordering 1 at start) and the ranks of variables: each
// new variable takes the next rank in every ordering; an ordering outside 0..3 is error 4 and the
// session keeps the one it had; series made under one ordering are used under another.
crevar x, y;
_ior;
stat x;
stat y;
s = (1 + x + y)^2;
_ior = 4;
_ior;
_ior = 0;
crevar z;
stat z;
s*(1+z);
_ior = 1;
s;
