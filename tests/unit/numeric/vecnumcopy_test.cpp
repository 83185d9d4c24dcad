// Copies between vectors and host arrays: round trips for every host type through every vector
// type, rounding to nearest with ties away from zero in the element's own precision, saturation,
// real/complex parts, MPFR precision, sizes, and raw element bytes.
#include <cstring>
#include <limits>

#include "vecnumtest.h"
#include "numeric/vecnumcopy.h"

namespace {

const int k_flags[] = {VECNUM_DBL, VECNUM_ZDBL, VECNUM_QUAD, VECNUM_ZQUAD, VECNUM_FPMP, VECNUM_ZFPMP};
bool iscplx(int flag) { return flag == VECNUM_ZDBL || flag == VECNUM_ZQUAD || flag == VECNUM_ZFPMP; }

template <class H> bool same(const H& a, const H& b) { return a == b; }
bool same(const complexe& a, const complexe& b) { return a.re == b.re && a.im == b.im; }
bool same(const zquad& a, const zquad& b) { return a.re == b.re && a.im == b.im; }

// The typed functions of one host type, so one template runs them all.
template <class H> struct t_fns;
#define KST_TEST_FNS(name, type)                                                                       \
    template <> struct t_fns<type> {                                                                   \
        static bool to(const t_vecnum* v, type* d, size_t n) { return Vcopyto_##name(tctx(), v, d, n); } \
        static bool from(t_vecnum* v, const type* s, size_t n) { return Vcopyfrom_##name(tctx(), v, s, n); } \
    };
// int32_t is int and int64_t is long here: one specialisation each
KST_TEST_FNS(sint, int)
KST_TEST_FNS(uint, unsigned int)
KST_TEST_FNS(sint16, int16_t)
KST_TEST_FNS(uint16, uint16_t)
KST_TEST_FNS(slong, long)
KST_TEST_FNS(ulong, unsigned long)
KST_TEST_FNS(double, double)
KST_TEST_FNS(float, float)
KST_TEST_FNS(longdouble, long double)
KST_TEST_FNS(doubleComplex, complexe)
KST_TEST_FNS(float128, __float128)
KST_TEST_FNS(float128Complex, zquad)
#undef KST_TEST_FNS

class VecnumCopyTest : public VecnumTest {
protected:
    // src into a vector of flag and back: the same values, size n; single elements agree.
    template <class H>
    void roundtrip(int flag, const std::vector<H>& src, const char* what)
    {
        vecptr v(vecnum_create(tctx(), flag, "v", 3));
        ASSERT_TRUE(t_fns<H>::from(v.get(), src.data(), src.size())) << what;
        ASSERT_EQ(v->size(), src.size()) << what;
        std::vector<H> back(src.size());
        ASSERT_TRUE(t_fns<H>::to(v.get(), back.data(), back.size())) << what;
        for (size_t i = 0; i < src.size(); i++) EXPECT_TRUE(same(back[i], src[i])) << what << " flag " << flag << " at " << i;
        expect_noerror();
    }
};

TEST_F(VecnumCopyTest, EveryHostTypeRoundTripsThroughEveryVectorType)
{
    for (int flag : k_flags) {
        roundtrip<int>(flag, {0, 1, -7, 123456789, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}, "sint");
        roundtrip<unsigned>(flag, {0, 3, std::numeric_limits<unsigned>::max()}, "uint");
        roundtrip<int16_t>(flag, {-32768, -1, 0, 32767}, "sint16");
        roundtrip<uint16_t>(flag, {0, 1, 65535}, "uint16");
        roundtrip<int32_t>(flag, {-5, 2000000000}, "sint32");
        roundtrip<uint32_t>(flag, {4000000000u}, "uint32");
        roundtrip<int64_t>(flag, {-(1LL << 53), 1LL << 53, -3}, "sint64");
        roundtrip<uint64_t>(flag, {0, 1ULL << 60}, "uint64");
        roundtrip<long>(flag, {-42, 42}, "slong");
        roundtrip<unsigned long>(flag, {7, 1UL << 52}, "ulong");
        roundtrip<short>(flag, {-300, 300}, "sshort");
        roundtrip<unsigned short>(flag, {60000}, "ushort");
        roundtrip<double>(flag, {0.1, -1e300, 5e-324, 0.0}, "double");
        roundtrip<float>(flag, {0.1f, -3.5f, std::numeric_limits<float>::max()}, "float");
        if (flag != VECNUM_DBL && flag != VECNUM_ZDBL) {
            roundtrip<long double>(flag, {1.0L / 3, -2.0L}, "longdouble");
            roundtrip<__float128>(flag, {(__float128)1 / 3, -(__float128)1e300 * 1e100}, "float128");
            // every 64-bit integer is exact in a quad and in 212 bits
            roundtrip<int64_t>(flag, {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()}, "sint64 ends");
            roundtrip<uint64_t>(flag, {std::numeric_limits<uint64_t>::max(), (1ULL << 63) + 1}, "uint64 ends");
        }
        if (iscplx(flag)) {
            roundtrip<complexe>(flag, {{1, -2}, {0.1, 1e-300}}, "doubleComplex");
            if (flag != VECNUM_ZDBL) roundtrip<zquad>(flag, {{(__float128)1 / 3, -(__float128)1 / 7}}, "float128Complex");
        }
    }
}

TEST_F(VecnumCopyTest, WiderHostValuesAreRoundedToTheElementPrecision)
{
    // 2^53 + 1 has no double: to nearest (even) 2^53 in a double vector, kept by the others
    const int64_t odd = (1LL << 53) + 1;
    for (int flag : k_flags) {
        vecptr v(vecnum_create(tctx(), flag, "v", 0));
        Vcopyfrom_sint64(tctx(), v.get(), &odd, 1);
        int64_t back = 0;
        Vcopytosingle_sint64(tctx(), v.get(), 0, &back);
        EXPECT_EQ(back, flag == VECNUM_DBL || flag == VECNUM_ZDBL ? odd - 1 : odd) << flag;
    }
}

// One real value as element 0 of a vector of flag (set through the quad copy, exact for the
// quad and MPFR types).
vecptr single(int flag, __float128 x)
{
    vecptr v(vecnum_create(tctx(), flag, "v", 0));
    Vcopyfrom_float128(tctx(), v.get(), &x, 1);
    return v;
}

TEST_F(VecnumCopyTest, IntegerTargetsRoundHalfAwayFromZero)
{
    const double in[] = {2.5, -2.5, 1.5, -0.5, 0.49999999999999994, 2.4999, -7.5000001, 0.0};
    const int expected[] = {3, -3, 2, -1, 0, 2, -8, 0};
    for (int flag : k_flags) {
        vecptr v(vecnum_create(tctx(), flag, "v", 0));
        Vcopyfrom_double(tctx(), v.get(), in, 8);
        int out[8];
        Vcopyto_sint(tctx(), v.get(), out, 8);
        for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], expected[i]) << flag << " " << in[i];
        long one = 99;
        Vcopytosingle_slong(tctx(), v.get(), 1, &one);
        EXPECT_EQ(one, -3) << flag;
    }
    // the rounding sees the element's own digits: 2.5 - 2^-80 is 2, not 2.5 -> 3, in a quad or
    // MPFR element; 2^62 + 0.5 - 2^-20 is 2^62, where a long double would round twice up to
    // 2^62 + 1
    const __float128 below = (__float128)2.5 - ldexpq(1, -80);
    const __float128 big = ldexpq(1, 62) + (__float128)0.5 - ldexpq(1, -20);
    for (int flag : {VECNUM_QUAD, VECNUM_ZQUAD, VECNUM_FPMP, VECNUM_ZFPMP}) {
        int i = 0;
        Vcopytosingle_sint(tctx(), single(flag, below).get(), 0, &i);
        EXPECT_EQ(i, 2) << flag;
        int64_t l = 0;
        Vcopytosingle_sint64(tctx(), single(flag, big).get(), 0, &l);
        EXPECT_EQ(l, 1LL << 62) << flag;
        uint64_t u = 0;
        Vcopytosingle_uint64(tctx(), single(flag, big).get(), 0, &u);
        EXPECT_EQ(u, 1ULL << 62) << flag;
    }
}

TEST_F(VecnumCopyTest, IntegerTargetsSaturateAndNaNIsZero)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double in[] = {1e10, -1e10, nan, inf, -inf, 70000, -1, 32767.4, 32767.5};
    const int16_t s16[] = {32767, -32768, 0, 32767, -32768, 32767, -1, 32767, 32767};
    const uint16_t u16[] = {65535, 0, 0, 65535, 0, 65535, 0, 32767, 32768};
    for (int flag : k_flags) {
        vecptr v(vecnum_create(tctx(), flag, "v", 0));
        Vcopyfrom_double(tctx(), v.get(), in, 9);
        int16_t a[9];
        uint16_t b[9];
        Vcopyto_sint16(tctx(), v.get(), a, 9);
        Vcopyto_uint16(tctx(), v.get(), b, 9);
        for (int i = 0; i < 9; i++) {
            EXPECT_EQ(a[i], s16[i]) << flag << " " << in[i];
            EXPECT_EQ(b[i], u16[i]) << flag << " " << in[i];
        }
        // the 64-bit ends: 2^63 and 2^64 are just past them
        const double wide[] = {9223372036854775808.0, -9223372036854775808.0, 18446744073709551616.0, 1e19, -0.4};
        Vcopyfrom_double(tctx(), v.get(), wide, 5);
        int64_t l[5];
        uint64_t u[5];
        Vcopyto_sint64(tctx(), v.get(), l, 5);
        Vcopyto_uint64(tctx(), v.get(), u, 5);
        EXPECT_EQ(l[0], std::numeric_limits<int64_t>::max()) << flag;
        EXPECT_EQ(l[1], std::numeric_limits<int64_t>::min()) << flag;
        EXPECT_EQ(l[2], std::numeric_limits<int64_t>::max()) << flag;
        EXPECT_EQ(u[1], 0u) << flag;
        EXPECT_EQ(u[2], std::numeric_limits<uint64_t>::max()) << flag;
        EXPECT_EQ(u[3], 10000000000000000000ULL) << flag;
        EXPECT_EQ(u[4], 0u) << flag;
        EXPECT_EQ(l[4], 0) << flag;
    }
    // 2^64 - 0.5 rounds up to 2^64 (saturated); 2^64 - 1.75 to 2^64 - 2 (exact)
    for (int flag : {VECNUM_QUAD, VECNUM_FPMP}) {
        uint64_t u = 0;
        Vcopytosingle_uint64(tctx(), single(flag, ldexpq(1, 64) - (__float128)0.5).get(), 0, &u);
        EXPECT_EQ(u, std::numeric_limits<uint64_t>::max()) << flag;
        Vcopytosingle_uint64(tctx(), single(flag, ldexpq(1, 64) - (__float128)1.75).get(), 0, &u);
        EXPECT_EQ(u, std::numeric_limits<uint64_t>::max() - 1) << flag;
    }
}

