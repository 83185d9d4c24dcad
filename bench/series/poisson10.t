// Poisson-series product: e1, e2 polynomial variables, E and F angular exponentials (negative
// powers allowed), a = (1+e1+e2^2+E+E^(-1)+F+F^(-1))^10 times b = (1+e1^2+e2+E+E^(-1)+F^2+F^(-2))^10,
// keeping total degree <= 12 in (e1, e2). The truncation is declared after a and b are built, so
// that both operands are whole, as in the FLINT reference. Exact integer coefficients.
_cpu = 1$
_modenum = NUMRATMP$
crevar e1, e2, l1, l2$
E = exp(i*l1)$
F = exp(i*l2)$
a = (1+e1+e2^2+E+E^(-1)+F+F^(-1))^10$
b = (1+e1^2+e2+E+E^(-1)+F^2+F^(-2))^10$
_tronc = {[e1, e2], 12}$
time_s;
p = a*b$
time_l;
size(p);
