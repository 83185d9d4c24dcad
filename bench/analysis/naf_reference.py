#!/usr/bin/python3
# A numpy reference of the frequency analysis, written apart from the kernel from the method
# itself: Hanning window, 7-point Newton-Cotes weights, coarse maximum on an FFT of the largest
# power of two of samples, the maximum of |phi| refined by parabolas then secants on the
# derivative, Gram-Schmidt orthogonalisation of the exponentials.
# Usage: naf_reference.py SIGNAL TERMS STEP [KEST_TERMS]
#   SIGNAL: lines "re im" (6k+1 of them), STEP the sampling step, TERMS the number of terms.
#   With KEST_TERMS (lines "freq re im" written by bench_analysis --terms) the largest
#   differences of frequencies and amplitudes are printed.
import sys
import time

import numpy as np


def analyse(z, h, nterm):
    n = len(z) - 1
    assert n % 6 == 0
    tau = np.arange(n + 1) * h
    half = n * h / 2
    win = 1 + np.cos(np.pi * (tau - half) / half)
    nc = np.array([41, 216, 27, 272, 27, 216, 41], dtype=float)
    q = np.zeros(n + 1)
    for p in range(0, n, 6):
        q[p:p + 7] += nc
    qw = q * 6 / 840 / n * win
    z = z.astype(complex).copy()
    frefon = 2 * np.pi / (n * h)
    n2 = 1 << (n + 1).bit_length() - 1
    frefo2 = frefon * n / n2

    def phi(nu, deriv=False):
        e = qw * np.exp(-1j * nu * tau)
        p = np.dot(z, e)
        if not deriv:
            return p
        return p, np.dot(z, -1j * tau * e)

    def refine(x):
        h_ = frefon / 3
        f = lambda v: abs(phi(v))
        xa, xb, xc = x - h_, x, x + h_
        fa, fb, fc = f(xa), f(xb), f(xc)
        eps = np.sqrt(np.finfo(float).eps) * frefon
        for _ in range(101):
            if fb >= fa and fb >= fc:
                den = fa - 2 * fb + fc
                if den >= 0:
                    break
                dx = 0.5 * h_ * (fa - fc) / den
                xb += dx
                if abs(dx) < eps or h_ < eps:
                    break
                h_ /= 2
                xa, xc = xb - h_, xb + h_
                fa, fb, fc = f(xa), f(xb), f(xc)
            elif fc > fb:
                xa, fa, xb, fb = xb, fb, xc, fc
                xc = xb + h_
                fc = f(xc)
            else:
                xc, fc, xb, fb = xb, fb, xa, fa
                xa = xb - h_
                fa = f(xa)

        def g(v):
            p, d = phi(v, True)
            return (np.conj(p) * d).real

        x0, x1 = xb, xb + max(eps, 1e-6 * frefon)
        g0, g1 = g(x0), g(x1)
        for _ in range(30):
            if g1 == g0:
                break
            x2 = x1 - g1 * (x1 - x0) / (g1 - g0)
            if abs(x2 - xb) > frefon:
                return xb
            if abs(x2 - x1) <= 1e-13 * frefon + 4e-16 * abs(x2):
                return x2
            x0, g0, x1, g1 = x1, g1, x2, g(x2)
        return x1

    freqs, alp, amps = [], np.zeros((nterm, nterm), complex), np.zeros(nterm, complex)
    for _ in range(nterm):
        spec = np.abs(np.fft.fft(z[:n2] * win[:n2]))
        j = int(np.argmax(spec))
        if j >= n2 // 2:
            j -= n2
        nu = refine(j * frefo2)
        if any(abs(f - nu) < frefon for f in freqs):
            break
        m = len(freqs)
        pe = np.array([np.dot(qw, np.exp(1j * (nu - f) * tau)) for f in freqs])
        dip = np.array([np.dot(np.conj(alp[k, :k + 1]), pe[:k + 1]) for k in range(m)])
        norm2 = qw.sum() - np.sum(np.abs(dip) ** 2)
        for k in range(m):
            alp[m, k] = -np.dot(dip[k:m], alp[k:m, k])
        alp[m, m] = 1
        alp[m, :m + 1] /= np.sqrt(norm2)
        a = np.conj(alp[m, m]) * phi(nu)
        freqs.append(nu)
        for k in range(m + 1):
            c = a * alp[m, k]
            amps[k] += c
            z -= c * np.exp(1j * freqs[k] * tau)
    return np.array(freqs), amps[:len(freqs)]


def main():
    signal, nterm, h = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    data = np.loadtxt(signal)
    z = data[:, 0] + 1j * data[:, 1]
    t = time.perf_counter()
    freqs, amps = analyse(z, h, nterm)
    print("numpy_naf_%d_samples_%d_terms %.6f" % (len(z), nterm, time.perf_counter() - t))
    if len(sys.argv) > 4:
        k = np.loadtxt(sys.argv[4], ndmin=2)
        kf, ka = k[:, 0], k[:, 1] + 1j * k[:, 2]
        df = max(abs(kf[np.argmin(abs(kf - f))] - f) for f in freqs)
        da = max(abs(ka[np.argmin(abs(kf - f))] - a) for f, a in zip(freqs, amps))
        print("numpy_vs_kest_max_frequency_difference %.3e" % df)
        print("numpy_vs_kest_max_amplitude_difference %.3e" % da)


main()
