// Frequency analysis of a sampled quasi-periodic signal z(t) = sum_k a_k exp(i nu_k t): the
// frequencies one after the other at the maximum of a windowed Fourier integral, refined far
// below the resolution of a discrete transform, each found term removed from the signal by
// Gram-Schmidt orthogonalisation of the exponentials so that the amplitudes stay consistent.
#pragma once
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

class t_cctx;

// The settings of one analysis (the language's _naf_* options).
struct t_nafsettings {
    int iprt = -1;                          // trace: -1 none, 0 warnings, 1 everything
    int icplx = 1;                          // 1 complex samples, 0 real ones
    int iw = 1;                             // window: 0 none, p > 0 cosine power p, -1 exponential
    int isec = 1;                           // finish each maximum by secants
    double dtour = 6.283185307179586477;    // one turn in the unit of the frequencies
    int nulin = 1;                          // lines skipped at the head of a data file
    double tol = 1e-10;                     // relative closeness of two frequencies taken as one
    int tp = 0;                             // kept with the others and written with them
};

// A band of the spectrum searched for `count` terms.
struct t_nafwindow {
    double low, high;
    int count;
};

// How the parabola search of a maximum ended.
enum t_nafsearchend {
    NAF_VERTEX = 0,        // at the vertex of the last parabola
    NAF_TINY = 1,          // the correction fell below the precision
    NAF_FLAT = 2,          // the curve is too flat for a parabola
    NAF_OSCILLATION = 3,   // the bracket kept moving back and forth
    NAF_NOBRACKET = 4,     // no bracket found
    NAF_TOOMANY = 5,       // too many iterations or evaluations
};

using t_nafcplx = std::complex<double>;

struct t_nafstate {
    t_nafsettings set;
    FILE* trace = stdout;   // where the traces go (IPRT >= 0)
    t_cctx* ctx = nullptr;  // with a context the sums over the samples run on the scheduler

    int ktabs = 0;          // sample intervals: ktabs + 1 samples
    double xh = 1;          // sampling step
    double t0 = 0;          // time of the first sample
    double frefon = 0;      // dtour / (ktabs xh): the resolution of the whole sample
    int nterm = 0;          // capacity in terms
    int nfs = 0;            // terms found
    double bound = 1e100;   // the vector forms search at precision |frefon| / bound
    int status = 0;         // how the last parabola search ended (t_nafsearchend)

    std::vector<t_nafcplx> ztabs;   // the samples; the residual once terms are removed
    std::vector<double> twin;       // window weights
    std::vector<double> tfs;        // frequencies found
    std::vector<t_nafcplx> zamp;    // their amplitudes (time origin 0 once the analysis ends)
    std::vector<t_nafcplx> zalp;    // Gram-Schmidt coefficients, nterm x nterm, row per term
    std::vector<t_nafwindow> windows;

    // Internal working copies, kept to avoid an allocation per evaluation.
    std::vector<double> qw;         // quadrature weight times window weight, per sample
};

// Ready for ktabs + 1 samples (ktabs a multiple of 6) and `nterm` terms: every array sized and
// cleared, frefon computed, the window weights made. False (error 347) when ktabs is not a
// positive multiple of 6.
bool naf_init(t_cctx* ctx, t_nafstate* st, const t_nafsettings& set, int ktabs, double xh, double t0, int nterm);
// The window weights of st->set.iw (traced times 1e6 at IPRT 1).
void naf_iniwin(t_nafstate* st);

// The analysis of the samples in st->ztabs: nbterm terms (per window when there are windows),
// parabola searches to precision eps. False with error 346 when nbterm exceeds the capacity.
// The frequencies and amplitudes found are st->tfs[0..nfs) and st->zamp[0..nfs).
bool naf_mftnaf(t_cctx* ctx, t_nafstate* st, int nbterm, double eps);

