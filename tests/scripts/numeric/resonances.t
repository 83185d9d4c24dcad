//! interactive
// Resonance searches: freqa explains measured frequencies by integer combinations of base
// frequencies (the same with one and two threads), freqareson finds the combinations of the
// base that vanish; the refusals, each followed by a good statement. Then fft and ifft of a
// two-dimensional array.
vnumR g, m;
g = [1, sqrt(2), pi/2]$
m = [2 - sqrt(2) + 1e-12, 3*pi/2, 0.123456789, -1]$
_cpu = 1;
freqa(m, g, 3, 1e-9, K, V, G);
K;
V;
nint(G*1e15);
_cpu = 2;
freqa(m, g, 3, 1e-9, K2, V2, G2);
K2;
freqareson([0.3, 0.2, 0.5 + 1e-13], 2, 1e-10, R, W, O);
R;
O;
freqareson([1, sqrt(2)], 3, 1e-10, R, W, O);
R;
size(W);
freqa(m, g, -1, 1e-9, K, V, G);
freqa(m, g, 1000, 1e-9, K, V, G);
freqa(m, 3, 2, 1e-9, K, V, G);
freqa(m, g, 2, 1e-9, K, V);
freqa(m, g, 2, 1e-9, K, V, 3*G);
freqa(m, g, 1, 1e-9, K, V, G);
K;
dim T[1:2, 1:4];
T[1,1] = 1$ T[1,2] = 2$ T[1,3] = 0$ T[1,4] = -1$
T[2,1] = 0$ T[2,2] = 1$ T[2,3] = 1$ T[2,4] = 3$
fft(T, F);
F;
ifft(F, T2);
T2;
dim U[1:3];
U[1] = 1$ U[2] = 2$ U[3] = 3$
fft(U, F);
fft(T, F);
