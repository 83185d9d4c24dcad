// laps: fill sum
// Element writes then element reads in a loop: fill a vector of n numbers, then sum it.
n = 1000000$
vnumR x$
resize(x, n)$
time_s;
for k = 1 to n { x[k] = k$ };
time_l;
s = 0$
for k = 1 to n { s = s + x[k]$ };
time_l;
s;