// The windowed Fourier integral phi(nu) = (1/2T) int z(t) exp(-i nu t) w(t) dt of the residual
// (time measured from the first sample), and its derivative in nu when dphi is not null.
t_nafcplx naf_phi(const t_nafstate* st, double nu, t_nafcplx* dphi = nullptr);

// The largest power of two not above n (n >= 1).
int naf_puiss2(int n);

// Samples of vectors: ktabs = count - 1 reduced to a multiple of 6 with information messages 70
// (naming both vectors) and 69 (the new ktabs); -1 with error 460 when no interval is left.
int naf_ktabs_of_samples(t_cctx* ctx, long count, const char* namere, const char* nameim);

// The whole analysis of vectors of samples: re (and im for complex data, null for real data)
// of `count` values at t0, t0 + xh, ...; nterm terms, or the windows' counts; the results in
// freq and amp. With a real signal (set.icplx == 0) each window's count is halved rounding up
// and every frequency comes with its opposite. False after a reported error. The outputs are
// empty when no term was found or more were found than asked. More terms than half the samples,
// or than naf_maxterms, is error 361 (the orthogonalisation keeps a square table of them).
constexpr int naf_maxterms = 8192;
bool naf_process_samples(t_cctx* ctx, const t_nafsettings& set, FILE* trace, int nterm, const double* re,
                         const double* im, long count, double t0, double xh, const std::vector<t_nafwindow>& windows,
                         const char* namere, const char* nameim, std::vector<double>* freq,
                         std::vector<t_nafcplx>* amp);

// ---------------------------------------------------------------- files
// Solution file, text, one term per line after the parameters (see naf_saveparameter):
//   "%d %+.17E %+.17E %+.17E %+.17E\n"  index (1-based), frequency, |amplitude|, real part,
//   imaginary part of the amplitude.
// Lines starting with '#' are the parameters. naf_loadsol reads the terms back (index and
// modulus are checked for form only: the real and imaginary parts are the amplitude).
// Parameters: "# naf parameters\n", then "# %-6s = %d\n" for ktabs, nterm, nfs, icplx, iw,
// isec, nulin, tp, iprt and "# %-6s = %+.17E\n" for xh, t0, dtour, tol, frefon.
bool naf_saveparameter(FILE* f, const t_nafstate* st);
bool naf_savesol(t_cctx* ctx, const char* filename, const t_nafstate* st, const std::vector<double>& freq,
                 const std::vector<t_nafcplx>& amp);
// Error 301 (with the reason) when the file cannot be opened, 771 when a term line is damaged.
bool naf_loadsol(t_cctx* ctx, const char* filename, std::vector<double>* freq, std::vector<t_nafcplx>* amp);
// A data file of lines "t re [im]" (after nulin skipped lines): the times give t0 and the step.
// Error 301 when it cannot be read, 460 for fewer than two samples, 771 for a damaged line.
bool naf_readdata(t_cctx* ctx, const char* filename, int nulin, bool complex, std::vector<double>* re,
                  std::vector<double>* im, double* t0, double* xh);

// ---------------------------------------------------------------- resonances
// For every measured frequency, the integer combination k of the base frequencies (|k_j| <= kmax)
// nearest to it; when within tol it is kept: rows of k, the combination's value and the gap.
// With `parallel` the measured frequencies are shared among the scheduler's threads.
struct t_freqa_match {
    std::vector<int> k;    // empty when nothing within tol
    double value = 0;      // sum k_j base_j
    double gap = 0;        // measured - value
};
std::vector<t_freqa_match> freqa_find(t_cctx* ctx, const std::vector<double>& measured,
                                      const std::vector<double>& base, int kmax, double tol, bool parallel);
// Resonances among the base frequencies themselves: every k (first non-zero entry positive,
// |k_j| <= kmax, not all zero) with |sum k_j base_j| <= tol, ordered by the sum of |k_j|.
std::vector<t_freqa_match> freqa_resonances(t_cctx* ctx, const std::vector<double>& base, int kmax, double tol,
                                            bool parallel);