TEST_F(VecnumCopyTest, RealAndComplexPartsMeet)
{
    const complexe z[] = {{1.5, -2}, {-3, 4}};
    for (int flag : k_flags) {
        vecptr v(vecnum_create(tctx(), flag, "v", 0));
        Vcopyfrom_doubleComplex(tctx(), v.get(), z, 2);
        // a real vector keeps the real parts; a complex one both
        EXPECT_EQ(values(v.get()), (std::vector<double>{1.5, -3})) << flag;
        EXPECT_EQ(values(v.get(), 1), iscplx(flag) ? (std::vector<double>{-2, 4}) : (std::vector<double>{0, 0})) << flag;
        // real targets take the real part
        double re[2];
        int ir[2];
        Vcopyto_double(tctx(), v.get(), re, 2);
        Vcopyto_sint(tctx(), v.get(), ir, 2);
        EXPECT_EQ(re[0], 1.5);
        EXPECT_EQ(re[1], -3);
        EXPECT_EQ(ir[0], 2);
        EXPECT_EQ(ir[1], -3);
        // complex targets from a real vector get zero imaginary parts
        zquad q[2];
        Vcopyto_float128Complex(tctx(), v.get(), q, 2);
        EXPECT_TRUE(q[0].re == (__float128)1.5 && q[0].im == (iscplx(flag) ? -2 : 0)) << flag;
        complexe one{};
        Vcopytosingle_doubleComplex(tctx(), v.get(), 1, &one);
        EXPECT_EQ(one.re, -3);
        EXPECT_EQ(one.im, iscplx(flag) ? 4 : 0) << flag;
    }
    // a real host array into a complex vector clears the imaginary parts it had
    vecptr c = mkvec(VECNUM_ZFPMP, {1, 2}, {5, 6});
    const float fl[] = {7, 8};
    Vcopyfrom_float(tctx(), c.get(), fl, 2);
    EXPECT_EQ(values(c.get(), 1), (std::vector<double>{0, 0}));
}

