// A first session with KEST: numbers in several numeric modes, macros, loops and messages.
// (The demonstration grows with the language: series, arrays and integrations come next.)
_language = "en";

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
e = exp(1);
_modenum = NUMRATMP;
f = fac(25);
_modenum = NUMDBL;

// A loop whose iterations are independent may spread over the processors.
//!kest omp parallel for
for k = 1 to 4 { x = sqrt(k)$ };

// Errors are reported with the offending statement, and the session goes on.
try { error("a deliberate error"); } catch { msg("caught it\n"); };
