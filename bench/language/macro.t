// laps: call
// A macro of one argument called in a loop, n calls.
n = 200000$
macro inc[a] { return a + 1; };
s = 0$
time_s;
for j = 1 to n { s = %inc[s]$ };
time_l;
s;