TEST_F(VecnumCopyTest, MPFRElementsKeepTheVectorPrecision)
{
    modenum_setprec(tctx(), 60);
    vecptr m(vecnum_create(tctx(), VECNUM_FPMP, "m", 0)), z(vecnum_create(tctx(), VECNUM_ZFPMP, "z", 0));
    const mpfr_prec_t made = static_cast<t_vecnumfpmp*>(m.get())->prec();
    ASSERT_GT(made, 190);
    modenum_setprec(tctx(), 10);   // a later context precision does not matter
    const __float128 third = (__float128)1 / 3;
    const zquad zt{third, -third};
    Vcopyfrom_float128(tctx(), m.get(), &third, 1);
    Vcopyfrom_float128Complex(tctx(), z.get(), &zt, 1);
    const auto& e = (*static_cast<t_vecnumfpmp*>(m.get()))[0];
    const auto& ze = (*static_cast<t_vecnumzfpmp*>(z.get()))[0];
    EXPECT_EQ(mpfr_get_prec(&e), made);
    EXPECT_EQ(mpfr_get_prec(mpc_realref(&ze)), made);
    EXPECT_EQ(mpfr_get_prec(mpc_imagref(&ze)), made);
    EXPECT_TRUE(mpfr_get_float128(&e, MPFR_RNDN) == third);   // exact: 113 bits fit
    EXPECT_TRUE(mpfr_get_float128(mpc_imagref(&ze), MPFR_RNDN) == -third);

    // a 1/3 of about 200 bits reaches each floating target rounded once, to nearest
    __mpfr_struct* em = &static_cast<t_vecnumfpmp*>(m.get())->data()[0];
    mpfr_set_ui(em, 1, MPFR_RNDN);
    mpfr_div_ui(em, em, 3, MPFR_RNDN);
    __float128 q = 0;
    long double ld = 0;
    double d = 0;
    float f = 0;
    Vcopyto_float128(tctx(), m.get(), &q, 1);
    Vcopyto_longdouble(tctx(), m.get(), &ld, 1);
    Vcopyto_double(tctx(), m.get(), &d, 1);
    Vcopyto_float(tctx(), m.get(), &f, 1);
    EXPECT_TRUE(q == third);
    EXPECT_EQ(ld, 1.0L / 3);
    EXPECT_EQ(d, 1.0 / 3);
    EXPECT_EQ(f, 1.0f / 3);
    // the copies read the element without changing it: it still holds more than a quad
    mpfr_t quad;
    mpfr_init2(quad, made);
    mpfr_set_float128(quad, third, MPFR_RNDN);
    EXPECT_NE(mpfr_cmp(quad, em), 0);
    EXPECT_EQ(mpfr_get_prec(em), made);
    mpfr_clear(quad);
}

