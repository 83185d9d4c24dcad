// Monagan-Pearce: (1+x+y+2z^2+3t^3+5u^5)^12 times (1+u+t+2z^2+3y^3+5x^5)^12, exact integers.
// Only the product is timed; the number of terms is the cross-check against FLINT.
_cpu = 1$
_modenum = NUMRATMP$
crevar x, y, z, t, u$
f = (1+x+y+2*z^2+3*t^3+5*u^5)^12$
g = (1+u+t+2*z^2+3*y^3+5*x^5)^12$
time_s;
p = f*g$
time_l;
size(p);
