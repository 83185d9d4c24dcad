// The quadruple-precision eigen solver against 256-bit references. The characteristic polynomial
// of an integer (or Gaussian-integer) matrix is computed exactly with the division-free Berkowitz
// recurrence; every quad eigenvalue is then polished by Newton's iteration on that polynomial in
// MPC at 256 bits, and must sit within 1e-30 (relative) of the root it leads to, each root taken
// once. Eigenvectors are checked by their residual, computed at 256 bits too.
#ifndef MPFR_WANT_FLOAT128
#define MPFR_WANT_FLOAT128
#endif
#include <gmpxx.h>
#include <mpfr.h>
#include <mpc.h>
#include <quadmath.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "numeric/linalg.h"

namespace {

constexpr mpfr_prec_t kbits = 256;

// ------------------------------------------------------------------ exact ring: Gaussian integers
struct gint {
    mpz_class re, im;
    gint(long r = 0, long i = 0) : re(r), im(i) {}
};
gint operator+(const gint& a, const gint& b)
{
    gint r;
    r.re = a.re + b.re;
    r.im = a.im + b.im;
    return r;
}
gint operator-(const gint& a)
{
    gint r;
    r.re = -a.re;
    r.im = -a.im;
    return r;
}
gint operator*(const gint& a, const gint& b)
{
    gint r;
    r.re = a.re * b.re - a.im * b.im;
    r.im = a.re * b.im + a.im * b.re;
    return r;
}
bool operator==(const gint& a, const gint& b) { return a.re == b.re && a.im == b.im; }

struct gmat {
    int n;
    std::vector<gint> a;   // row-major
    gint at(int i, int j) const { return a[static_cast<size_t>(i) * n + j]; }
};

gmat realmat(const std::vector<std::vector<int>>& rows)
{
    gmat m{static_cast<int>(rows.size()), {}};
    for (const auto& r : rows)
        for (int x : r) m.a.emplace_back(x, 0);
    return m;
}

gmat cplxmat(const std::vector<std::vector<std::pair<int, int>>>& rows)
{
    gmat m{static_cast<int>(rows.size()), {}};
    for (const auto& r : rows)
        for (auto [re, im] : r) m.a.emplace_back(re, im);
    return m;
}

// Coefficients of det(xI - A), x^n first. Berkowitz: with A_r the leading r x r block, R and C
// the row and column that border it and a its new diagonal element, the polynomial of A_{r+1} is
// the Toeplitz product of (1, -a, -RC, -R A_r C, ..., -R A_r^{r-1} C) with that of A_r.
std::vector<gint> charpoly(const gmat& m)
{
    std::vector<gint> p{gint(1)};
    for (int r = 0; r < m.n; r++) {
        std::vector<gint> q(r + 2);
        q[0] = gint(1);
        q[1] = -m.at(r, r);
        std::vector<gint> col(r), next(r);
        for (int i = 0; i < r; i++) col[i] = m.at(i, r);
        for (int k = 0; k < r; k++) {
            gint s;
            for (int j = 0; j < r; j++) s = s + m.at(r, j) * col[j];
            q[k + 2] = -s;
            for (int i = 0; i < r; i++) {
                next[i] = gint();
                for (int j = 0; j < r; j++) next[i] = next[i] + m.at(i, j) * col[j];
            }
            col.swap(next);
        }
        std::vector<gint> np(r + 2);
        for (int i = 0; i < r + 2; i++)
            for (int j = 0; j <= std::min(i, r); j++) np[i] = np[i] + q[i - j] * p[j];
        p.swap(np);
    }
    return p;
}

// ------------------------------------------------------------------ 256-bit numbers
struct mpcv {
    mpc_t z;
    mpcv()
    {
        mpc_init2(z, kbits);
        mpc_set_ui(z, 0, MPC_RNDNN);
    }
    ~mpcv() { mpc_clear(z); }
    mpcv(const mpcv&) = delete;
    mpcv& operator=(const mpcv&) = delete;
};
struct mpfrv {
    mpfr_t x;
    mpfrv()
    {
        mpfr_init2(x, kbits);
        mpfr_set_zero(x, 1);
    }
    ~mpfrv() { mpfr_clear(x); }
    mpfrv(const mpfrv&) = delete;
    mpfrv& operator=(const mpfrv&) = delete;
    double d() const { return mpfr_get_d(x, MPFR_RNDN); }
};

void setq(mpc_t z, __float128 re, __float128 im)
{
    mpfr_set_float128(mpc_realref(z), re, MPFR_RNDN);
    mpfr_set_float128(mpc_imagref(z), im, MPFR_RNDN);
}
void setg(mpc_t z, const gint& g) { mpc_set_z_z(z, g.re.get_mpz_t(), g.im.get_mpz_t(), MPC_RNDNN); }
double absd(const mpc_t z)
{
    mpfrv a;
    mpc_abs(a.x, z, MPFR_RNDN);
    return a.d();
}

// p(z) and p'(z) by Horner; scale gets sum |c_i| |z|^i, the size rounding is measured against.
void horner(const std::vector<gint>& p, const mpc_t z, mpc_t val, mpc_t der, mpfr_t scale)
{
    mpcv c;
    mpfrv az, ac;
    mpc_abs(az.x, z, MPFR_RNDN);
    mpc_set_ui(val, 0, MPC_RNDNN);
    mpc_set_ui(der, 0, MPC_RNDNN);
    mpfr_set_zero(scale, 1);
    for (const gint& g : p) {
        mpc_mul(der, der, z, MPC_RNDNN);
        mpc_add(der, der, val, MPC_RNDNN);
        setg(c.z, g);
        mpc_mul(val, val, z, MPC_RNDNN);
        mpc_add(val, val, c.z, MPC_RNDNN);
        mpc_abs(ac.x, c.z, MPFR_RNDN);
        mpfr_mul(scale, scale, az.x, MPFR_RNDN);
        mpfr_add(scale, scale, ac.x, MPFR_RNDN);
    }
}

// Newton's iteration from z until the step stops shrinking or falls below 2^-240 |z|. False when
// it does not settle within 200 steps.
bool newton(const std::vector<gint>& p, mpc_t z)
{
    mpcv val, der, step;
    mpfrv scale, size, prev, az;
    mpfr_set_inf(prev.x, 1);
    for (int it = 0; it < 200; it++) {
        horner(p, z, val.z, der.z, scale.x);
        if (mpc_cmp_si(der.z, 0) == 0) return false;
        mpc_div(step.z, val.z, der.z, MPC_RNDNN);
        mpc_sub(z, z, step.z, MPC_RNDNN);
        mpc_abs(size.x, step.z, MPFR_RNDN);
        mpc_abs(az.x, z, MPFR_RNDN);
        if (mpfr_cmp_ui(az.x, 1) < 0) mpfr_set_ui(az.x, 1, MPFR_RNDN);
        mpfr_mul_2si(az.x, az.x, -240, MPFR_RNDN);
        if (mpfr_cmp(size.x, az.x) <= 0) return true;
        if (it > 5 && mpfr_cmp(size.x, prev.x) >= 0) return true;   // rounding noise: it stopped moving
        mpfr_set(prev.x, size.x, MPFR_RNDN);
    }
    return false;
}

// ------------------------------------------------------------------ the checks
// Every eigenvalue within 1e-30 relative of a distinct true root of the exact polynomial.
void check_against_roots(const gmat& m, const std::vector<__float128>& re, const std::vector<__float128>& im,
                         const std::string& what)
{
    const int n = m.n;
    const std::vector<gint> p = charpoly(m);
    ASSERT_EQ(static_cast<int>(p.size()), n + 1);
    // the coefficient of x^(n-1) is minus the trace
    gint trace;
    for (int i = 0; i < n; i++) trace = trace + m.at(i, i);
    EXPECT_TRUE(p[1] == -trace) << what;

    std::vector<mpcv> roots(n);
    for (int k = 0; k < n; k++) {
        mpc_t& z = roots[k].z;
        setq(z, re[k], im[k]);
        ASSERT_TRUE(newton(p, z)) << what << " value " << k;
        // a true root: |p(z)| is rounding noise of the 256-bit evaluation
        mpcv val, der;
        mpfrv scale, bound;
        horner(p, z, val.z, der.z, scale.x);
        mpfr_mul_2si(bound.x, scale.x, -230, MPFR_RNDN);
        mpfrv residual;
        mpc_abs(residual.x, val.z, MPFR_RNDN);
        EXPECT_LE(mpfr_cmp(residual.x, bound.x), 0) << what << " |p(root)| = " << residual.d() << " value " << k;
        EXPECT_GT(absd(der.z), 1e-10) << what << " multiple root near value " << k;

        mpcv q, diff;
        setq(q.z, re[k], im[k]);
        mpc_sub(diff.z, q.z, z, MPC_RNDNN);
        const double err = absd(diff.z), size = std::max(1.0, absd(z));
        EXPECT_LE(err, 1e-30 * size) << what << " value " << k << " off by " << err / size;
    }
    // n distinct roots of a polynomial of degree n: the whole spectrum, each root taken once
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            mpcv diff;
            mpc_sub(diff.z, roots[i].z, roots[j].z, MPC_RNDNN);
            EXPECT_GT(absd(diff.z), 1e-20) << what << " values " << i << " and " << j << " lead to one root";
        }
}

