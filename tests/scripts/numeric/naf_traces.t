//! interactive
// The traces of frequency analysis: _naf_iprt = 1 shows the window weights (times 1e6), the
// coarse search, how each parabola search ended and the closeness test; 0 keeps the warnings
// only (a frequency too close to resolve), -1 nothing; a term found again is corrected.
vnumR t;
t = [0:120]*0.5$
// a faint second term 0.002 away, below the resolution: what the search meets after the first
// term is left by the faint one, not by rounding, so the traces read the same on every processor
x = cos(0.37*t) + 1e-3*cos(0.372*t)$
y = sin(0.37*t) + 1e-3*sin(0.372*t)$
_naf_iprt = 1;
naftab(2, x, y, f, a, 0, 0.5);
_naf_iprt = 0;
naftab(2, x, y, f, a, 0, 0.5);
_naf_iprt = -1;
naftab(2, x, y, f, a, 0, 0.5);
_naf_isec = 0;
_naf_iprt = 1;
naftab(1, x, y, f, a, 0, 0.5);
// a tolerance of nearly one resolution takes the next maximum for the same term: corrected
_naf_isec = 1;
_naf_tol = 0.99;
naftab(2, x, y, f, a, 0, 0.5);
nint(f*1e9)/1e9;
