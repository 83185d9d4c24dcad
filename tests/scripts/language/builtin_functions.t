//! interactive
//! after: cat modes.txt
// atan2 of numbers in every quadrant and numeric mode, element by element on vectors and arrays
// (error 32 for different sizes); random numbers repeatable from a seed; file_open with the
// mode words read, write and append; file_readmsg line by line up to the end of the file.
a = atan2(1, 1);
a = atan2(-1, -1);
a = atan2(0, -1);
a = atan2(-2, 0);
a = atan2(0, 0);
_modenum = NUMQUAD;
a = atan2(1, -1);
_modenum = NUMDBL;
v = atan2([1, -1, 0], [1, 1, -1]);
v = atan2([1, -1], 1);
v = atan2([1, 2], [1, 2, 3]);
dim T[1:2];
T[1] = 1$ T[2] = -1$
dim U[1:3];
U[1] = 1$ U[2] = 1$ U[3] = 1$
z = atan2(T, U);
dim W[1:2];
W[1] = -1$ W[2] = -1$
z = atan2(T, W);
z = atan2(1, i);
z = atan2(1);
fresh = random(3)$
if (fresh == random(3, 5489)) then { msg("a new session starts from the seed 5489\n"); };
x = random(5, 2027)$
y = random(5, 2027)$
if (x == y) then { msg("same seed, same numbers\n"); };
y = random(5)$
if (x != y) then { msg("the sequence goes on without a seed\n"); };
y = random(5, 2028)$
if (x != y) then { msg("another seed, other numbers\n"); };
s = random(10000, 7)$
if (min(s) >= 0 && max(s) < 1) then { msg("all within [0, 1)\n"); };
if (min(s) < 0.01 && max(s) > 0.99) then { msg("spread over the interval\n"); };
if (abs(sum k = 1 to 10000 { return s[k]; } / 10000 - 0.5) < 0.01) then { msg("mean near 1/2\n"); };
one = random()$
if (one >= 0 && one < 1) then { msg("one number within [0, 1)\n"); };
x = random(-1);
f = file_open("modes.txt", write);
file_writemsg(f, "first line\n");
close f;
f = file_open("modes.txt", append);
file_writemsg(f, "second line\n");
file_close(f);
g = file_open("modes.txt", read);
l = file_readmsg(g);
l = file_readmsg(g);
l = file_readmsg(g);
l = file_readmsg(f);
reset;
again = random(3)$
if (again == random(3, 5489)) then { msg("a reset restarts from the seed 5489\n"); };
