// The built-in radix-2 transforms (double and quad) and the plan cache of the fft statements.
//
// Cost model: an iterative decimation-in-time transform, n log2 n butterflies after one
// bit-reversal pass. The twiddle factors come from one table per thread and precision, built for
// the largest size seen so far and read with a stride by smaller sizes: every factor is computed
// directly from sin/cos (no recurrence), which is what keeps a forward-inverse round trip at a
// few units of the last place even at 2^20 points. The table lives per thread so that the
// kernels take no lock.
#include "numeric/fft.h"

#include <quadmath.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace {

template <class T> struct t_fftmath;
template <> struct t_fftmath<double> {
    static double pi() { return M_PI; }
    static double c(double x) { return std::cos(x); }
    static double s(double x) { return std::sin(x); }
};
template <> struct t_fftmath<__float128> {
    static __float128 pi() { return M_PIq; }
    static __float128 c(__float128 x) { return cosq(x); }
    static __float128 s(__float128 x) { return sinq(x); }
};

// exp(-2 pi i k / size) for k < size/2, interleaved.
template <class T>
struct t_twiddles {
    size_t size = 0;
    std::vector<T> w;

    void ensure(size_t n)
    {
        if (n <= size) return;
        using M = t_fftmath<T>;
        const size_t half = n / 2;
        w.assign(2 * half, T(0));
        // Octant symmetry: only k <= n/8 needs sin and cos; the rest are the same numbers swapped
        // or negated, which also makes the table exactly symmetric.
        const size_t q = n / 4, o = n / 8;
        for (size_t k = 0; k < half; k++) {
            T c, s;
            if (n < 4) {
                const T x = 2 * M::pi() * T(static_cast<double>(k)) / T(static_cast<double>(n));
                c = M::c(x);
                s = M::s(x);
            } else {
                const size_t r = k % q;   // angle within the quadrant
                T cr, sr;
                if (r <= o) {
                    const T x = 2 * M::pi() * T(static_cast<double>(r)) / T(static_cast<double>(n));
                    cr = M::c(x);
                    sr = M::s(x);
                } else {
                    const T x = 2 * M::pi() * T(static_cast<double>(q - r)) / T(static_cast<double>(n));
                    cr = M::s(x);
                    sr = M::c(x);
                }
                if (k < q) { c = cr; s = sr; }
                else { c = -sr; s = cr; }
            }
            w[2 * k] = c;
            w[2 * k + 1] = -s;
        }
        size = n;
    }
};

template <class T>
t_twiddles<T>& twiddles()
{
    thread_local t_twiddles<T> table;
    return table;
}

template <class T>
void bitreverse(T* a, size_t n)
{
    for (size_t i = 0, j = 0; i < n; i++) {
        if (i < j) {
            std::swap(a[2 * i], a[2 * j]);
            std::swap(a[2 * i + 1], a[2 * j + 1]);
        }
        size_t bit = n >> 1;
        for (; bit && (j & bit); bit >>= 1) j ^= bit;
        j |= bit;
    }
}

template <class T>
void radix2(T* a, size_t n, int sign)
{
    if (n < 2) return;
    t_twiddles<T>& tw = twiddles<T>();
    tw.ensure(n);
    const T* w = tw.w.data();
    const T conj = sign > 0 ? T(-1) : T(1);
    bitreverse(a, n);
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t half = len / 2, stride = tw.size / len;
        for (size_t i = 0; i < n; i += len) {
            T* lo = a + 2 * i;
            T* hi = lo + 2 * half;
            for (size_t j = 0; j < half; j++) {
                const T wr = w[2 * j * stride], wi = conj * w[2 * j * stride + 1];
                const T vr = hi[2 * j] * wr - hi[2 * j + 1] * wi;
                const T vi = hi[2 * j] * wi + hi[2 * j + 1] * wr;
                hi[2 * j] = lo[2 * j] - vr;
                hi[2 * j + 1] = lo[2 * j + 1] - vi;
                lo[2 * j] += vr;
                lo[2 * j + 1] += vi;
            }
        }
    }
}

