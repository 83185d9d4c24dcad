// Truncated Fateman square: f*f with f = (1+x+y+z+t)^20, keeping total degree <= 20 in x, y, z, t.
// The truncation is declared after f is built, so that the product, and only the product, runs
// under it (f has no term above degree 20 anyway). Exact integer coefficients.
_cpu = 1$
_modenum = NUMRATMP$
crevar x, y, z, t$
f = (1+x+y+z+t)^20$
_tronc = {[x, y, z, t], 20}$
time_s;
p = f*f$
time_l;
size(p);