double frobenius(const gmat& m)
{
    double s = 0;
    for (const gint& g : m.a) s += g.re.get_d() * g.re.get_d() + g.im.get_d() * g.im.get_d();
    return std::sqrt(s);
}

// ||A v - lambda v|| / ||v|| at 256 bits, v and lambda exact images of the quad results.
double residual(const gmat& m, const std::vector<std::pair<__float128, __float128>>& v, __float128 lre, __float128 lim)
{
    const int n = m.n;
    std::vector<mpcv> x(n);
    for (int i = 0; i < n; i++) setq(x[i].z, v[i].first, v[i].second);
    mpcv lambda, s, t, c;
    setq(lambda.z, lre, lim);
    mpfrv rn, vn, a;
    for (int i = 0; i < n; i++) {
        mpc_set_ui(s.z, 0, MPC_RNDNN);
        for (int j = 0; j < n; j++) {
            setg(c.z, m.at(i, j));
            mpc_mul(t.z, c.z, x[j].z, MPC_RNDNN);
            mpc_add(s.z, s.z, t.z, MPC_RNDNN);
        }
        mpc_mul(t.z, lambda.z, x[i].z, MPC_RNDNN);
        mpc_sub(s.z, s.z, t.z, MPC_RNDNN);
        mpc_norm(a.x, s.z, MPFR_RNDN);
        mpfr_add(rn.x, rn.x, a.x, MPFR_RNDN);
        mpc_norm(a.x, x[i].z, MPFR_RNDN);
        mpfr_add(vn.x, vn.x, a.x, MPFR_RNDN);
    }
    mpfr_div(rn.x, rn.x, vn.x, MPFR_RNDN);
    mpfr_sqrt(rn.x, rn.x, MPFR_RNDN);
    return rn.d();
}

