// A parallel for hands its results back through the elements of the caller's arrays and
// vectors: a 1-D array, a 2-D array and a vector filled with one thread and with two give the
// same sums in the double, rational and multiple-precision modes (the vector of the mode, and a
// quadruple-precision one).
macro fill[title] {
  msg("%s\n", title);
  dim T[1:200]$ dim M[1:10, 1:20]$ vnumR V$ resize(V, 200)$ vnumQ Q$ resize(Q, 200)$
  //!kest omp parallel for
  for j = 1 to 200 { T[j] = j*j/3$ V[j] = j/7$ Q[j] = j/9$ };
  //!kest omp parallel for
  for a = 1 to 10 { for b = 1 to 20 { M[a, b] = a*b/11$ }; };
  st = sum j = 1 to 200 { return T[j]; };
  sm = sum a = 1 to 10 { return sum b = 1 to 20 { return M[a, b]; }; };
  sv = sum j = 1 to 200 { return V[j]; };
  sq = sum j = 1 to 200 { return Q[j]; };
};
_modenum = NUMDBL;
_cpu = 1$ %fill["NUMDBL, one thread"]; _cpu = 2$ %fill["NUMDBL, two threads"];
_modenum = NUMRATMP;
_cpu = 1$ %fill["NUMRATMP, one thread"]; _cpu = 2$ %fill["NUMRATMP, two threads"];
_modenum = NUMFPMP;
_cpu = 1$ %fill["NUMFPMP, one thread"]; _cpu = 2$ %fill["NUMFPMP, two threads"];
// The elements are shared, the names are not: a private copy, a new name and a whole new value
// given to the array's name stay in the task that made them.
_modenum = NUMDBL;
_cpu = 2$
dim U[1:8]$ vnumR W$ resize(W, 8)$ p = 100$
//!kest omp parallel for private(p)
for j = 1 to 8 { p = j$ U[j] = p + 0.5$ W[j] = 10*j$ made = U[j]$ };
U[8];
W[8];
p;
made;
//!kest omp parallel
if (U[1] > 0) then { U = 7$ delete(W)$ };
U[4];
W[4];
