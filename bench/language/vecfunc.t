// laps: sin1 exp1 log1 sqrt1 sin2 exp2 log2 sqrt2
// sin, exp, log and sqrt of a vector of n doubles, on one thread then on two.
n = 10000000$
x = random(n, 1)*10 + 0.5$
_cpu = 1$
time_s;
y = sin(x)$
time_l;
y = exp(x)$
time_l;
y = log(x)$
time_l;
y = sqrt(x)$
time_l;
_cpu = 2$
y = sin(x)$
time_l;
y = exp(x)$
time_l;
y = log(x)$
time_l;
y = sqrt(x)$
time_l;
