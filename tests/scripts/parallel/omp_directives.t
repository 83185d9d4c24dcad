//! interactive
//! after: cat one_*.txt | sort -n > one.txt; cat two_*.txt | sort -n > two.txt; cmp one.txt two.txt && echo "one and two threads wrote the same lines:" && cat two.txt
//! after: ls dist_*.txt
// Parallel directives: a "parallel for" does the same work with one thread and with two (each
// iteration writes its own file, compared after the run); the private names are each task's own
// copy and the caller's identifiers are left alone; an unknown private name, an unreadable
// directive and a distributed loop fall back with a warning; an error in one iteration ends the
// loop and the session goes on.
_info on;
scale = 3$
macro term[k] { return k*k*scale; };
tmp = 0$
_cpu = 1;
//!kest omp parallel for private(tmp)
for j = 1 to 12 { tmp = %term[j] + scale$ f = file_open(str("one_%d.txt", j), "write")$ file_writemsg(f, "%d %d\n", j, tmp)$ file_close(f)$ };
tmp = 0$
_cpu = 2;
/*!kest omp parallel for private(tmp) */
for j = 1 to 12 { tmp = %term[j] + scale$ f = file_open(str("two_%d.txt", j), "write")$ file_writemsg(f, "%d %d\n", j, tmp)$ file_close(f)$ };
tmp;
//!kest omp parallel for private(nothere)
for j = 1 to 3 { msg("in order %d\n", j); };
//!kest omp parallel for_distribute
for j = 1 to 2 { f = file_open(str("dist_%d.txt", j), "write")$ file_close(f)$ };
//!kest omp parallel fr
for j = 1 to 2 { msg("as written %d\n", j); };
//!kest omp parallel
msg("once per thread\n");
//!kest omp parallel for
for j = 1 to 6 { if (j == 4) then { error("iteration 4 fails"); }; };
msg("the session goes on\n");
