// Products large enough for the typed kernels, each checked against the same series built
// another way: (1+x)^60 squared against the binomial series summed term by term (coefficients
// up to C(120,60), past 2^64); (1+x+y+z)^33 squared (sums past 2^128) against the 66th power,
// with one and two threads and under a truncation; 64-bit rationals against an identity;
// doubles whose sums are exact.
crevar x, y, z;
_modenum = NUMRATMP$
f = (1+x)^60$
p = f*f$
c = 1$
s = 1$
for k = 0 to 119 { c = c*(120-k)/(k+1)$ s = s + c*x^(k+1)$ };
p - s;
size(p);
g = (1+x+y+z)^33$
p = g*g$
size(p);
h = (1+x+y+z)^66$
h - p;
_cpu = 2$
p2 = g*g$
p2 - p;
_cpu = 1$
_tronc = {[x, y, z], 4}$
q = g*g$
size(q);
q - (1+x+y+z)*(1+x+y+z)^65;
delete _tronc;
_modenum = NUMRAT$
a = (1-x+y)^12$
b = (1+x+y)^12$
r = a*b$
size(r);
r - ((1+y)^2 - x^2)^12;
_modenum = NUMDBL$
u = (0.5+x)^10$
v = u*u$
v - (0.5+x)^20;
v;
