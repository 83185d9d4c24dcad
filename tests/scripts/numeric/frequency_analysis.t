//! interactive
//! after: echo '-- solution.txt'; cat solution.txt
// Frequency analysis typed at the prompt: the _naf_ settings, naftab on a sum of two
// exponentials, 101 samples cut to 96 intervals, the refusals (each followed by a good
// statement: the session goes on), a real signal as conjugate pairs, frequency windows, and a
// data file analysed by naf with its solution written and read back.
_naf_iw; _naf_icplx; _naf_iprt; _naf_isec; _naf_dtour; _naf_nulin; _naf_tol; _naf_tp;
_naf_tol = 1e-9;
_naf_tol;
_naf_dtour = 0;
_naf_tol = 1e-10;
_naf_icplx = 3;
_naf_iw = -1;
_naf_iw;
_naf_iw on;
_naf_iw = 1;
vnumR t, x, y;
t = [0:600]*0.5$
x = cos(0.37*t) + 0.5*cos(-1.1*t+0.3)$
y = sin(0.37*t) + 0.5*sin(-1.1*t+0.3)$
n = naftab(2, x, y, fr, am, 0, 0.5);
nint(fr*1e6)/1e6;
nint(abs(am)*1e6)/1e6;
nint(arg(am)*1e4)/1e4;
// one term asked three times: the next maximum is too close to the first to resolve
naftab(3, cos(0.37*t), sin(0.37*t), f1, a1, 0, 0.5);
nint(f1*1e9)/1e9;
nint(abs(a1)*1e9)/1e9;
// 101 samples: 100 intervals are cut to 96
_info on;
naftab(1, x[1:101], y[1:101], f2, a2, 0, 0.5);
_info off;
nint(f2*1e3)/1e3;
naftab(0, x, y, f3, a3, 0, 0.5);
y2 = y[1:100]$
naftab(2, x, y2, f3, a3, 0, 0.5);
naftab(1000, x, y, f3, a3, 0, 0.5);
naftab(1, x[1:6], y[1:6], f3, a3, 0, 0.5);
naftab(1, x, y, f3, a3, 0, 0.5, [0.2, 0.5]);
naftab(1, x, y, f3, a3, 0, 0.5, [0.2, 0.5, 0]);
naftab(2, x, y, 1+2, a3, 0, 0.5);
naftab(2, x, y, f3, a3, 0, 0);
naftab(2, x, 3, f3, a3, 0, 0.5);
naftab(2, x, y, f3, a3);
// a window around -1.1 finds the weaker term alone
naftab(5, x, y, f3, a3, 0, 0.5, [-1.5, -0.8, 1]);
nint(f3*1e6)/1e6;
naftab2(1, x, y, f4, a4, 0, 0.5);
nint(f4*1e6)/1e6;
// frequencies in degrees per unit of time: 0.37 rad is 21.199...
_naf_dtour = 360;
naftab(1, x, y, f4, a4, 0, 0.5);
nint(f4*1e5)/1e5;
_naf_dtour = 2*pi;
// a real signal: every frequency with its opposite
_naf_icplx = 0;
naftab(2, 2*cos(0.8*t+0.5), t, fr, am, 0, 0.5);
nint(fr*1e6)/1e6;
nint(abs(am)*1e6)/1e6;
_naf_icplx = 1;
// a data file of lines "t re im", here without a head line to skip
_naf_nulin = 0;
write("signal.txt", 1:601, t, x, y);
naf(2, "signal.txt", "solution.txt");
naf("solution.txt", fs, as);
nint(fs*1e6)/1e6;
nint(abs(as)*1e6)/1e6;
naf("missing.txt", fs, as);
naf(2, "missing.txt", "solution.txt");
size(fs);
_naf_nulin = 1;
naf(2, "signal.txt", "solution.txt");
naf(2, "solution.txt", "solution2.txt");
naf("signal.txt", fs, as);
size(fs);
reset;
_naf_tol; _naf_nulin;
