// Interpolation of sampled functions: linear, quadratic, natural cubic spline and Hermite.
//
// Samples and targets are both put in ascending order through index permutations, so every
// method walks its segments forward once over the targets (O(m + p) after the sorts, which cost
// nothing for data already ascending or descending), descending samples give the same bits as the
// same samples ascending, and each value is stored at its target's own position.
#include "numeric/interpol.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "interp/error.h"
#include "interp/roomapi.h"
#include "numeric/vecnumtyped.h"

namespace {

// A work array from the checked allocator, released with its scope.
template <class T>
class t_workarray {
public:
    explicit t_workarray(size_t n) : m_p(static_cast<T*>(kst_checkmalloc(n * sizeof(T), "SYSCHECKMALLOCSIZE"))) {}
    ~t_workarray() { free(m_p); }
    t_workarray(const t_workarray&) = delete;
    t_workarray& operator=(const t_workarray&) = delete;
    T& operator[](size_t i) { return m_p[i]; }
    T* data() { return m_p; }

private:
    T* m_p;
};

// The ascending order of v[0..n) as a permutation, stable (repeated abscissae keep their order,
// which Hermite reads as value, first derivative, ...). NaN sorts last when allowed; otherwise a
// NaN makes the order impossible (false).
bool ascending(const double* v, size_t n, uint32_t* perm, bool nanallowed)
{
    bool nondecreasing = true, decreasing = true, hasnan = false;
    for (size_t i = 0; i < n; i++) {
        if (std::isnan(v[i])) hasnan = true;
        if (i && !(v[i - 1] <= v[i])) nondecreasing = false;
        if (i && !(v[i - 1] > v[i])) decreasing = false;
    }
    if (hasnan && !nanallowed) return false;
    for (size_t i = 0; i < n; i++) perm[i] = static_cast<uint32_t>(decreasing && !nondecreasing ? n - 1 - i : i);
    if (nondecreasing || decreasing) return true;
    std::stable_sort(perm, perm + n, [v](uint32_t a, uint32_t b) {
        if (std::isnan(v[a])) return false;
        return std::isnan(v[b]) || v[a] < v[b];
    });
    return true;
}

// Newton form at u: c0 + (u - x0)(c1 + (u - x1)(c2 + ...)).
double newton(int n, const double* x, const double* c, double u)
{
    double r = c[n];
    for (int k = n - 1; k >= 0; k--) r = c[k] + (u - x[k]) * r;
    return r;
}

// The methods below see the samples ascending (X, Y, m) and call value(k, u) on the targets in
// ascending order; `at` stores a value at the target's own position.
struct t_sorted {
    const double* X;
    const double* Y;
    size_t m;
};

template <class F>
void walk(const double* t, const uint32_t* pt, size_t p, double* out, F value)
{
    for (size_t k = 0; k < p; k++) out[pt[k]] = value(t[pt[k]]);
}

void linear(const t_sorted& s, const double* t, const uint32_t* pt, size_t p, double* out)
{
    const double* X = s.X;
    const double* Y = s.Y;
    t_workarray<double> slope(s.m - 1), intercept(s.m - 1);
    for (size_t i = 0; i + 1 < s.m; i++) {
        const double d = X[i + 1] - X[i];
        slope[i] = (Y[i + 1] - Y[i]) / d;
        intercept[i] = (Y[i] * X[i + 1] - X[i] * Y[i + 1]) / d;
    }
    size_t j = 0;
    walk(t, pt, p, out, [&](double u) {
        while (j + 2 < s.m && u > X[j + 1]) j++;
        return slope[j] * u + intercept[j];
    });
}

void quadratic(const t_sorted& s, const double* t, const uint32_t* pt, size_t p, double* out)
{
    const double* X = s.X;
    const double* Y = s.Y;
    const size_t nw = s.m - 2;
    t_workarray<double> c(3 * nw);
    for (size_t i = 0; i < nw; i++) {
        const double c1 = (Y[i + 1] - Y[i]) / (X[i + 1] - X[i]);
        c[3 * i] = Y[i];
        c[3 * i + 1] = c1;
        c[3 * i + 2] = ((Y[i + 2] - Y[i + 1]) / (X[i + 2] - X[i + 1]) - c1) / (X[i + 2] - X[i]);
    }
    size_t i = 0;
    walk(t, pt, p, out, [&](double u) {
        // Forward while the sample two places on is at least as near as the window's middle one.
        while (i + 1 < nw && std::fabs(u - X[i + 1]) >= std::fabs(u - X[i + 3])) i++;
        return c[3 * i] + (u - X[i]) * (c[3 * i + 1] + c[3 * i + 2] * (u - X[i + 1]));
    });
}

void spline(const t_sorted& s, const double* t, const uint32_t* pt, size_t p, double* out)
{
    const double* X = s.X;
    const double* Y = s.Y;
    const size_t m = s.m;
    t_workarray<double> M(m), Mp(m), r(m);
    // Natural ends; the interior second derivatives by one tridiagonal sweep.
    Mp[0] = r[0] = M[0] = M[m - 1] = 0;
    for (size_t i = 1; i + 1 < m; i++) {
        const double sig = (X[i] - X[i - 1]) / (X[i + 1] - X[i - 1]);
        const double w = sig * Mp[i - 1] + 2;
        Mp[i] = (sig - 1) / w;
        r[i] = (6 * ((Y[i + 1] - Y[i]) / (X[i + 1] - X[i]) - (Y[i] - Y[i - 1]) / (X[i] - X[i - 1])) /
                    (X[i + 1] - X[i - 1]) -
                r[i - 1] * sig) /
               w;
    }
    for (size_t i = m - 1; i-- > 0;) M[i] = r[i] + Mp[i] * M[i + 1];
    size_t j = 0;
    walk(t, pt, p, out, [&](double u) {
        while (j + 2 < m && u > X[j + 1]) j++;
        const double d = X[j + 1] - X[j];
        const double A = (X[j + 1] - u) / d, B = (u - X[j]) / d;
        return A * Y[j] + B * Y[j + 1] + d * d * ((A * A * A - A) * M[j] + (B * B * B - B) * M[j + 1]) / 6;
    });
}

void hermite(const t_sorted& s, int n, const double* t, const uint32_t* pt, size_t p, double* out)
{
    const double* X = s.X;
    const long m = static_cast<long>(s.m);
    t_workarray<double> c(static_cast<size_t>(n) + 1);
    long j = 0, window = -1;
    walk(t, pt, p, out, [&](double u) {
        // The segment [X[j], X[j+1]] that holds u (past a repeated abscissa), then the window of
        // n + 1 samples centred on it (odd n) or on the nearer of its ends (even n; halfway, the
        // later one, as the quadratic window moves on at a tie).
        while (j + 2 < m && u >= X[j + 1]) j++;
        long first;
        if (n % 2) first = j - (n - 1) / 2;
        else first = (u - X[j] < X[j + 1] - u ? j : j + 1) - n / 2;
        first = std::max(0L, std::min(first, m - n - 1));
        // A window that would start on a repetition of an abscissa would read a derivative as
        // the value there: it starts with the abscissa's first occurrence instead.
        while (first > 0 && X[first - 1] == X[first]) first--;
        // Targets move forward, so each window's coefficients are made once, when reached.
        if (first != window) {
            interherm(n, X + first, s.Y + first, c.data());
            window = first;
        }
        return newton(n, X + first, c.data(), u);
    });
}

} // namespace

