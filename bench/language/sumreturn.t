// laps: sum
// A sum written as the language's sum loop over the elements of a vector.
n = 1000000$
x = random(n, 1)$
time_s;
s = sum k = 1 to n { return x[k]; }$
time_l;
