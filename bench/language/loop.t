// laps: loop
// One simple statement per iteration: s = s + j over n iterations.
n = 1000000$
s = 0$
time_s;
for j = 1 to n { s = s + j$ };
time_l;
s;
