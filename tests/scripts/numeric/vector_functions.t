//! interactive
//! after: echo "-- t.txt"; cat t.txt
// The elementary functions run on the stored numbers, in blocks over the threads for long
// vectors: the same results with one and two threads. Complex vectors give real moduli,
// arguments and parts. The file_* statements read and write through open file objects.
vnumR x;
for k = 1 to 20000 { x[k] = k/1000; };
_cpu = 1$
s1 = sin(x)$ l1 = log(x)$ e1 = erf(x)$
_cpu = 2$
s2 = sin(x)$ l2 = log(x)$ e2 = erf(x)$
if (s1 == s2 && l1 == l2 && e1 == e2) then { msg("same with one and two threads\n"); } else { msg("differ\n"); };
s2[20000];
vnumC z;
z[1] = 3 + 4*i$ z[2] = -1$
abs(z);
arg(z);
real(z);
imag(z);
conj(z);
sqrt(z);
f = file_open("t.txt", "write")$
vnumR a, b;
a[1]=1$ a[2]=2$ a[3]=3$ b[1]=10$ b[2]=20$ b[3]=30$
file_write(f, 1:3, a, b);
file_writemsg(f, "---\n");
file_write(f, 1:2, b, a, "%g;%g\n");
file_close(f);
g = file_open("t.txt")$
vnumR p, q;
file_read(g, 1:2, p, q);
p; q;
file_readappend(g, 1:1, p);
p;
file_read(g, 1:1, p);
file_close(g);
file_read(g, 1:1, p);
h = file_open("u.txt", "write")$
file_read(h, 1:1, p);
file_write(3, 1:1, p);
// A read format picks the numbers out of lines written for people: white space matches any
// white space, %g reads a column, %*s skips a word, other text must be there.
f = file_open("fmt.txt", "write")$
file_writemsg(f, "x=1.5; y=2 # a\nx=2.5; y=-3 # b\n\nx=3.5, y=4\n");
file_close(f);
vnumR a, b;
read("fmt.txt", 1:2, "x=%lf; y=%g # %s", a, b);
a; b;
fmt = "x=%g;%*s"$
read("fmt.txt", 1:4, fmt, a);
read("fmt.txt", 1:2, "x=%g;%*s", a);
a;
read("fmt.txt", 1:2, "x=%q", a);
read("fmt.txt", 1:2, "x=%g", a, b);
// Running sums, selection by a condition vector, and vectors of an array transposed.
vnumR v$ v[1]=1$ v[2]=2$ v[3]=4$
accum(v);
vnumC z$ z[1] = i$ z[2] = 1$
accum(z);
vnumR c$ c[1]=1$ c[2]=0$ c[3]=1$
select(v, c);
select(z, c);
select(v, z);
dim T[1:2];
T[1] = v$ T[2] = v*10$
transposevnum(T);
accum(T);
accum(3);
T[2] = z$
transposevnum(T);
// The trapezoidal integral of samples with a step.
vnumR v$ v[1]=0$ v[2]=1$ v[3]=4$ v[4]=9$
integral(v);
integral(v, 0.5);
vnumR one$ one[1] = 3$
integral(one);
integral(v, "a");
integral(3);
vnumC z$ z[1] = i$ z[2] = 1$
integral(z, 2);
