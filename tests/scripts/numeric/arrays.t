//! interactive
// Arrays in the language: declaration with bounds and steps, elements, subscript errors, the
// element-wise operations and their realignment, whole-array equality, and matrix functions.
dim T[1:3];
T[2] = 5;
T[1] = 1$ T[3] = 7$
T;
T[2];
T[4];
T[2.5];
dim S[0:4:2];
S[2] = 1;
S[1] = 1;
S;
// [0..2] + [1..3]: the result takes the bounds of the right operand.
dim A[0:2], B[1:3];
A[0] = 1$ A[1] = 2$ A[2] = 3$
B[1] = 10$ B[2] = 20$ B[3] = 30$
A + B;
A * 2;
1 - B;
if (A == B) then { msg("A and B are equal\n"); } else { msg("A and B differ\n"); };
C = A$
if (A == C) then { msg("A and its copy are equal\n"); };
dim P[1:2, 1:3], Q[1:3, 1:2];
P + Q;
// Ranges and "...": sub-blocks keep their bounds.
B[2:3];
B[1:3:0];
// Blocks take arrays of their own shape, or one value for every element.
dim Z[1:2, 1:3];
Z[1:2, 1:3] = P$
Z[1:2, 1:2] = P;
Z[1:2, 1:3] = B;
Z[1, ...] = 4;
Z;
vnumR pick;
pick[1] = 3$ pick[2] = 1$
B[pick];
Z[pick];
dim M[1:2, 1:2];
M[1,1] = 2$ M[1,2] = 1$ M[2,1] = 1$ M[2,2] = 3$
M[1, ...];
det(M);
M . M;
// The companion matrix of x^2 - 3x + 2 has the eigenvalues 1 and 2.
dim K[1:2, 1:2];
K[1,1] = 3$ K[1,2] = -2$ K[2,1] = 1$ K[2,2] = 0$
eigenvalues(K);
// Columns of a matrix become vectors, and vectors the columns of a matrix.
cols = dimtovnumR(M);
cols;
vnumtodim(cols);
vnumtodim(T);
Mz = M$ Mz[2,1] = 1 + 2*i$
dimtovnumC(Mz);
dimtovnumC(T);
// The same element-wise work with one thread and with two.
_cpu = 1;
R1 = B * B + 1;
_cpu = 2;
R2 = B * B + 1;
if (R1 == R2) then { msg("same result with _cpu=1 and _cpu=2\n"); };
_cpu = 1;
det(T);
msg("done\n");
// Several access levels: an element's field, a field's element; a range or "..." cannot be
// followed by another level (620); an empty element has no fields.
struct pt { x; y; };
pt p$
p@x = 1$
dim S[1:3], S2[1:2, 1:2];
S[1] = p$
S[1]@x = 5;
S[1]@x;
S[1:2]@x = 3;
S[...]@x;
S[2]@x;
S2[1, 2] = p$
S2[1, 2]@y = 7$
S2;
vnumR w$ w[2] = 5$
p@x = w$
S[3] = p$
S[3]@x[2] = 6;
S[3]@x[2];
p@x[1] = 4;
p;
// The one-argument functions apply to every element, vectors included.
dim F[1:2];
vnumR fv$ fv[1] = 4$ fv[2] = 9$
F[1] = 1$ F[2] = fv$
sqrt(F);
abs(-F);
F[1] = "text"$
sin(F);
