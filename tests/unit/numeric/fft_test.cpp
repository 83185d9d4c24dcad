// The radix-2 transforms: forward then backward is the identity (double and quad, every size up
// to 2^20 in double), the forward transform is the direct sum on small sizes, several dimensions
// are the transform along each axis, and plans are shared per shape until reset.
#include <gtest/gtest.h>

#include <quadmath.h>

#include <cmath>
#include <random>
#include <vector>

#include "numeric/fft.h"

namespace {

template <class T>
std::vector<T> randomdata(size_t n, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<T> d(2 * n);
    for (auto& x : d) x = T(u(gen)) + (sizeof(T) > 8 ? T(u(gen)) * T(1e-17) : T(0));
    return d;
}

template <class T>
double roundtriperror(size_t n, unsigned seed)
{
    std::vector<T> d = randomdata<T>(n, seed), orig = d;
    fft_radix2(d.data(), n, -1);
    fft_radix2(d.data(), n, 1);
    T worst = 0, biggest = 0;
    for (size_t i = 0; i < d.size(); i++) {
        T e = d[i] / T(static_cast<double>(n)) - orig[i];
        worst = std::max(worst, e < 0 ? -e : e);
        biggest = std::max(biggest, orig[i] < 0 ? -orig[i] : orig[i]);
    }
    return static_cast<double>(worst / biggest);
}

// Z_j = sum_k z_k exp(sign 2 pi i jk/n), in long double or quad.
template <class T>
std::vector<T> direct(const std::vector<T>& z, int sign)
{
    const size_t n = z.size() / 2;
    std::vector<T> out(2 * n);
    for (size_t j = 0; j < n; j++) {
        T sr = 0, si = 0;
        for (size_t k = 0; k < n; k++) {
            const size_t r = (j * k) % n;   // exact angle reduction
            const __float128 a = 2 * M_PIq * r / n * sign;
            const T c = T(cosq(a)), s = T(sinq(a));
            sr += z[2 * k] * c - z[2 * k + 1] * s;
            si += z[2 * k] * s + z[2 * k + 1] * c;
        }
        out[2 * j] = sr;
        out[2 * j + 1] = si;
    }
    return out;
}

template <class T>
double maxdiff(const std::vector<T>& a, const std::vector<T>& b)
{
    T m = 0;
    for (size_t i = 0; i < a.size(); i++) {
        T e = a[i] - b[i];
        m = std::max(m, e < 0 ? -e : e);
    }
    return static_cast<double>(m);
}

} // namespace

TEST(Fft, ForwardThenBackwardIsTheIdentityInDouble)
{
    for (int k = 0; k <= 20; k++) EXPECT_LT(roundtriperror<double>(size_t(1) << k, 7 + k), 1e-14) << "2^" << k;
}

TEST(Fft, ForwardThenBackwardIsTheIdentityInQuad)
{
    for (int k : {0, 1, 2, 3, 5, 8, 11, 14, 17, 20})
        EXPECT_LT(roundtriperror<__float128>(size_t(1) << k, 11 + k), 1e-30) << "2^" << k;
}

TEST(Fft, ForwardAndBackwardAreTheDirectSums)
{
    for (size_t n : {1, 2, 4, 8, 16, 64, 128}) {
        for (int sign : {-1, 1}) {
            std::vector<double> d = randomdata<double>(n, 3 + n), ref = direct(d, sign);
            fft_radix2(d.data(), n, sign);
            EXPECT_LT(maxdiff(d, ref), 1e-13) << n << " sign " << sign;
            std::vector<__float128> q = randomdata<__float128>(n, 5 + n), refq = direct(q, sign);
            fft_radix2(q.data(), n, sign);
            EXPECT_LT(maxdiff(q, refq), 1e-31) << n << " sign " << sign;
        }
    }
}

TEST(Fft, OneBasedLayoutIsTheSameTransform)
{
    std::vector<double> d = randomdata<double>(32, 1), one(1 + d.size());
    std::copy(d.begin(), d.end(), one.begin() + 1);
    fft_radix2(d.data(), 32, -1);
    naf_four1(one.data(), 32, -1);
    EXPECT_EQ(std::vector<double>(one.begin() + 1, one.end()), d);
    std::vector<__float128> q = randomdata<__float128>(16, 2), qone(1 + q.size());
    std::copy(q.begin(), q.end(), qone.begin() + 1);
    fft_radix2(q.data(), 16, 1);
    quad_four1(qone.data(), 16, 1);
    EXPECT_EQ(maxdiff(std::vector<__float128>(qone.begin() + 1, qone.end()), q), 0.0);
}

// A 4 x 8 x 2 transform is the direct three-dimensional sum.
TEST(Fft, SeveralDimensionsAreTheDirectSum)
{
    const std::vector<size_t> dims{4, 8, 2};
    const size_t n = 64;
    std::vector<double> d = randomdata<double>(n, 9);
    std::vector<double> ref(2 * n);
    for (size_t a = 0; a < 4; a++)
        for (size_t b = 0; b < 8; b++)
            for (size_t c = 0; c < 2; c++) {
                long double sr = 0, si = 0;
                for (size_t x = 0; x < 4; x++)
                    for (size_t y = 0; y < 8; y++)
                        for (size_t z = 0; z < 2; z++) {
                            const long double ang = -2 * M_PIl * ((long double)(a * x) / 4 + (long double)(b * y) / 8 + (long double)(c * z) / 2);
                            const size_t k = (x * 8 + y) * 2 + z;
                            sr += d[2 * k] * cosl(ang) - d[2 * k + 1] * sinl(ang);
                            si += d[2 * k] * sinl(ang) + d[2 * k + 1] * cosl(ang);
                        }
                const size_t j = (a * 8 + b) * 2 + c;
                ref[2 * j] = static_cast<double>(sr);
                ref[2 * j + 1] = static_cast<double>(si);
            }
    std::vector<double> got = d;
    dbl_fourn(got.data(), dims, -1);
    EXPECT_LT(maxdiff(got, ref), 1e-13);
    std::vector<__float128> q(d.begin(), d.end());
    quad_fourn(q.data(), dims, -1);
    quad_fourn(q.data(), dims, 1);
    for (auto& x : q) x /= 64;
    EXPECT_LT(maxdiff(q, std::vector<__float128>(d.begin(), d.end())), 1e-31);
}

TEST(Fft, PlansAreSharedPerShapeUntilReset)
{
    fft_reset();
    const t_fftplan* a = fftplan_create(1024, -1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(fftplan_create(1024, -1), a);
    EXPECT_NE(fftplan_create(1024, 1), a);
    EXPECT_NE(fftplannd_create({1024, 2}, -1), a);
    EXPECT_EQ(fftplan_count(), 3u);
    EXPECT_EQ(fftplan_create(1000, -1), nullptr);
    EXPECT_EQ(fftplannd_create({8, 12}, -1), nullptr);
    EXPECT_EQ(fftplannd_create({}, -1), nullptr);
    EXPECT_LT(fftplannd_cmp(*fftplan_create(8, -1), *fftplan_create(16, -1)), 0);
    EXPECT_LT(fftplannd_cmp(*fftplan_create(16, -1), *fftplannd_create({2, 2}, -1)), 0);
    EXPECT_GT(fftplannd_cmp(*fftplan_create(8, 1), *fftplan_create(8, -1)), 0);
    std::vector<double> d = randomdata<double>(1024, 4), ref = d;
    a->execute(a, d.data());
    fft_radix2(ref.data(), 1024, -1);
    EXPECT_EQ(d, ref);
    fft_reset();
    EXPECT_EQ(fftplan_count(), 0u);
}
