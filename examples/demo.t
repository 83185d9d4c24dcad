// A first session with KEST: the main job first, a series expansion under truncation with an
// angle, then numbers in several numeric modes, macros, loops and messages.
_language = "en";

// a/r = 1/(1 - e cos M) up to e^3: e is the eccentricity, M an angle whose exponential
// E = exp(i*M) stands for the Fourier terms (cos M = (E + E^-1)/2). The truncation {e, 3}
// keeps every product from making a term beyond e^3.
crevar e, M;
E = exp(i*M);
_tronc = {e, 3};
c = (E + E^(-1))/2;
q = (1 - e*c)^(-1);
size(q);
_affdist = 0;
q;
_affdist = 2;
delete _tronc;

// Exact and floating numbers: the numeric mode decides what 1/3 is.
a = 1/3 + 2;
_modenum = NUMRATMP;
a = 1/3 + 2;
_modenum = NUMFPMP;
_modenum_prec = 30;
a = 1/3 + 2;
_modenum = NUMDBL;

// A macro, called with a value and with a reference.
macro kepler[n, e] { return n*n*n*(1 - e*e); };
p = %kepler[2, 1/10];
macro bump[x] { x = x + 1$ };
count = 41$
%bump[[count]];

// Loops and formatted messages.
s = sum k = 1 to 10 { return 1/(k*k); };
for k = 1 to 3 { msg("k = %d, k^2 = %d\n", k, k*k); };
msg("sum of 1/k^2 for k <= 10: %.12f\n", s);

// Functions of numbers, exact where the mode is: 25! is a whole integer in NUMRATMP.
euler = exp(1);
_modenum = NUMRATMP;
f = fac(25);
_modenum = NUMDBL;

// A loop whose iterations are independent may spread over the processors.
//!kest omp parallel for
for k = 1 to 4 { x = sqrt(k)$ };

// Errors are reported with the offending statement, and the session goes on.
try { error("a deliberate error"); } catch { msg("caught it\n"); };
