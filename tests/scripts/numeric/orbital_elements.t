//! interactive
// Orbital elements and Cartesian coordinates: a circular orbit, a round trip of three bodies in
// double and in quadruple precision, the same bits with one and two threads, empty vectors, a
// body whose Kepler equation does not settle, and every refused argument followed by a good call.
vnumR a, l, k, h, q, p;
a[1] = 2$ l[1] = 0.5$ k[1] = 0$ h[1] = 0$ q[1] = 0$ p[1] = 0$
a[2] = 1$ l[2] = 3$ k[2] = 0.1$ h[2] = -0.2$ q[2] = 0.3$ p[2] = 0.1$
a[3] = 5$ l[3] = -1$ k[3] = 0.5$ h[3] = 0.4$ q[3] = -0.2$ p[3] = 0.9$
dim E[1:6];
E[1] = a$ E[2] = l$ E[3] = k$ E[4] = h$ E[5] = q$ E[6] = p$
// Body 1 is circular and equatorial: (2 cos 0.5, 2 sin 0.5, 0), speed sqrt(2/2) = 1.
ell_to_xyz(E, 2, X, V);
X;
V;
xyz_to_ell(X, V, 2, F);
F;
// The differences with the elements given (lambda comes back modulo 2 pi).
for j = 1 to 6 { msg("element %d: %.3g\n", j, max(abs(F[j] - E[j]))); };
// One thread and two: the same bits.
_cpu = 1$ ell_to_xyz(E, 2, X1, V1);
_cpu = 2$ ell_to_xyz(E, 2, X2, V2);
if (X1 == X2 && V1 == V2) then { msg("same with one and two threads\n"); };
// Quadruple precision: vectors made in NUMQUAD.
_modenum = NUMQUAD;
vnumR aq, lq, kq, hq, qq, pq;
aq[1] = 1$ lq[1] = 3$ kq[1] = 0.1$ hq[1] = -0.2$ qq[1] = 0.3$ pq[1] = 0.1$
dim EQ[1:6];
EQ[1] = aq$ EQ[2] = lq$ EQ[3] = kq$ EQ[4] = hq$ EQ[5] = qq$ EQ[6] = pq$
ell_to_xyz(EQ, 2, XQ, VQ);
XQ[1];
xyz_to_ell(XQ, VQ, 2, FQ);
FQ[3] - kq;
// Double vectors are not the working type of NUMQUAD.
xyz_to_ell(X, V, 2, G);
xyz_to_ell(XQ, VQ, 2, G);
// The multiple-precision mode has no working type for these conversions.
_modenum = NUMFPMP;
ell_to_xyz(EQ, 2, XF, VF);
_modenum = NUMDBL;
// Empty vectors give arrays of empty vectors.
vnumR z;
dim Z[1:6];
for j = 1 to 6 { Z[j] = z; };
ell_to_xyz(Z, 1, ZX, ZV);
ZX;
// Near e = 1 close to pericentre Kepler's equation does not settle: that body only is NaN.
k[3] = 0.999999999999999$ h[3] = 0$ l[3] = 1e-9$ E[3] = k$ E[4] = h$ E[2] = l$
ell_to_xyz(E, 2, X, V);
X[1];
// Refused arguments.
dim S[1:5];
for j = 1 to 5 { S[j] = a; };
ell_to_xyz(S, 2, X, V);
ell_to_xyz(E, 2, X, V);
xyz_to_ell(E, V, 2, G);
xyz_to_ell(X, V, 2, G);
dim W[1:3];
W[1] = a$ W[2] = a$ W[3] = l[1:2]$
xyz_to_ell(W, V, 2, G);
xyz_to_ell(X, V, 2, G);
W[1] = a + i$ W[2] = a + i$ W[3] = a + i$
xyz_to_ell(W, V, 2, G);
xyz_to_ell(X, V, 2, G);
W[1] = l[1:2]$ W[2] = l[1:2]$ W[3] = l[1:2]$
xyz_to_ell(W, V, 2, G);
xyz_to_ell(X, V, 2, G);
ell_to_xyz(a, 2, X, V);
ell_to_xyz(E, 2, X, V);
dim H[1:6];
ell_to_xyz(H, 2, X, V);
ell_to_xyz(E, 2, X, V);
dim D[1:2, 1:3];
for j = 1 to 3 { D[1, j] = a; D[2, j] = a; };
ell_to_xyz(D, 2, X, V);
ell_to_xyz(E, 2, X, V);
ell_to_xyz(E, 2 + i, X, V);
ell_to_xyz(E, 2, X, V);
ell_to_xyz(E, 2, X[1], V);
ell_to_xyz(E, 2, X, V);
ell_to_xyz(E, 2, X);
ell_to_xyz(E, 2, X, V);
G;
