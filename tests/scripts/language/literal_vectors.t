//! interactive
// Literal vectors: numbers, ranges with and without a step, the elements of other vectors,
// complex elements; what cannot be an element; an array element passed by reference.
v = [1, 2, 3];
w = [1:4];
q = [0:1:0.25];
down = [3:1:-1];
joined = [v, 10, w[2:3]];
z = [1, 2*i];
s = sin(1:3);
bad = [1, "two"];
bad = [1:3:0];
e = [5];
dim T[1:3];
T[2] = 5$
macro inc[n] { n = n + 1$ };
%inc[[T[2]]];
T[2];
%inc[T[2]];
T[2];
macro twice[a, b] { a = 2*a$ b = 2*b$ };
k = 3$
%twice[[T[2]], [k]];
T[2];
k;
%inc[[T[9]]];
T[2];