void interherm(int n, const double* x, const double* y, double* c)
{
    // Column 0: the value at each node, which is the y of the node's first occurrence.
    for (int i = 0; i <= n; i++) {
        int f = i;
        while (f > 0 && x[f - 1] == x[i]) f--;
        c[i] = y[f];
    }
    // In place, c[i] holds the difference over x[i-j..i]; a node repeated over the whole interval
    // gives its j-th derivative over j!.
    double fact = 1;
    for (int j = 1; j <= n; j++) {
        fact *= j;
        for (int i = n; i >= j; i--) {
            const int a = i - j;
            if (x[a] != x[i]) {
                c[i] = (c[i - 1] - c[i]) / (x[a] - x[i]);
            } else {
                int f = a;
                while (f > 0 && x[f - 1] == x[a]) f--;
                c[i] = y[f + j] / fact;
            }
        }
    }
}

bool interpol_dbl(t_einterpol method, const double* x, const double* y, size_t m, const double* t, size_t p,
                  int order, double* out)
{
    t_workarray<uint32_t> px(m), pt(p);
    if (!ascending(x, m, px.data(), false)) return false;
    ascending(t, p, pt.data(), true);
    t_workarray<double> X(m), Y(m);
    for (size_t i = 0; i < m; i++) {
        X[i] = x[px[i]];
        Y[i] = y[px[i]];
    }
    const t_sorted s{X.data(), Y.data(), m};
    switch (method) {
    case INTERPOL_LINEAR: linear(s, t, pt.data(), p, out); break;
    case INTERPOL_QUADRATIC: quadratic(s, t, pt.data(), p, out); break;
    case INTERPOL_SPLINE: spline(s, t, pt.data(), p, out); break;
    case INTERPOL_HERMITE: hermite(s, order, t, pt.data(), p, out); break;
    default: kst_iceerror(1031, "interpol");
    }
    return true;
}

