//! interactive
// fft and ifft on vectors: the plain transform of a short signal, the inverse giving it back,
// the scaled form (time step and origin) and its inverse, quad vectors keeping their
// precision, and the refusals (a length that is not a power of two, lengths that differ, a
// target that is not a name), each followed by a good statement.
fft([1, 2, 3, 4], [0, 0, 0, 0], fr, fim);
fr;
fim;
ifft(fr, fim, a, b);
a;
b;
vnumR x, y;
x = cos([0:15]*2*pi/16*3)$
y = x*0$
fft(x, y, fr, fim);
nint(abs(fr)*1e12)/1e12;
nint(abs(fim)*1e12)/1e12;
fft(x, y, fr, fim, 0.1, 2);
ifft(fr, fim, a, b, 0.1, 2);
nint(abs(a - x)*1e14);
nint(abs(b)*1e14);
fft([1, 2, 3], [0, 0, 0], fr, fim);
fft([1, 2, 3, 4], [0, 0, 0, 0], fr, fim);
fft([1, 2], [0, 0, 0, 0], fr, fim);
fft([1, 2], [0, 0], fr, 2*fim);
fft([1, 2], [0, 0], fr, fim, 0, 1);
fft([1, 2], 5, fr, fim);
fft([1, 2], [0, 0], fr);
fr;
_modenum = NUMQUAD;
vnumR q, z;
q = [1, 1/3, 2, 5]$
z = [0, 0, 0, 0]$
fft(q, z, qr, qi);
ifft(qr, qi, q2, z2);
nint(abs(q2 - q)*1e30);
nint(abs(z2)*1e30);
