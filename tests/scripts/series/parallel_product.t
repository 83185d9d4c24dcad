// A product large enough to be spread over the threads gives the same series, bit for bit, with
// _cpu = 1 and _cpu = 2, with and without a truncation; the benchmark form f*(f+1) works.
crevar x, y, z, t;
f = (1/3 + x + y/7 + z + t)^11$
g = f + 1$
size(f);
_cpu = 1$
p1 = f*g$
_cpu = 2$
p2 = f*g$
size(p2);
p1 - p2;
_tronc = {[x, y], 9} + {[y, z], 8}$
p2 = f*g$
_cpu = 1$
p1 = f*g$
size(p1);
p1 - p2;
max(p1, y);
delete _tronc;
// 41 x 50 top-level terms: the product goes row by row; 40 x 50 by result degree; both give
// the bits of one thread, with and without a truncation.
a = (1/3 + x)^40*(1 + y/7 + z)^6$
a2 = (1/3 + x)^39*(1 + y/7 + z)^6$
b = (1/3 + x)^49*(1 - y/7 + z)^6$
_cpu = 2$
q1 = a*b$
q2 = a2*b$
_tronc = {x, 60}$
q3 = a*b$
delete _tronc;
_cpu = 1$
a*b - q1;
a2*b - q2;
_tronc = {x, 60}$
a*b - q3;
max(q3, x);