namespace {

// Checks in the order of the user's mistakes; false after reporting one.
bool s_interpol_verif(t_cctx* ctx, const t_vecnum* x, const t_vecnum* y, const t_vecnum* t, long needed)
{
    if (x->size() != y->size()) {
        kst_runerror(ctx, 143, x->getName(), y->getName());
        return false;
    }
    if (x->size() == 0 || t->size() == 0) {
        kst_runerror(ctx, 228);
        return false;
    }
    if (needed < 2) {
        kst_runerror(ctx, 388, static_cast<int>(std::max<long>(needed, INT32_MIN)));
        return false;
    }
    if (static_cast<long>(x->size()) < needed) {
        kst_runerror(ctx, 229, x->getName(), static_cast<int>(std::min<long>(needed, INT32_MAX)));
        return false;
    }
    return true;
}

// A double copy of v when it is of another type (null when v is already double).
t_vecnum* asdouble(t_cctx* ctx, const t_vecnum* v)
{
    return v->vecflag() == VECNUM_DBL ? nullptr : vecnum_convertcopy(ctx, v, VECNUM_DBL, v->getName());
}

} // namespace

t_vecnum* interpol(t_cctx* ctx, t_einterpol method, const t_vecnum* x, const t_vecnum* y, const t_vecnum* t,
                   long order)
{
    long needed = 0;
    switch (method) {
    case INTERPOL_LINEAR: case INTERPOL_SPLINE: needed = 2; break;
    case INTERPOL_QUADRATIC: needed = 3; break;
    case INTERPOL_HERMITE: needed = order < LONG_MAX ? order + 1 : order; break;
    default: kst_iceerror(1031, "interpol");
    }
    if (!s_interpol_verif(ctx, x, y, t, needed)) return nullptr;
    const int modeflag = vecnum_flagreal_of_mode(kst_kctx(ctx).num.modenum);
    if (modeflag != VECNUM_DBL) kst_runwarning(ctx, 10);
    t_vecnum* cx = asdouble(ctx, x);
    t_vecnum* cy = asdouble(ctx, y);
    t_vecnum* ct = asdouble(ctx, t);
    const auto* dx = static_cast<const double*>((cx ? cx : x)->rawdata());
    const auto* dy = static_cast<const double*>((cy ? cy : y)->rawdata());
    const auto* dt = static_cast<const double*>((ct ? ct : t)->rawdata());
    t_vecnum* r = vecnum_create(ctx, VECNUM_DBL, "", t->size());
    if (!interpol_dbl(method, dx, dy, x->size(), dt, t->size(), static_cast<int>(order),
                      static_cast<double*>(r->rawdata())))
        r->Vreset(ctx, 0);
    for (t_vecnum* c : {cx, cy, ct})
        if (c) c->Vdelete();
    if (modeflag != VECNUM_DBL) {
        t_vecnum* back = vecnum_convertcopy(ctx, r, modeflag);
        r->Vdelete();
        r = back;
    }
    return r;
}
