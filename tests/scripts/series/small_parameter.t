//! interactive
// The small-parameter device: sereps(s, E, eps) writes every number x of s as m*E^k with
// k = floor(log|x| / log eps), so that a truncation in E drops the small coefficients, and
// invsereps(s, E, eps) turns each E^k back into eps^k. Without eps they use _trcoef. A threshold
// above 1 is error 276, whether set or given, and the session goes on with the threshold it had.
crevar x, E;
_trcoef;
s = 0.5 + 2e-7*x + 5*x^2;
r = sereps(s, E, 1e-3);
invsereps(r, E, 1e-3) - s;
_tronc = {E, 1};
p = r*r;
delete _tronc;
invsereps(p, E, 1e-3);
_trcoef = 2;
_trcoef;
sereps(s, E, -5);
_trcoef = 0.001;
_trcoef;
sereps(s, E);
_trcoef = 0;
sereps(s, x + 1);
sereps(s);
_trcoef;
