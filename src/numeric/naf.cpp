// The frequency-analysis kernel: window weights, coarse search on a discrete transform, fine
// search of the maximum by parabolas then secants, the closeness test, Gram-Schmidt
// orthogonalisation of the exponentials and the amplitude corrections.
//
// Cost: one evaluation of phi is one pass over the samples (a complex multiply-add per sample,
// the exponential advanced by a rotation and recomputed exactly every 256 samples so that the
// rounding of the rotation does not build up over a million samples). A term costs one
// transform, about thirty evaluations of phi and one pass per earlier term for the products.
#include "numeric/naf.h"

#include "interp/error.h"
#include "interp/taskloop.h"
#include "numeric/fft.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>

namespace {

constexpr double k_twopi = 6.283185307179586476925286766559;
constexpr int k_resync = 256;   // samples between two exact exponentials
constexpr int k_block = 32 * k_resync;   // samples per share of the sums and subtractions

// 7-point Newton-Cotes weights of a panel of six steps (times 6h/840); panels share their ends.
constexpr double k_nc7[7] = {41, 216, 27, 272, 27, 216, 41};

// Angular frequency (radians per unit of time) of a frequency in the unit of dtour.
double omega(const t_nafstate* st, double nu) { return nu * (k_twopi / st->set.dtour); }

void trace(const t_nafstate* st, int level, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void trace(const t_nafstate* st, int level, const char* fmt, ...)
{
    if (st->set.iprt < level || !st->trace) return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(st->trace, fmt, ap);
    va_end(ap);
}

// Runs body(block) for every block of k_block samples: over the scheduler when the analysis has
// a context that allows it, in the caller otherwise. Blocks are the same either way, and their
// results are combined in block order by the callers, so the numbers do not depend on _cpu.
template <class F>
void forblocks(const t_nafstate* st, int nblocks, F body)
{
    if (st->ctx && nblocks > 1) parallel_loop_for_fast3(st->ctx, 0, nblocks - 1, [&](int b, t_cctx*) { body(b); });
    else
        for (int b = 0; b < nblocks; b++) body(b);
}

int blockcount(const t_nafstate* st) { return (st->ktabs + 1 + k_block - 1) / k_block; }

// sum_k w_k z_k exp(-i om tau_k) over samples [first, end) (z null: all ones), and with d the
// same times -i tau_k.
template <bool WithDerivative>
t_nafcplx windowedblock(const t_nafstate* st, const t_nafcplx* z, double om, int first, int last, t_nafcplx* d)
{
    const double* w = st->qw.data();
    const double h = st->xh;
    const t_nafcplx rot = std::polar(1.0, -om * h);
    const double rr = rot.real(), ri = rot.imag();
    double sr = 0, si = 0, dr = 0, di = 0;
    for (int start = first; start < last; start += k_resync) {
        const int end = std::min(last, start + k_resync);
        const t_nafcplx e = std::polar(1.0, -om * h * start);
        double er = e.real(), ei = e.imag();
        for (int k = start; k < end; k++) {
            double vr = w[k] * er, vi = w[k] * ei;
            if (z) {
                const double zr = z[k].real(), zi = z[k].imag();
                const double tr = zr * vr - zi * vi;
                vi = zr * vi + zi * vr;
                vr = tr;
            }
            sr += vr;
            si += vi;
            if constexpr (WithDerivative) {
                const double tau = h * k;   // -i tau (vr + i vi) = tau vi - i tau vr
                dr += tau * vi;
                di -= tau * vr;
            }
            const double nr = er * rr - ei * ri;
            ei = er * ri + ei * rr;
            er = nr;
        }
    }
    if constexpr (WithDerivative) *d = t_nafcplx(dr, di);
    return t_nafcplx(sr, si);
}

template <bool WithDerivative>
t_nafcplx windowedsum(const t_nafstate* st, const t_nafcplx* z, double om, t_nafcplx* d)
{
    const int n = st->ktabs + 1, nb = blockcount(st);
    std::vector<t_nafcplx> part(static_cast<size_t>(nb) * (WithDerivative ? 2 : 1));
    forblocks(st, nb, [&](int b) {
        const int first = b * k_block, last = std::min(n, first + k_block);
        t_nafcplx db;
        part[b] = windowedblock<WithDerivative>(st, z, om, first, last, &db);
        if constexpr (WithDerivative) part[nb + b] = db;
    });
    t_nafcplx sum = 0, dsum = 0;
    for (int b = 0; b < nb; b++) sum += part[b];
    if constexpr (WithDerivative) {
        for (int b = 0; b < nb; b++) dsum += part[nb + b];
        *d = dsum;
    }
    return sum;
}

// z_k -= sum_j c_j exp(i om_j tau_k) for the `count` terms, in one pass over the samples.
void subtract(t_nafstate* st, const t_nafcplx* c, const double* om, int count)
{
    const int n = st->ktabs + 1;
    t_nafcplx* z = st->ztabs.data();
    const double h = st->xh;
    forblocks(st, blockcount(st), [&](int b) {
        const int first = b * k_block, last = std::min(n, first + k_block);
        std::vector<t_nafcplx> e(count), rot(count);
        for (int j = 0; j < count; j++) rot[j] = std::polar(1.0, om[j] * h);
        for (int start = first; start < last; start += k_resync) {
            const int end = std::min(last, start + k_resync);
            for (int j = 0; j < count; j++) e[j] = c[j] * std::polar(1.0, om[j] * h * start);
            for (int k = start; k < end; k++) {
                t_nafcplx s = 0;
                for (int j = 0; j < count; j++) {
                    s += e[j];
                    e[j] *= rot[j];
                }
                z[k] -= s;
            }
        }
    });
}

void subtract(t_nafstate* st, t_nafcplx c, double om) { subtract(st, &c, &om, 1); }

double modulus(const t_nafstate* st, double nu) { return std::abs(naf_phi(st, nu)); }

// ---------------------------------------------------------------- coarse search

struct t_coarse {
    int ktabs2 = 0;
    double frefo2 = 0;
    std::vector<double> buf;   // the transform, interleaved
};

// Index of the largest |Z_j| (j in the bins of the range), as a signed bin.
int fftmax(t_nafstate* st, t_coarse& c, bool ranged, int ifrmin, int ifrmax, double* rtab)
{
    const int n2 = c.ktabs2;
    c.buf.resize(2 * static_cast<size_t>(n2));
    for (int k = 0; k < n2; k++) {
        c.buf[2 * k] = st->ztabs[k].real() * st->twin[k];
        c.buf[2 * k + 1] = st->ztabs[k].imag() * st->twin[k];
    }
    fft_radix2(c.buf.data(), static_cast<size_t>(n2), -1);
    auto mod = [&](int j) { return std::hypot(c.buf[2 * j], c.buf[2 * j + 1]) / n2; };
    auto argmax = [&](int lo, int hi, double* best) {
        int at = lo;
        *best = -1;
        for (int j = lo; j <= hi; j++) {
            const double m = mod(j);
            if (m > *best) {
                *best = m;
                at = j;
            }
        }
        return at;
    };
    int idx;
    if (!ranged) {
        // A real signal has a symmetric spectrum: its non-negative half says everything.
        idx = argmax(0, st->set.icplx ? n2 - 1 : n2 / 2 - 1, rtab);
        if (idx >= n2 / 2) idx -= n2;
    } else if (ifrmin >= 0) {
        idx = argmax(ifrmin, ifrmax, rtab);
    } else if (ifrmax < 0) {
        idx = argmax(n2 + ifrmin, n2 + ifrmax, rtab) - n2;
    } else {
        double pos, neg;
        const int ip = argmax(0, ifrmax, &pos);
        const int in = argmax(n2 + ifrmin, n2 - 1, &neg) - n2;
        idx = pos >= neg ? ip : in;
        *rtab = std::max(pos, neg);
    }
    trace(st, 1, "IFRMIN=%d IFRMAX=%d IFR=%d FR=%g RTAB=%g INDX=%d KTABS2=%d\n", ifrmin, ifrmax, idx,
          idx * c.frefo2, *rtab, idx, n2);
    return idx;
}

// ---------------------------------------------------------------- fine search

// The maximum of |phi| near x by parabolas through three points h apart.
double maxiqua(t_nafstate* st, double x, double h, double eps, double* ymax)
{
    double xa = x - h, xb = x, xc = x + h;
    double fa = modulus(st, xa), fb = modulus(st, xb), fc = modulus(st, xc);
    int evals = 3, moves = 0, turns = 0, lastdir = 0;
    for (int iter = 1;; iter++) {
        if (iter > 101 || evals > 200) {
            st->status = NAF_TOOMANY;
            trace(st, 0, " ERREUR FATALE\n");
            break;
        }
        if (!(std::isfinite(fa) && std::isfinite(fb) && std::isfinite(fc))) {
            *ymax = fb;
            return NAN;
        }
        if (fb >= fa && fb >= fc) {
            const double den = fa - 2 * fb + fc;
            if (!(den < 0)) {
                st->status = NAF_FLAT;
                trace(st, 1, "COURBE TROP PLATE\n");
                break;
            }
            const double dx = 0.5 * h * (fa - fc) / den;
            if (std::fabs(dx) < eps) {
                st->status = NAF_TINY;
                trace(st, 1, "CORRECTION MINUSCULE\n");
                xb += dx;
                fb = modulus(st, xb);
                break;
            }
            if (h < eps) {
                st->status = NAF_VERTEX;
                trace(st, 1, "SORTIE AU SOMMET DE LA PARABOLE\n");
                xb += dx;
                fb = modulus(st, xb);
                break;
            }
            h /= 2;
            xb += dx;
            xa = xb - h;
            xc = xb + h;
            fa = modulus(st, xa);
            fb = modulus(st, xb);
            fc = modulus(st, xc);
            evals += 3;
            lastdir = 0;
            continue;
        }
        const int dir = fc > fb ? 1 : -1;
        if (lastdir && dir != lastdir && ++turns > 10) {
            st->status = NAF_OSCILLATION;
            trace(st, 0, " OSCILLATION DE L''ENCADREMENT ?\n");
            break;
        }
        lastdir = dir;
        if (++moves > 50) {
            st->status = NAF_NOBRACKET;
            trace(st, 0, "  PAS D''ENCADREMENT TROUVE\n");
            break;
        }
        if (dir > 0) {
            xa = xb, fa = fb;
            xb = xc, fb = fc;
            xc = xb + h;
            fc = modulus(st, xc);
        } else {
            xc = xb, fc = fb;
            xb = xa, fb = fa;
            xa = xb - h;
            fa = modulus(st, xa);
        }
        evals++;
    }
    *ymax = fb;
    return xb;
}

// The zero of d|phi|^2/dnu = 2 Re(conj(phi) phi') near x by secants; x itself when they fail.
double secantes(t_nafstate* st, double x, double h)
{
    auto g = [&](double nu) {
        t_nafcplx d;
        const t_nafcplx p = naf_phi(st, nu, &d);
        return (std::conj(p) * d).real();
    };
    const double tolx = 1e-13 * std::fabs(st->frefon);
    double x0 = x, x1 = x + h;
    double g0 = g(x0), g1 = g(x1);
    const char* why = " BEAUCOUP TROP D ITERATIONS\n";
    bool initial = false;
    for (int it = 0; it < 30; it++) {
        if (g1 == 0) return x1;
        const double dg = g1 - g0;
        if (!(std::fabs(dg) > 1e-300) || !std::isfinite(dg)) {
            why = " DIVISION PAR PRESQUEZERO\n";
            break;
        }
        const double x2 = x1 - g1 * (x1 - x0) / dg;
        if (!std::isfinite(x2) || std::fabs(x2 - x) > std::fabs(st->frefon)) {
            // Gone beyond the peak the parabolas found: its value is the one to trust.
            initial = true;
            break;
        }
        if (std::fabs(x2 - x1) <= tolx + 4 * DBL_EPSILON * std::fabs(x2)) return x2;
        x0 = x1, g0 = g1;
        x1 = x2, g1 = g(x2);
    }
    trace(st, 0, "ECHEC DE LA METHODE DES SECANTES\n");
    if (!initial) trace(st, 0, "%s", why);
    trace(st, 0, initial ? " ON CONTINUE AVEC LA VALEUR INITIALE\n" : " ON CONTINUE AVEC LA VALEUR TROUVEE\n");
    return x;
}

double frefin(t_nafstate* st, double fr, double starep, double eps)
{
    double ymax;
    double x = maxiqua(st, fr, starep, eps, &ymax);
    if (std::isnan(x)) return x;
    if (st->set.isec == 1) x = secantes(st, x, std::max(eps, 1e-6 * std::fabs(st->frefon)));
    return x;
}

// -1: the same as term *index; 0: too close to a term to resolve; 1: new.
int fretes(const t_nafstate* st, double fr, int* index)
{
    const double res = std::fabs(st->frefon);
    for (int i = 0; i < st->nfs; i++) {
        const double d = std::fabs(st->tfs[i] - fr);
        if (d >= res) continue;
        if (d / res < st->set.tol) {
            trace(st, 1, "TEST/ECART = %g   ON CONTINUE\n", d / res);
            *index = i;
            return -1;
        }
        trace(st, 0, "TEST = %g ECART = %g \n", d / res, d);
        trace(st, 0, "FREQUENCE   FR = %g  TROP PROCHE  DE  %g\n", fr, st->tfs[i]);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- orthogonalisation

// <e_a, e_b> with e(t) = exp(i om t) and the windowed product.
t_nafcplx prodexp(const t_nafstate* st, double oma, double omb)
{
    return windowedsum<false>(st, nullptr, omb - oma, nullptr);
}

// The new term fr joins the orthonormal family; the signal's amplitude on it is added to every
// amplitude it involves and the term leaves the samples.
void gramsc(t_nafstate* st, double fr)
{
    const int n = st->nfs, nt = st->nterm;
    t_nafcplx* alp = st->zalp.data();
    const double om = omega(st, fr);
    // <e_n, e_m> for the earlier terms, then <e_n, F_j> = sum_m conj(alp[j][m]) <e_n, e_m>
    std::vector<t_nafcplx> pe(n), dip(n);
    for (int m = 0; m < n; m++) pe[m] = prodexp(st, om, omega(st, st->tfs[m]));
    double norm2 = windowedsum<false>(st, nullptr, 0, nullptr).real();
    for (int j = 0; j < n; j++) {
        t_nafcplx s = 0;
        for (int m = 0; m <= j; m++) s += std::conj(alp[j * nt + m]) * pe[m];
        dip[j] = s;
        norm2 -= std::norm(s);
    }
    // F_n = (e_n - sum_j dip_j F_j) / norm
    for (int m = 0; m < n; m++) {
        t_nafcplx s = 0;
        for (int j = m; j < n; j++) s -= dip[j] * alp[j * nt + m];
        alp[n * nt + m] = s;
    }
    alp[n * nt + n] = 1;
    const double norm = norm2 > 0 ? std::sqrt(norm2) : 0;
    for (int m = 0; m <= n; m++) alp[n * nt + m] = norm > 0 ? alp[n * nt + m] / norm : 0;
    // The residual is orthogonal to the earlier F_j, hence <z, F_n> = conj(alp[n][n]) phi(fr).
    const t_nafcplx a = std::conj(alp[n * nt + n]) * naf_phi(st, fr);
    st->tfs[n] = fr;
    st->zamp[n] = 0;
    std::vector<t_nafcplx> c(n + 1);
    std::vector<double> om_m(n + 1);
    for (int m = 0; m <= n; m++) {
        c[m] = a * alp[n * nt + m];
        om_m[m] = omega(st, st->tfs[m]);
        st->zamp[m] += c[m];
    }
    subtract(st, c.data(), om_m.data(), n + 1);
    st->nfs = n + 1;
}

// The term i measured again: its amplitude grows by what is measured and that leaves the samples.
void modfre(t_nafstate* st, int i)
{
    const double fi = st->tfs[i];
    const t_nafcplx a = naf_phi(st, fi);
    st->zamp[i] += a;
    subtract(st, a, omega(st, fi));
    trace(st, 1, "CORRECTION DE  IFR = %d AMPLITUDE  = %g", i + 1, std::abs(a));
    trace(st, 1, "\n");
}

} // namespace

// ---------------------------------------------------------------- public

int naf_puiss2(int n)
{
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

t_nafcplx naf_phi(const t_nafstate* st, double nu, t_nafcplx* dphi)
{
    const double om = omega(st, nu);
    if (!dphi) return windowedsum<false>(st, st->ztabs.data(), om, nullptr);
    t_nafcplx d;
    const t_nafcplx p = windowedsum<true>(st, st->ztabs.data(), om, &d);
    *dphi = d * (k_twopi / st->set.dtour);
    return p;
}

void naf_iniwin(t_nafstate* st)
{
    const int n = st->ktabs;
    st->twin.assign(static_cast<size_t>(n) + 1, 1.0);
    const double half = n * st->xh / 2;
    const int iw = st->set.iw;
    if (iw > 0) {
        double cn = 1;
        for (int i = 1; i <= iw; i++) cn *= 2.0 * i / (iw + i);
        for (int k = 0; k <= n; k++) {
            const double t = k * st->xh;
            st->twin[k] = cn * std::pow(1 + std::cos(M_PI * (t - half) / half), iw);
        }
    } else if (iw == -1) {
        for (int k = 0; k <= n; k++) {
            const double x = (k * st->xh - half) / half;
            st->twin[k] = k == 0 || k == n ? 0 : std::exp(-1 / (1 - x * x)) / 0.2219969080840397;
        }
    }
    if (st->set.iprt == 1) {
        const int every = n >= 21 ? n / 20 : 1;
        for (int k = 0; k <= n; k += every) trace(st, 1, "%20.3E\n", st->twin[k] * 1e6);
    }
    // Newton-Cotes weights, normalised so that they sum to one over the whole sample.
    st->qw.assign(static_cast<size_t>(n) + 1, 0.0);
    const double scale = 6.0 / 840.0 / n;
    for (int k = 0; k < n; k++) st->qw[k] += k_nc7[k % 6] * scale;
    for (int k = 1; k <= n; k++) st->qw[k] += (k % 6 == 0 ? k_nc7[6] : 0) * scale;
    for (int k = 0; k <= n; k++) st->qw[k] *= st->twin[k];
}

bool naf_init(t_cctx* ctx, t_nafstate* st, const t_nafsettings& set, int ktabs, double xh, double t0, int nterm)
{
    if (ktabs <= 0 || ktabs % 6 != 0) {
        kst_runerror(ctx, 347);
        return false;
    }
    st->set = set;
    st->ktabs = ktabs;
    st->xh = xh;
    st->t0 = t0;
    st->frefon = set.dtour / (ktabs * xh);
    st->nterm = nterm;
    st->nfs = 0;
    st->status = 0;
    st->ztabs.assign(static_cast<size_t>(ktabs) + 1, 0);
    st->tfs.assign(nterm, 0);
    st->zamp.assign(nterm, 0);
    st->zalp.assign(static_cast<size_t>(nterm) * nterm, 0);
    naf_iniwin(st);
    return true;
}

bool naf_mftnaf(t_cctx* ctx, t_nafstate* st, int nbterm, double eps)
{
    if (nbterm > st->nterm) {
        kst_runerror(ctx, 346, nbterm);
        return false;
    }
    const double starep = std::fabs(st->frefon) / 3;
    eps = std::max(eps, std::sqrt(DBL_EPSILON) * std::fabs(st->frefon));
    st->nfs = 0;
    std::fill(st->tfs.begin(), st->tfs.end(), 0);
    std::fill(st->zamp.begin(), st->zamp.end(), 0);
    std::fill(st->zalp.begin(), st->zalp.end(), 0);
    t_coarse coarse;
    coarse.ktabs2 = naf_puiss2(st->ktabs + 1);
    coarse.frefo2 = st->frefon * st->ktabs / coarse.ktabs2;
    trace(st, 1, "KTABS2= %d  FREFO2= %g\n", coarse.ktabs2, coarse.frefo2);
    const bool real = st->set.icplx == 0;
    const int lim = coarse.ktabs2 / 2 - 1;

    std::vector<t_nafwindow> passes = st->windows;
    const bool ranged = !passes.empty();
    if (!ranged) passes.push_back({0, 0, nbterm});
    for (const t_nafwindow& w : passes) {
        int ifrmin = 0, ifrmax = 0;
        if (ranged) {
            double lo = w.low / coarse.frefo2, hi = w.high / coarse.frefo2;
            lo = std::clamp(lo, double(-lim), double(lim));
            hi = std::clamp(hi, double(-lim), double(lim));
            ifrmin = static_cast<int>(lo);
            ifrmax = static_cast<int>(hi);
            if (ifrmin > ifrmax) std::swap(ifrmin, ifrmax);
        }
        const int count = ranged ? (real ? (w.count + 1) / 2 : w.count) : nbterm;
        for (int it = 0; it < count && !Erreur_Execution; it++) {
            double rtab = 0;
            const int idx = fftmax(st, coarse, ranged, ifrmin, ifrmax, &rtab);
            if (!(rtab > 0)) break;   // nothing left in the samples
            const double fr = frefin(st, idx * coarse.frefo2, starep, eps);
            if (std::isnan(fr)) break;
            int old = -1;
            const int flag = fretes(st, fr, &old);
            if (flag == 0) break;
            if (flag == -1) {
                modfre(st, old);
                int twin = -1;
                if (real && fretes(st, -fr, &twin) == -1 && twin != old) modfre(st, twin);
                continue;
            }
            if (st->nfs >= st->nterm) break;
            gramsc(st, fr);
            int other = -1;
            if (real && st->nfs < st->nterm && fretes(st, -fr, &other) == 1) gramsc(st, -fr);
        }
    }
    // Amplitudes for the time origin 0 rather than the first sample.
    for (int i = 0; i < st->nfs; i++) st->zamp[i] *= std::polar(1.0, -omega(st, st->tfs[i]) * st->t0);
    return true;
}

int naf_ktabs_of_samples(t_cctx* ctx, long count, const char* namere, const char* nameim)
{
    long ktabs = count - 1;
    if (ktabs > 0 && ktabs % 6 != 0) {
        kst_runinfo(70, namere, nameim);
        ktabs -= ktabs % 6;
        kst_runinfo(69, static_cast<int>(ktabs));
    }
    if (ktabs < 6 || ktabs > INT32_MAX - 1) {
        kst_runerror(ctx, 460);
        return -1;
    }
    return static_cast<int>(ktabs);
}

bool naf_process_samples(t_cctx* ctx, const t_nafsettings& set, FILE* trace, int nterm, const double* re,
                         const double* im, long count, double t0, double xh,
                         const std::vector<t_nafwindow>& windows, const char* namere, const char* nameim,
                         std::vector<double>* freq, std::vector<t_nafcplx>* amp)
{
    freq->clear();
    amp->clear();
    long asked = nterm;
    if (!windows.empty()) {
        asked = 0;
        for (const t_nafwindow& w : windows) asked += w.count;
    }
    if (asked > count / 2 || asked > naf_maxterms) {
        kst_runerror(ctx, 361, static_cast<int>(std::min<long>(asked, INT32_MAX)), namere, nameim);
        return false;
    }
    const int ktabs = naf_ktabs_of_samples(ctx, count, namere, nameim);
    if (ktabs < 0) return false;
    // A real signal's terms come in pairs: room for both of every frequency searched.
    int searched = static_cast<int>(asked), capacity = static_cast<int>(asked);
    if (set.icplx == 0) {
        searched = (capacity + 1) / 2;
        if (!windows.empty()) {
            capacity = 0;
            for (const t_nafwindow& w : windows) capacity += 2 * ((w.count + 1) / 2);
        } else {
            capacity = 2 * searched;
        }
    }
    t_nafstate st;
    st.trace = trace;
    st.ctx = ctx;
    if (!naf_init(ctx, &st, set, ktabs, xh, t0, capacity)) return false;
    st.windows = windows;
    for (int k = 0; k <= ktabs; k++) st.ztabs[k] = t_nafcplx(re[k], set.icplx && im ? im[k] : 0.0);
    if (!naf_mftnaf(ctx, &st, searched, std::fabs(st.frefon) / st.bound)) return false;
    if (st.nfs == 0 || st.nfs > capacity) return true;
    freq->assign(st.tfs.begin(), st.tfs.begin() + st.nfs);
    amp->assign(st.zamp.begin(), st.zamp.begin() + st.nfs);
    return true;
}
