//! interactive
// Large vectors freed and made again (their storage is kept for the next vector of about their
// size): a new vector never shows the numbers of one freed before it.
n = 3000000$
x = random(n, 1)*0 + 7$
min(x);
delete x;
vnumR r$
resize(r, n);
min(r);
max(r);
y = random(n, 1)*0 + 5$
z = y$
delete y;
resize(z, n + 1000000);
min(z);
max(z);
z[n + 1000000];
delete z;
w = sin(random(n, 1)*0 + 1)$
nint(min(w)*1e15);
nint(max(w)*1e15);
reset;
n = 3000000$
v = cos(random(n, 1)*0)$
min(v);
max(v);
