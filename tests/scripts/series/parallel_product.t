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
