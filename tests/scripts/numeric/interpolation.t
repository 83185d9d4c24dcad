//! interactive
// interpol: the four methods on samples of x^2, targets inside and outside the samples and in no
// order, descending samples, Hermite with a derivative, quadruple vectors through doubles, and
// each refused call followed by a good one.
x = [0, 1, 2, 3, 4]$
y = x^2$
t = [4.5, -1, 0.5, 2.25]$
interpol(LINEAR, x, y, t);
interpol(QUADRATIC, x, y, t);
interpol(SPLINE, x, y, t);
interpol(HERMITE, x, y, t, 3);
// Hermite of order 1 is the linear interpolation.
interpol(HERMITE, x, y, t, 1);
// Samples in descending order give the same values.
xd = reversevnum(x)$ yd = reversevnum(y)$
if (interpol(SPLINE, xd, yd, t) == interpol(SPLINE, x, y, t)) then { msg("same values\n"); };
// Given twice, an abscissa carries its derivative: u^2 from f(0), f'(0) = 0 and f(2) = 4.
interpol(HERMITE, [0, 0, 2], [0, 0, 4], [1, 3], 2);
// A single target.
interpol(LINEAR, x, y, [1.5]);
// Quadruple vectors are interpolated in double precision (said with _info on) and come back
// quadruple.
_modenum = NUMQUAD;
_info on;
xq = [0, 1, 2]$ yq = [1, 3, 2]$
r = interpol(LINEAR, xq, yq, [0.5]);
r;
_info off;
_modenum = NUMDBL;
// Refused calls.
interpol(LINEAR, x, [1, 2], t);
interpol(LINEAR, x, y, t);
vnumR empty;
interpol(SPLINE, empty, empty, t);
interpol(SPLINE, x, y, empty);
interpol(SPLINE, x, y, t);
interpol(HERMITE, x, y, t, 0);
interpol(HERMITE, x, y, t, 5);
interpol(HERMITE, x, y, t, 4);
interpol(QUADRATIC, [0, 1], [0, 1], t);
interpol(QUADRATIC, x, y, t);
interpol(HERMITE, x, y, t);
interpol(LINEAR, x, y, t, 2);
interpol(LINEAR, x, y, t);
interpol(NUMDBL, x, y, t);
interpol(LINEAR, x, y, t);
interpol(LINEAR, x, y, 2);
interpol(LINEAR, x + i, y, t);
interpol(LINEAR, x, y, t);
interpol(HERMITE, x, y, t, 1.5);
interpol(HERMITE, x, y, t, 2);
// Samples whose abscissae cannot be ordered (a NaN) give the empty vector.
xn = x$ xn[2] = inf - inf$
interpol(SPLINE, xn, y, t);
