// Frequency analysis of a planet-like orbit. The complex position z(t) = x + i y of a planet
// on a slightly eccentric orbit, perturbed by a second body, is a quasi-periodic function of
// time: a sum of terms a exp(i nu t) whose frequencies are the mean motion n = 1, the
// perturber's frequency g = 0.23 and their combinations. We build such a signal, sample it
// 6k+1 times, and ask naftab for its terms: the frequencies and amplitudes found are printed
// beside the ones injected.
_language = "en";

// The injected terms: frequency, modulus and phase of the amplitude.
vnumR nu, rho, phase;
n = 1$
g = 0.23$
nu    = [n,   2*n - g, n + g, n - g, 0 ]$   // the orbit, the eccentricity term, two perturbations, the centre
rho   = [1,   0.048,   0.012, 0.007, 0.002]$
phase = [0,   0.4,     -1.1,  2.0,   0.5]$

// 6*2000 + 1 samples every half unit of time: T = 6000, about 950 revolutions.
vnumR t, x, y;
t = [0:12000]*0.5$
x = t*0$
y = t*0$
for k = 1 to 5 {
    x = x + rho[k]*cos(nu[k]*t + phase[k])$
    y = y + rho[k]*sin(nu[k]*t + phase[k])$
};

// Five terms searched; the largest comes first. The Hanning window (_naf_iw = 1) is the
// default; _naf_iw = 2 narrows the leakage between neighbouring terms further.
_naf_iw = 2;
found = naftab(5, x, y, fr, am, 0, 0.5);

// Each found term beside the injected term of the nearest frequency.
msg("  injected nu   found nu            error     |a| injected  |a| found        phase error\n");
for k = 1 to 5 {
    j = 1$
    for m = 2 to 5 { if (abs(fr[m] - nu[k]) < abs(fr[j] - nu[k])) then { j = m$ }; };
    msg("  %-12.6f  %-18.14f  %.1e   %-12.6f  %-16.12f %.1e\n", nu[k], fr[j], abs(fr[j] - nu[k]), rho[k], abs(am[j]),
        abs(arg(am[j]) - phase[k]));
};
