//! interactive
//! ulimit: -v 120000
// A product that needs more memory than the process may have ends with fatal error 436 (the
// report names the reservation that failed) instead of a crash; the statements before it ran.
crevar x, y, z, t, u;
f = (1+x+y+z+t+u)^24$
size(f);
p = f*(f+1)$
size(p);
