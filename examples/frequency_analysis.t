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
nu    = [n,   2*n - g, n + g, n - g, 2*g]$   // the orbit, the eccentricity term, perturbations, a long period
rho   = [1,   0.048,   0.012, 0.007, 0.002]$
phase = [0.25, 0.4,    -1.1,  2.0,   0.5]$

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

// Each found term beside the injected term of the nearest frequency, and the largest errors.
msg("  frequency                      modulus                    phase\n");
msg("  injected   found               injected  found            injected  found\n");
ef = 0$ ea = 0$
for k = 1 to 5 {
    j = 1$
    for m = 2 to 5 { if (abs(fr[m] - nu[k]) < abs(fr[j] - nu[k])) then { j = m$ }; };
    msg("  %-9.6f  %-18.14f  %-8.6f  %-15.12f  %-8.5f  %.10f\n", nu[k], fr[j], rho[k], abs(am[j]), phase[k],
        arg(am[j]));
    ef = max(ef, abs(fr[j] - nu[k]))$
    ea = max(ea, abs(am[j] - rho[k]*exp(i*phase[k])))$
};
if (ef < 1e-12) then { msg("frequencies found within 1e-12 of the injected ones\n"); } else { msg("frequency error %g\n", ef); };
if (ea < 1e-10) then { msg("amplitudes found within 1e-10 of the injected ones\n"); } else { msg("amplitude error %g\n", ea); };
