//! interactive
//! after: echo "-- cols.txt"; cat cols.txt; echo "-- fmt.txt"; cat fmt.txt; echo "-- bare.txt"; cat bare.txt; echo "-- lines read"; cat lines.txt; echo "-- swapped bytes"; od -An -tx1 swapped.dat
// Numeric vectors in the language: declaration, growth by assignment, subscripts, arithmetic with
// numbers and vectors, functions element by element, reductions, and the file statements.
vnumR x, y;
x;
x[3] = 2.5;
x[1] = 1$ x[2] = 2$
x;
y = x*2 + 1;
z = 1 - x;
w = x + y;
x[2];
x[1:3:2];
x[4];
x[0] = 1;
sqrt(x);
// sin of a vector is within one unit of the last place (the vector kernels of the processor
// decide which side): fifteen digits read the same everywhere.
nint(sin(x)*1e15)/1e15;
-x;
min(x);
max(y);
imax(y);
sort(z);
min(3, 1, 2);
reversevnum(x);
r = x$
resize(r, 5);
r;
resize(r, 2);
r;
resize(r, -1);
vnumR data;
data[1] = 1$ data[2] = 2$ data[3] = 2$ data[4] = 3$ data[5] = 5$
histogram(data, 2);
// Index vectors: whole numbers from 1 to the size.
vnumR idx;
idx[1] = 3$ idx[2] = 1$
x[idx];
idx[2] = 2.5$
x[idx];
idx[2] = 0$
x[idx];
// Element-wise operations want equal sizes.
vnumR four, five;
four[4] = 1$ five[5] = 1$
four + five;
// Complex vectors: a real vector meeting a complex number becomes complex.
vnumC c;
c[2] = 1 + 2*i;
c;
x*i;
// Files: columns of sizes 3 and 5 written to the longest give 5 lines, zeros past the end.
write("cols.txt", 1:-1, x, five);
write("fmt.txt", 1:-1, x, y, "%g\t%g\n");
write(bare.txt, 1:2, x, "%g\n");
vnumR a, b;
read("cols.txt", 1:-1, a, b);
a;
b;
ten = five$ ten[10] = 0$
readappend("fmt.txt", 1:-1, ten);
size(ten);
writebin("bin.dat", 1:-1, "%e%4d", x, y);
vnumR bx, by;
readbin("bin.dat", 1:-1, "%e%4d", bx, by);
bx;
by;
// The byte order of binary files, and a copy of every data line read.
_endian = 1;
writebin("swapped.dat", 1:2, "%4d", y);
vnumR sw;
readbin("swapped.dat", 1:-1, "%4d", sw);
sw;
_endian = 0;
readbin("swapped.dat", 1:-1, "%4d", sw);
sw;
_endian = 2;
_endian;
_read_history = "lines.txt";
read("fmt.txt", 2:3, sw);
_read_history = "";
read("nothere.txt", 1:-1, a);
read("cols.txt", 1:-1, nothere);
// A vector made in one numeric mode follows the mode in force when it is used.
_modenum = NUMQUAD;
vnumR q;
q[2] = 1/3;
_affc = 9;
q;
_modenum = NUMDBL;
q;
_affc = 1;
msg("done\n");
// vnumQ declares quad vectors, which stay quad in any numeric mode; the name cannot become a
// structure.
vnumQ hq;
hq[1] = 2$
typeof(hq);
root = sqrt(hq)$
typeof(root);
root*root - 2;
copyq = hq$
typeof(copyq);
struct vnumQ { a; };
vnumQ 3;
