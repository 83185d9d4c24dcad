//! interactive
// Two tasks of a parallel for writing the same element of a shared array: the last write wins
// and nothing is lost or freed twice. A shared vector keeps its size while the tasks write it:
// growing it from a task (by writing past its end or by resize) is error 760 and the session
// goes on.
// A vector that a task makes for itself grows as usual.
_cpu = 2$
dim T[1:4]$ T[1] = 0$
//!kest omp parallel for
for j = 1 to 2000 { T[1] = j$ T[2] = 2001 - j$ };
if (T[1] >= 1 && T[1] <= 2000 && T[2] >= 1 && T[2] <= 2000) then { msg("T[1] and T[2] hold one of the writes\n"); };
vnumR V$ resize(V, 100)$
//!kest omp parallel for
for j = 1 to 200 { V[j] = j$ };
size(V);
//!kest omp parallel for
for j = 1 to 2 { resize(V, 300)$ };
size(V);
vnumR S$ resize(S, 8)$
//!kest omp parallel for
for j = 1 to 8 { vnumR w$ w[j + 2] = j$ S[j] = size(w)$ };
S[1] + S[8];
