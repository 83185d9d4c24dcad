//! interactive
// The traces of frequency analysis: _naf_iprt = 1 shows the window weights (times 1e6), the
// coarse search, how each parabola search ended and the closeness test; 0 keeps the warnings
// only (a frequency too close to resolve), -1 nothing; a term found again is corrected.
vnumR t;
t = [0:120]*0.5$
_naf_iprt = 1;
naftab(2, cos(0.37*t), sin(0.37*t), f, a, 0, 0.5);
_naf_iprt = 0;
naftab(2, cos(0.37*t), sin(0.37*t), f, a, 0, 0.5);
_naf_iprt = -1;
naftab(2, cos(0.37*t), sin(0.37*t), f, a, 0, 0.5);
_naf_isec = 0;
_naf_iprt = 1;
naftab(1, cos(0.37*t), sin(0.37*t), f, a, 0, 0.5);
// a tolerance of nearly one resolution takes the next maximum for the same term: corrected
_naf_isec = 1;
_naf_tol = 0.99;
naftab(2, cos(0.37*t), sin(0.37*t), f, a, 0, 0.5);
nint(f*1e9)/1e9;