// Along each axis: the lines are gathered into one buffer, transformed and put back.
template <class T>
void fourn(T* data, const std::vector<size_t>& dims, int sign)
{
    size_t total = 1;
    for (size_t d : dims) total *= d;
    size_t inner = total;
    std::vector<T> line;
    for (size_t axis = 0; axis < dims.size(); axis++) {
        const size_t n = dims[axis];
        inner /= n;   // elements between two neighbours along this axis
        if (n < 2) continue;
        if (inner == 1) {
            for (size_t start = 0; start < total; start += n) radix2(data + 2 * start, n, sign);
            continue;
        }
        line.resize(2 * n);
        const size_t block = n * inner;
        for (size_t outer = 0; outer < total; outer += block) {
            for (size_t off = 0; off < inner; off++) {
                T* first = data + 2 * (outer + off);
                for (size_t k = 0; k < n; k++) {
                    line[2 * k] = first[2 * k * inner];
                    line[2 * k + 1] = first[2 * k * inner + 1];
                }
                radix2(line.data(), n, sign);
                for (size_t k = 0; k < n; k++) {
                    first[2 * k * inner] = line[2 * k];
                    first[2 * k * inner + 1] = line[2 * k + 1];
                }
            }
        }
    }
}

} // namespace

bool fft_ispow2(size_t n) { return n && !(n & (n - 1)); }

void fft_radix2(double* data, size_t n, int sign) { radix2(data, n, sign); }
void fft_radix2(__float128* data, size_t n, int sign) { radix2(data, n, sign); }
void naf_four1(double* data, size_t nn, int isign) { radix2(data + 1, nn, isign); }
void quad_four1(__float128* data, size_t nn, int isign) { radix2(data + 1, nn, isign); }
void dbl_fourn(double* data, const std::vector<size_t>& dims, int isign) { fourn(data, dims, isign); }
void quad_fourn(__float128* data, const std::vector<size_t>& dims, int isign) { fourn(data, dims, isign); }

// ---------------------------------------------------------------- plans

namespace {

void builtin_execute(const t_fftplan* plan, double* data)
{
    if (plan->dims.size() == 1) radix2(data, plan->dims[0], plan->sign);
    else fourn(data, plan->dims, plan->sign);
}

std::mutex s_planlock;
std::vector<std::unique_ptr<t_fftplan>> s_plans;   // kept sorted by fftplannd_cmp

} // namespace

int fftplannd_cmp(const t_fftplan& a, const t_fftplan& b)
{
    if (a.dims.size() != b.dims.size()) return a.dims.size() < b.dims.size() ? -1 : 1;
    for (size_t k = 0; k < a.dims.size(); k++)
        if (a.dims[k] != b.dims[k]) return a.dims[k] < b.dims[k] ? -1 : 1;
    return a.sign == b.sign ? 0 : a.sign < b.sign ? -1 : 1;
}

const t_fftplan* fftplannd_create(const std::vector<size_t>& dims, int sign)
{
    if (dims.empty()) return nullptr;
    for (size_t d : dims)
        if (!fft_ispow2(d)) return nullptr;
    t_fftplan key{dims, sign < 0 ? -1 : 1, "builtin", builtin_execute};
    std::lock_guard<std::mutex> guard(s_planlock);
    auto at = std::lower_bound(s_plans.begin(), s_plans.end(), &key,
                               [](const std::unique_ptr<t_fftplan>& p, const t_fftplan* k) { return fftplannd_cmp(*p, *k) < 0; });
    if (at != s_plans.end() && fftplannd_cmp(**at, key) == 0) return at->get();
    return s_plans.insert(at, std::make_unique<t_fftplan>(key))->get();
}

const t_fftplan* fftplan_create(size_t n, int sign) { return fftplannd_create({n}, sign); }

void fft_reset()
{
    std::lock_guard<std::mutex> guard(s_planlock);
    s_plans.clear();
}

size_t fftplan_count()
{
    std::lock_guard<std::mutex> guard(s_planlock);
    return s_plans.size();
}