// qdgeev_ on a real integer matrix: values against the roots, the conjugate-pair layout, vectors.
void check_real(const gmat& m, const std::string& what)
{
    const int n = m.n, one = 1, lwork = 1;
    std::vector<__float128> a(static_cast<size_t>(n) * n), wr(n), wi(n), vr(static_cast<size_t>(n) * n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) a[static_cast<size_t>(j) * n + i] = m.at(i, j).re.get_si();
    __float128 work = 0, vl = 0;
    int info = -99;
    qdgeev_("N", "V", &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, &work, &lwork, &info);
    ASSERT_EQ(info, 0) << what;

    int pairs = 0;
    for (int k = 0; k < n; k++) {
        if (wi[k] == 0) continue;
        ASSERT_LT(k + 1, n) << what;
        EXPECT_GT(static_cast<double>(wi[k]), 0.0) << what << " " << k;
        EXPECT_TRUE(wr[k + 1] == wr[k] && wi[k + 1] == -wi[k]) << what << " " << k;
        pairs++;
        k++;
    }
    EXPECT_GT(pairs, 0) << what << " has no complex pair";
    check_against_roots(m, wr, wi, what);

    const double bound = 1e-28 * frobenius(m);
    for (int k = 0; k < n; k++) {
        std::vector<std::pair<__float128, __float128>> v(n);
        const __float128* col = &vr[static_cast<size_t>(k) * n];
        for (int i = 0; i < n; i++) {
            if (wi[k] == 0) v[i] = {col[i], 0};
            else if (wi[k] > 0) v[i] = {col[i], col[i + n]};    // columns k, k+1 are re and im
            else v[i] = {col[i - n], -col[i]};                   // the conjugate of the pair before
        }
        EXPECT_LE(residual(m, v, wr[k], wi[k]), bound) << what << " vector " << k;
    }
}

