// Timings of the built-in transforms (2^20 points, double and quad) and of a frequency analysis
// of 10^6 samples for 20 terms. Prints "name seconds" lines (median of the repetitions) and, for
// the analysis, the largest errors against the injected terms; with --signal FILE it also
// writes the analysed samples (one "re im" line each) and with --terms FILE the terms found,
// for the numpy reference of bench/analysis/naf_reference.py.
#include "numeric/fft.h"
#include "numeric/naf.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

template <class F>
double median_seconds(int reps, F f)
{
    std::vector<double> t;
    for (int r = 0; r < reps; r++) {
        const auto a = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

template <class T>
void fftbench(const char* name, size_t n, int reps)
{
    std::mt19937_64 gen(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<T> d(2 * n);
    for (auto& x : d) x = T(u(gen));
    fft_radix2(d.data(), n, -1);   // the twiddle table of this size, made once
    std::vector<T> work = d;
    const double s = median_seconds(reps, [&] {
        work = d;
        fft_radix2(work.data(), n, -1);
    });
    printf("%s %.6f\n", name, s);
}

} // namespace

int main(int argc, char** argv)
{
    int reps = 5;
    long samples = 1000002 - 1;   // 6k + 1 samples, k = 166667
    int terms = 20;
    const char* signalfile = nullptr;
    const char* termsfile = nullptr;
    bool quad = true;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "-n") && i + 1 < argc) reps = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--samples") && i + 1 < argc) samples = atol(argv[++i]);
        else if (!strcmp(argv[i], "--terms-count") && i + 1 < argc) terms = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--signal") && i + 1 < argc) signalfile = argv[++i];
        else if (!strcmp(argv[i], "--terms") && i + 1 < argc) termsfile = argv[++i];
        else if (!strcmp(argv[i], "--no-quad")) quad = false;
    }
    samples = (samples - 1) / 6 * 6 + 1;
    fftbench<double>("fft_double_2^20", size_t(1) << 20, reps);
    if (quad) fftbench<__float128>("fft_quad_2^20", size_t(1) << 20, std::max(1, reps / 3));

    // 20 terms with well-separated frequencies in (-pi, pi) and amplitudes falling from 1.
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<double> nu(terms);
    std::vector<t_nafcplx> a(terms);
    for (int k = 0; k < terms; k++) {
        nu[k] = -3.0 + 6.0 * (k + 0.2 + 0.6 * u(gen)) / terms;
        a[k] = std::polar(std::pow(0.8, k), 2 * M_PI * u(gen));
    }
    const double h = 0.5;
    std::vector<double> re(samples), im(samples);
    for (long j = 0; j < samples; j++) {
        t_nafcplx z = 0;
        for (int k = 0; k < terms; k++) z += a[k] * std::polar(1.0, nu[k] * j * h);
        re[j] = z.real();
        im[j] = z.imag();
    }
    if (signalfile) {
        FILE* f = fopen(signalfile, "w");
        for (long j = 0; j < samples; j++) fprintf(f, "%.17g %.17g\n", re[j], im[j]);
        fclose(f);
    }
    std::vector<double> freq;
    std::vector<t_nafcplx> amp;
    t_nafsettings set;
    const double s = median_seconds(std::max(1, reps / 2), [&] {
        naf_process_samples(nullptr, set, nullptr, terms, re.data(), im.data(), samples, 0, h, {}, "re", "im",
                            &freq, &amp);
    });
    double ef = 0, ea = 0;
    for (int k = 0; k < terms; k++) {
        size_t best = 0;
        for (size_t i = 1; i < freq.size(); i++)
            if (std::fabs(freq[i] - nu[k]) < std::fabs(freq[best] - nu[k])) best = i;
        if (freq.empty()) break;
        ef = std::max(ef, std::fabs(freq[best] - nu[k]));
        ea = std::max(ea, std::abs(amp[best] - a[k]));
    }
    printf("naf_%ld_samples_%d_terms %.6f\n", samples, terms, s);
    printf("naf_found %zu\nnaf_max_frequency_error %.3e\nnaf_max_amplitude_error %.3e\n", freq.size(), ef, ea);
    if (termsfile) {
        FILE* f = fopen(termsfile, "w");
        for (size_t i = 0; i < freq.size(); i++)
            fprintf(f, "%.17g %.17g %.17g\n", freq[i], amp[i].real(), amp[i].imag());
        fclose(f);
    }
    return 0;
}