TEST_F(VecnumCopyTest, SizesZerosPastTheEndAndBadArguments)
{
    vecptr v = mkvec(VECNUM_ZQUAD, {1, 2, 3}, {1, 1, 1});
    // copy-from resizes, shrinking and growing
    const int two[] = {4, 5};
    ASSERT_TRUE(Vcopyfrom_sint(tctx(), v.get(), two, 2));
    EXPECT_EQ(v->size(), 2u);
    EXPECT_EQ(values(v.get()), (std::vector<double>{4, 5}));
    EXPECT_EQ(values(v.get(), 1), (std::vector<double>{0, 0}));
    const unsigned short five[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(Vcopyfrom_ushort(tctx(), v.get(), five, 5));
    EXPECT_EQ(values(v.get()), (std::vector<double>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(Vcopyfrom_double(tctx(), v.get(), nullptr, 0));
    EXPECT_EQ(v->size(), 0u);

    // reads past the end give zeros
    vecptr w = mkdbl({7, 8});
    double out[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(Vcopyto_double(tctx(), w.get(), out, 4));
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{7, 8, 0, 0}));
    complexe z{9, 9};
    ASSERT_TRUE(Vcopytosingle_doubleComplex(tctx(), w.get(), 2, &z));
    EXPECT_TRUE(z.re == 0 && z.im == 0);
    EXPECT_TRUE(Vcopyto_sint(tctx(), w.get(), nullptr, 0));
    expect_noerror();

    // a null array with elements to copy, and a size no vector can have
    EXPECT_FALSE(Vcopyto_sint(tctx(), w.get(), nullptr, 1));
    expect_error(errtext(52));
    EXPECT_FALSE(Vcopytosingle_float(tctx(), w.get(), 0, nullptr));
    expect_error(errtext(52));
    EXPECT_FALSE(Vcopyfrom_double(tctx(), w.get(), out, size_t{1} << 33));
    expect_error(errtext(562));
    EXPECT_EQ(values(w.get()), (std::vector<double>{7, 8}));   // left as it was
}

TEST_F(VecnumCopyTest, RawBytesRoundTripForFixedSizeElements)
{
    const size_t sizes[] = {sizeof(double), sizeof(complexe), sizeof(__float128), sizeof(zquad)};
    const int fixed[] = {VECNUM_DBL, VECNUM_ZDBL, VECNUM_QUAD, VECNUM_ZQUAD};
    for (int k = 0; k < 4; k++) {
        vecptr v = mkvec(fixed[k], {0.1, -2, 3e200}, {1, 0.5, -1});
        EXPECT_EQ(vecnum_rawsize(v.get()), sizes[k]);
        std::vector<unsigned char> bytes(4 * sizes[k], 0xAB);
        ASSERT_TRUE(VcopyToRawData(tctx(), v.get(), bytes.data(), 4));
        EXPECT_EQ(memcmp(bytes.data(), v->rawdata(), 3 * sizes[k]), 0);
        // the fourth element is past the end: zero bytes, 0.0
        for (size_t i = 3 * sizes[k]; i < bytes.size(); i++) EXPECT_EQ(bytes[i], 0) << k;
        vecptr w(vecnum_create(tctx(), fixed[k], "w", 9));
        ASSERT_TRUE(VcopyFromRawData(tctx(), w.get(), bytes.data(), 3));
        EXPECT_EQ(w->size(), 3u);
        EXPECT_EQ(values(w.get()), values(v.get())) << k;
        EXPECT_EQ(values(w.get(), 1), values(v.get(), 1)) << k;
    }

    for (int flag : {VECNUM_FPMP, VECNUM_ZFPMP}) {
        vecptr m(vecnum_create(tctx(), flag, "m", 2));
        EXPECT_EQ(vecnum_rawsize(m.get()), 0u);
        unsigned char buf[64];
        EXPECT_FALSE(VcopyToRawData(tctx(), m.get(), buf, 1));
        expect_error(errtext(560));
        EXPECT_FALSE(VcopyFromRawData(tctx(), m.get(), buf, 1));
        expect_error(errtext(560));
        EXPECT_EQ(m->size(), 2u);
    }
}

} // namespace

TEST_F(VecnumCopyTest, ExactAndIntervalVectorsCopyThroughTheirValues)
{
    t_cctx* ctx = tctx();
    const int64_t big[] = {(int64_t(1) << 62) + 1, -7, 0};
    vecptr z(vecnum_create(ctx, VECNUM_INTMP, "z", 0));
    ASSERT_TRUE(Vcopyfrom_sint64(ctx, z.get(), big, 3));
    int64_t back[3] = {};
    ASSERT_TRUE(Vcopyto_sint64(ctx, z.get(), back, 3));
    EXPECT_EQ(std::vector<int64_t>(back, back + 3), std::vector<int64_t>(big, big + 3));

    vecptr q(vecnum_create(ctx, VECNUM_RATMP, "q", 0));
    const double halves[] = {0.5, -2.25};
    ASSERT_TRUE(Vcopyfrom_double(ctx, q.get(), halves, 2));
    double d = 0;
    ASSERT_TRUE(Vcopytosingle_double(ctx, q.get(), 1, &d));
    EXPECT_EQ(d, -2.25);
    // No raw form for numbers that live outside the element array.
    unsigned char raw[64];
    EXPECT_FALSE(VcopyToRawData(ctx, q.get(), raw, 1));
}