TEST(QuadEigenReference, RealIntegerMatricesMatchTheExactPolynomialRoots)
{
    check_real(realmat({{1, -1, -5, 2, 2},
                        {1, -9, -2, 0, -6},
                        {-8, 4, 2, 0, -7},
                        {-4, -6, -9, -3, 1},
                        {-9, -2, 0, 0, 4}}),
               "5x5");
    check_real(realmat({{3, -3, 5, 2, 4, -2, -8, 9},
                        {-1, 2, -1, 3, -2, -3, 8, -5},
                        {4, -8, 3, -9, 1, 7, 3, 2},
                        {-6, 4, 5, 1, -8, -6, 9, -4},
                        {-8, 0, 1, -3, 7, -9, 1, 8},
                        {-9, -2, -2, 2, 2, 7, 4, -8},
                        {8, -5, -7, -1, -1, -9, 5, -1},
                        {-5, -7, -2, 1, 2, 5, 5, 3}}),
               "8x8");
    // block triangular with a rotation block: eigenvalues 1 +- 2i, 3 and 0 (the last column is
    // zero), so one eigenvalue is checked on the absolute scale
    check_real(realmat({{1, -2, 0, 0},
                        {2, 1, 0, 0},
                        {1, 1, 3, 0},
                        {2, 4, 6, 0}}),
               "4x4 block");
}

TEST(QuadEigenReference, ComplexIntegerMatrixMatchesTheExactPolynomialRoots)
{
    const gmat m = cplxmat({{{-1, 1}, {-3, -2}, {-3, -6}, {0, 6}, {8, -2}, {-5, 8}},
                            {{7, -9}, {-1, -9}, {6, -4}, {-3, 7}, {3, -4}, {1, 1}},
                            {{-6, -7}, {8, -1}, {8, 6}, {-3, -2}, {-3, -7}, {-7, -3}},
                            {{8, 5}, {8, -7}, {-6, -3}, {1, -7}, {-6, 9}, {5, -7}},
                            {{8, -6}, {-1, 5}, {8, -6}, {2, 7}, {-8, 3}, {9, 7}},
                            {{-2, -2}, {9, 6}, {3, -5}, {3, -9}, {-8, -8}, {6, -8}}});
    const int n = m.n, one = 1, lwork = 1;
    std::vector<__complex128> a(static_cast<size_t>(n) * n), w(n), vr(static_cast<size_t>(n) * n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            __complex128& x = a[static_cast<size_t>(j) * n + i];
            __real__ x = m.at(i, j).re.get_si();
            __imag__ x = m.at(i, j).im.get_si();
        }
    __complex128 work = 0, vl = 0;
    __float128 rwork = 0;
    int info = -99;
    qzgeev_("N", "V", &n, a.data(), &n, w.data(), &vl, &one, vr.data(), &n, &work, &lwork, &rwork, &info);
    ASSERT_EQ(info, 0);
    std::vector<__float128> re(n), im(n);
    for (int k = 0; k < n; k++) re[k] = crealq(w[k]), im[k] = cimagq(w[k]);
    check_against_roots(m, re, im, "6x6 complex");

    const double bound = 1e-28 * frobenius(m);
    for (int k = 0; k < n; k++) {
        std::vector<std::pair<__float128, __float128>> v(n);
        for (int i = 0; i < n; i++) {
            const __complex128 x = vr[static_cast<size_t>(k) * n + i];
            v[i] = {crealq(x), cimagq(x)};
        }
        EXPECT_LE(residual(m, v, re[k], im[k]), bound) << "vector " << k;
    }
}

TEST(QuadEigenReference, BerkowitzPolynomialOfKnownMatrices)
{
    // the reference itself: [[2, 1], [1, 2]] -> x^2 - 4x + 3; [[0, -1], [1, 0]] -> x^2 + 1;
    // [[i, 1], [0, 2]] -> x^2 - (2 + i) x + 2i
    auto same = [](const std::vector<gint>& p, const std::vector<gint>& expected) {
        if (p.size() != expected.size()) return false;
        for (size_t k = 0; k < p.size(); k++)
            if (!(p[k] == expected[k])) return false;
        return true;
    };
    EXPECT_TRUE(same(charpoly(realmat({{2, 1}, {1, 2}})), {gint(1), gint(-4), gint(3)}));
    EXPECT_TRUE(same(charpoly(realmat({{0, -1}, {1, 0}})), {gint(1), gint(0), gint(1)}));
    EXPECT_TRUE(same(charpoly(cplxmat({{{0, 1}, {1, 0}}, {{0, 0}, {2, 0}}})), {gint(1), gint(-2, -1), gint(0, 2)}));
    // 3x3 with det -3 (the constant term is -det for odd order)
    const std::vector<gint> p = charpoly(realmat({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}));
    EXPECT_TRUE(p[3] == gint(3));
    EXPECT_TRUE(p[1] == gint(-16));
    EXPECT_TRUE(p[2] == gint(-12));
}

} // namespace
