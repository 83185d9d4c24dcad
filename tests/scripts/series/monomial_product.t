//! interactive
// Products under a monomial truncation keep one power of each listed variable (the list in any
// order, a variable listed second in rank first), also together with a degree truncation, and
// equal the whole product with that power picked out; a power is taken whole and then reduced.
crevar x, y, z;
a = (1 + x + y + z)^2$
b = (1 + 2*x - y + z)^2$
w = a*b$
_trmon = {y, 1} + {x, 2};
a*b;
w;
a^2;
_tronc = {z, 0};
a*b;
delete _trmon;
c = a*b$
_trmon = {y, 1} + {x, 2};
c;
