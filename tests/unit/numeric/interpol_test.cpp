// Interpolation: exactness on the polynomials each method reproduces, the window rules, the
// natural spline against scipy, the orders of samples and targets, Hermite with derivatives. The
// checks and conversions of the language's entry are the script test's
// (tests/scripts/numeric/interpolation.t).
#include <cmath>
#include <random>

#include "numeric/interpol.h"
#include "vecnumtest.h"

namespace {

std::vector<double> run(t_einterpol method, const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<double>& t, int order = 0)
{
    std::vector<double> out(t.size(), -12345);
    EXPECT_TRUE(interpol_dbl(method, x.data(), y.data(), x.size(), t.data(), t.size(), order, out.data()));
    return out;
}

std::vector<double> reversed(std::vector<double> v)
{
    std::reverse(v.begin(), v.end());
    return v;
}

std::vector<double> sampled(const std::vector<double>& x, double (*f)(double))
{
    std::vector<double> y;
    for (double u : x) y.push_back(f(u));
    return y;
}

// Uneven abscissae over [-1, 3] and targets inside and outside them.
const std::vector<double> k_x = {-1, -0.6, 0, 0.25, 0.9, 1.3, 2, 2.2, 3};
const std::vector<double> k_t = {-2, -1, -0.8, 0.1, 0.25, 1, 1.7, 2.1, 2.9, 3, 4.5};

class InterpolTest : public VecnumTest {};

// ---------------------------------------------------------------- what each method reproduces

TEST_F(InterpolTest, EachMethodReproducesThePolynomialsOfItsDegreeEverywhere)
{
    auto line = [](double u) { return 3 - 2 * u; };
    auto parabola = [](double u) { return 1 + u - 0.5 * u * u; };
    auto quartic = [](double u) { return 2 - u + u * u * u - 0.25 * u * u * u * u; };
    const std::vector<double> yl = sampled(k_x, line), yp = sampled(k_x, parabola), yq = sampled(k_x, quartic);
    const std::vector<double> lin = run(INTERPOL_LINEAR, k_x, yl, k_t), spl = run(INTERPOL_SPLINE, k_x, yl, k_t);
    const std::vector<double> quad = run(INTERPOL_QUADRATIC, k_x, yp, k_t), her = run(INTERPOL_HERMITE, k_x, yq, k_t, 4);
    for (size_t i = 0; i < k_t.size(); i++) {
        const double u = k_t[i];
        EXPECT_NEAR(lin[i], line(u), 1e-14) << u;
        EXPECT_NEAR(spl[i], line(u), 1e-14) << u;   // every second derivative is 0
        EXPECT_NEAR(quad[i], parabola(u), 1e-13) << u;
        EXPECT_NEAR(her[i], quartic(u), 1e-11) << u;
    }
}

TEST_F(InterpolTest, TwoSamplesGiveTheLineThroughThemInsideAndOutside)
{
    const std::vector<double> t = {-10, 0, 0.5, 1, 1.5, 20};
    const std::vector<double> r = run(INTERPOL_LINEAR, {0.5, 1.5}, {1, 4}, t);
    for (size_t i = 0; i < t.size(); i++) EXPECT_NEAR(r[i], 1 + 3 * (t[i] - 0.5), 1e-13) << t[i];
    EXPECT_EQ(run(INTERPOL_SPLINE, {0.5, 1.5}, {1, 4}, t), r);
}

// ---------------------------------------------------------------- windows

// Quadratic: the window moves on once the target is at least as far from its middle sample as
// from the sample two places on; samples 0 0 0 1 0 tell the windows apart.
TEST_F(InterpolTest, QuadraticWindowMovesHalfwayBetweenTheMiddleAndTheSampleTwoOn)
{
    const std::vector<double> x = {0, 1, 2, 3, 4}, y = {0, 0, 0, 1, 0};
    const std::vector<double> r = run(INTERPOL_QUADRATIC, x, y, {-1, 1.99, 2.01, 2.99, 3.01, 5});
    EXPECT_EQ(r[0], 0);                                  // before the samples: the first window
    EXPECT_EQ(r[1], 0);                                  // still the window 0 1 2
    EXPECT_NEAR(r[2], 1.01 * 0.01 / 2, 1e-15);           // window 1 2 3: (u-1)(u-2)/2
    EXPECT_NEAR(r[3], 1.99 * 0.99 / 2, 1e-15);
    EXPECT_NEAR(r[4], -(3.01 - 2) * (3.01 - 4), 1e-14);  // window 2 3 4: -(u-2)(u-4)
    EXPECT_NEAR(r[5], -3 * 1, 1e-14);                    // after them: the last window
}

// Hermite of order 1 is the straight line between the two samples around the target.
TEST_F(InterpolTest, HermiteOfOrderOneIsLinearInterpolation)
{
    const std::vector<double> y = sampled(k_x, [](double u) { return std::exp(u); });
    const std::vector<double> lin = run(INTERPOL_LINEAR, k_x, y, k_t), her = run(INTERPOL_HERMITE, k_x, y, k_t, 1);
    for (size_t i = 0; i < k_t.size(); i++) EXPECT_NEAR(her[i], lin[i], 1e-13 * std::fabs(lin[i])) << k_t[i];
}

// Order 3 on 0 1 2 3 4 5: the window is the two samples around the target and one on each side;
// order 2: the nearest sample and one on each side. Samples of |u - 2.5|^3 tell them apart.
TEST_F(InterpolTest, HermiteWindowIsCentredOnTheTarget)
{
    const std::vector<double> x = {0, 1, 2, 3, 4, 5};
    const std::vector<double> y = sampled(x, [](double u) { return std::pow(std::fabs(u - 2.5), 3); });
    auto through = [&](int first, int n, double u) {
        std::vector<double> c(n + 1);
        interherm(n, &x[first], &y[first], c.data());
        double r = c[n];
        for (int k = n - 1; k >= 0; k--) r = c[k] + (u - x[first + k]) * r;
        return r;
    };
    const std::vector<double> t = {-1, 0.5, 1.5, 2.4, 3.7, 4.5, 7};
    const std::vector<double> r3 = run(INTERPOL_HERMITE, x, y, t, 3), r2 = run(INTERPOL_HERMITE, x, y, t, 2);
    const int first3[] = {0, 0, 0, 1, 2, 2, 2}, first2[] = {0, 0, 1, 1, 3, 3, 3};
    for (size_t i = 0; i < t.size(); i++) {
        EXPECT_DOUBLE_EQ(r3[i], through(first3[i], 3, t[i])) << t[i];
        EXPECT_DOUBLE_EQ(r2[i], through(first2[i], 2, t[i])) << t[i];
    }
}

// ---------------------------------------------------------------- repeated abscissae

TEST_F(InterpolTest, RepeatedAbscissaeCarryDerivatives)
{
    // c = f, f', f''/2 at one node given three times.
    double c[3];
    const double x0[] = {2, 2, 2}, y0[] = {5, -1, 6};
    interherm(2, x0, y0, c);
    EXPECT_EQ(c[0], 5);
    EXPECT_EQ(c[1], -1);
    EXPECT_EQ(c[2], 3);
    // The second y of an abscissa given twice is the derivative there: 1 + 2u + 3u^2 from f(0),
    // f'(0), f(1).
    const std::vector<double> t = {-1, 0.3, 1, 2};
    const std::vector<double> r = run(INTERPOL_HERMITE, {0, 0, 1}, {1, 2, 6}, t, 2);
    for (size_t i = 0; i < t.size(); i++) EXPECT_NEAR(r[i], 1 + 2 * t[i] + 3 * t[i] * t[i], 1e-14);
    // Piecewise cubic Hermite from values and slopes at 0, 1, 2: exact for u^3 on both pieces.
    const std::vector<double> xs = {0, 0, 1, 1, 2, 2}, ys = {0, 0, 1, 3, 8, 12};
    const std::vector<double> u = {0.2, 0.7, 1.2, 1.9};
    const std::vector<double> r3 = run(INTERPOL_HERMITE, xs, ys, u, 3);
    for (size_t i = 0; i < u.size(); i++) EXPECT_NEAR(r3[i], u[i] * u[i] * u[i], 1e-14) << u[i];
    // Order 2 on the same samples: a window never starts on a derivative, so values near 1 come
    // from f(0), f'(0), f(1) or f(1), f'(1), f(2), both exact for the quadratic u^2.
    const std::vector<double> y2 = {0, 0, 1, 2, 4, 4};
    const std::vector<double> r2 = run(INTERPOL_HERMITE, xs, y2, {0.4, 0.9, 1.1, 1.6}, 2);
    EXPECT_NEAR(r2[0], 0.16, 1e-14);
    EXPECT_NEAR(r2[1], 0.81, 1e-14);
    EXPECT_NEAR(r2[2], 1.21, 1e-14);
    EXPECT_NEAR(r2[3], 2.56, 1e-14);
}

// ---------------------------------------------------------------- the natural spline

// scipy.interpolate.CubicSpline(x, x**3, bc_type='natural') at x = 0, 1, 2, 3, 4, 5, evaluated at
// the targets below with extrapolate=True (scipy 1.10, Debian 12's python3-scipy; the bench
// script bench/interpol/spline_scipy.py prints the same values and compares the two programs).
TEST_F(InterpolTest, NaturalSplineThroughACubicMatchesScipy)
{
    const std::vector<double> x = {0, 1, 2, 3, 4, 5};
    const std::vector<double> t = {-0.5, 0.25, 1.5, 2.75, 3.1, 4.9, 6};
    const std::vector<double> scipy = {-0.1339712918660288, 0.021232057416267935, 3.348086124401914,
                                       20.892194976076556,  29.71973205741627,    118.37136842105265,
                                       185.99999999999997};
    const std::vector<double> r = run(INTERPOL_SPLINE, x, sampled(x, [](double u) { return u * u * u; }), t);
    for (size_t i = 0; i < t.size(); i++) EXPECT_NEAR(r[i], scipy[i], 1e-12) << t[i];
}

// ---------------------------------------------------------------- orders

TEST_F(InterpolTest, OrderOfSamplesAndTargetsChangesNoValue)
{
    const std::vector<double> y = sampled(k_x, [](double u) { return std::sin(2 * u) + u; });
    std::vector<double> mixed = {2.9, -2, 1, 0.25, 4.5, -0.8, 1.7, 3, -1, 2.1, 0.1};
    for (t_einterpol method : {INTERPOL_LINEAR, INTERPOL_QUADRATIC, INTERPOL_SPLINE, INTERPOL_HERMITE}) {
        const int order = method == INTERPOL_HERMITE ? 3 : 0;
        const std::vector<double> up = run(method, k_x, y, k_t, order);
        // Descending samples: the same numbers, bit for bit.
        EXPECT_EQ(run(method, reversed(k_x), reversed(y), k_t, order), up) << method;
        // Descending targets: the values in their own places.
        EXPECT_EQ(run(method, k_x, y, reversed(k_t), order), reversed(up)) << method;
        // Targets in no order.
        const std::vector<double> r = run(method, reversed(k_x), reversed(y), mixed, order);
        for (size_t i = 0; i < mixed.size(); i++) {
            const size_t at = std::find(k_t.begin(), k_t.end(), mixed[i]) - k_t.begin();
            EXPECT_EQ(r[i], up[at]) << method << " " << mixed[i];
        }
    }
    // A single target; samples in no order.
    const std::vector<double> spl = run(INTERPOL_SPLINE, k_x, y, k_t);
    EXPECT_EQ(run(INTERPOL_SPLINE, k_x, y, {1.7}), std::vector<double>{spl[6]});
    std::vector<size_t> perm(k_x.size());
    for (size_t i = 0; i < perm.size(); i++) perm[i] = (i * 5) % perm.size();
    std::vector<double> xs, ys;
    for (size_t i : perm) {
        xs.push_back(k_x[i]);
        ys.push_back(y[i]);
    }
    EXPECT_EQ(run(INTERPOL_SPLINE, xs, ys, k_t), spl);
    // A NaN abscissa cannot be ordered; NaN targets give NaN in their own places.
    std::vector<double> out(1);
    EXPECT_FALSE(interpol_dbl(INTERPOL_LINEAR, std::vector<double>{0, NAN, 1}.data(), y.data(), 3, k_t.data(), 1, 0,
                              out.data()));
    const std::vector<double> withnan = run(INTERPOL_SPLINE, k_x, y, {1.7, NAN, 0.1});
    EXPECT_EQ(withnan[0], spl[6]);
    EXPECT_TRUE(std::isnan(withnan[1]));
    EXPECT_EQ(withnan[2], spl[3]);
}

} // namespace
