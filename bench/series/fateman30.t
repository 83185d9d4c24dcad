// Fateman: f = (1+x+y+z+t)^30, f*(f+1) with exact integer coefficients.
// Only the product is timed; the number of terms is the cross-check against FLINT.
_cpu = 1$
_modenum = NUMRATMP$
crevar x, y, z, t$
n = 30$
f = (1+x+y+z+t)^n$
g = f + 1$
time_s;
p = f*g$
time_l;
size(p);
