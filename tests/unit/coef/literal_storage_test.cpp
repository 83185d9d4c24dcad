// Robustness of literal reading (random texts in every mode), the 32-byte record of stored
// numbers byte by byte, 64-bit rational edge cases, and interval rounding on concurrent threads.
#include "coef/coefsave.h"
#include "coeftest.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

namespace {

using Lit = CoefTest;

TEST_F(Lit, RandomTextsNeverCrash)
{
    static const char alphabet[] = "0123456789.eEdD+- \txi";
    std::mt19937_64 rng(29);
    for (int m = 0; m < 7; m++) {
        modenum_set(m);
        for (int i = 0; i < 400; i++) {
            std::string s;
            int n = (int)(rng() % 30) + 1;
            for (int k = 0; k < n; k++) s += alphabet[rng() % (sizeof alphabet - 1)];
            coef c = strnum2coef(s.c_str());
            EXPECT_GE((int)c.type, 0);
            if (c.type != BH_ZERO) {
                EXPECT_EQ(coef_vt(&c).kind, 3);
            }
            deletecoef(&c);
            Erreur_Execution = 0;   // unreadable interval literals are run error 459
        }
    }
}

TEST_F(Lit, LiteralValues)
{
    modenum_set(NUMRATMP);
    coef neg = strentierlong2coef("-98765432109876543210");
    EXPECT_EQ(qtext(neg), "-98765432109876543210");
    coef plus = strentierlong2coef("+12");
    EXPECT_EQ(qtext(plus), "12");
    modenum_set(NUMQUADINT);
    coef i = strreal2coef("1e-30");
    ASSERT_EQ(i.type, BH_INTQUAD);
    mpfr_t lo, hi, exact;
    mpfr_inits2(400, lo, hi, exact, (mpfr_ptr)0);
    mpfr_set_str(exact, "1e-30", 10, MPFR_RNDN);
    coefnum_get_fr(lo, &i, 0, MPFR_RNDD);
    coefnum_get_fr(hi, &i, 0, MPFR_RNDU);
    EXPECT_TRUE(mpfr_less_p(lo, exact) && mpfr_less_p(exact, hi));   // 1e-30 is not a binary number
    mpfr_clears(lo, hi, exact, (mpfr_ptr)0);
    for (coef* c : {&neg, &plus, &i}) deletecoef(c);
}

TEST_F(Lit, RecordBytes)
{
    coef d = coef_fromdbl(-2.5);
    FILE* f = tmpfile();
    ASSERT_TRUE(coefnum_save(&d, f));
    EXPECT_EQ(ftell(f), 32);   // a double is complete in its record
    rewind(f);
    unsigned char rec[32];
    ASSERT_EQ(fread(rec, 1, 32, f), 32u);
    double v;
    memcpy(&v, rec, 8);
    EXPECT_EQ(v, -2.5);
    EXPECT_EQ(rec[28], 2);
    EXPECT_EQ(rec[29] | rec[30] | rec[31], 0);
    fclose(f);

    coef q = mknum(BH_QUAD, 1, 3);
    f = tmpfile();
    ASSERT_TRUE(coefnum_save(&q, f));
    EXPECT_EQ(ftell(f), 32 + 16);   // record, then the 16 bytes of the quad
    rewind(f);
    ASSERT_EQ(fread(rec, 1, 32, f), 32u);
    for (int k = 0; k < 8; k++) EXPECT_EQ(rec[k], 0) << "no pointer in the file";
    fclose(f);
    deletecoef(&q);

    f = tmpfile();
    unsigned char junk[32] = {};
    junk[28] = 1;   // a polynomial node is not a number
    fwrite(junk, 1, 32, f);
    rewind(f);
    coef back;
    EXPECT_FALSE(coefnum_load(tctx(), &back, f));
    EXPECT_EQ(back.type, BH_ZERO);
    fclose(f);
}

TEST_F(Lit, Rational64EdgeCases)
{
    coef a = ratovf_make(4, -6);
    EXPECT_EQ(a.r.num, -2);
    EXPECT_EQ(a.r.den, 3);
    coef b = ratovf_make(INT64_MIN, -1);   // +2^63 does not fit
    EXPECT_EQ(b.type, BH_DBL);
    EXPECT_EQ(b.d, 9223372036854775808.0);
    coef c = ratovf_make(INT64_MIN, 1);
    ASSERT_EQ(c.type, BH_RAT);
    coef n = coef_neg(tctx(), &c, 1);
    EXPECT_EQ(n.type, BH_DBL);
    EXPECT_EQ(n.d, 9223372036854775808.0);
    coef z = ratovf_make(0, 5);
    EXPECT_EQ(z.type, BH_ZERO);
    coef x = ratovf_make(1, 3), y = ratovf_make(-1, 6);
    coef s = coef_addition(tctx(), &x, 1, &y, 1);
    EXPECT_EQ(s.r.num, 1);
    EXPECT_EQ(s.r.den, 6);
    coef big = ratovf_make(INT64_MAX, 2), d = ratovf_make(1, INT64_MAX);
    coef p = coef_multiplication(tctx(), &big, 1, &d, 1);   // cross-cancelled: 1/2
    EXPECT_EQ(p.r.num, 1);
    EXPECT_EQ(p.r.den, 2);
}

// Each thread has its own rounding mode: concurrent interval work gives the same enclosures.
TEST_F(Lit, IntervalRoundingIsPerThread)
{
    auto work = [](double* out) {
        t_dbiasinterval acc{0, 0};
        coef sum = coef_fromptr(new t_dbiasinterval(acc), BH_INTDBL);
        for (int k = 1; k <= 2000; k++) {
            coef t = g_kst_coef_vtable[BH_INTDBL].numden2coef(nullptr, 1, k);
            sum = coef_addition(nullptr, &sum, 0, &t, 0);
        }
        out[0] = coef_box<t_intdbltype>(&sum)->inf;
        out[1] = coef_box<t_intdbltype>(&sum)->sup;
        deletecoef(&sum);
    };
    double r1[2], r2[2], r3[2];
    std::thread t1(work, r1), t2(work, r2);
    t1.join();
    t2.join();
    work(r3);
    EXPECT_EQ(r1[0], r3[0]);
    EXPECT_EQ(r1[1], r3[1]);
    EXPECT_EQ(r2[0], r3[0]);
    EXPECT_EQ(r2[1], r3[1]);
    EXPECT_LT(r3[0], r3[1]);
    // the harmonic number H(2000) = 8.17836810361028240957...
    EXPECT_LE(r3[0], 8.178368103610282);
    EXPECT_GE(r3[1], 8.178368103610283);
}

}  // namespace

namespace {

// Packed blocks: conversion between block types keeps the values (exactly, rounded or enclosed),
// and an overflowed 64-bit rational is kept as a ratovf double.
TEST_F(Lit, BlockConversion)
{
    const long n = 6;
    void* q = malloc((size_t)n * g_BHSize[BH_RATMP]);
    for (long i = 0; i < n; i++) {
        coef v = i == 2 ? coef{} : mknum(BH_RATMP, (long)(i * 7 - 10), 3);
        coefnum_blockstore(tctx(), BH_RATMP, q, i, &v);
        EXPECT_EQ(v.type, BH_ZERO);
    }
    for (eBHTypeCoef to : {BH_DBL, BH_RAT, BH_QUAD, BH_FPMP, BH_INTDBL, BH_INTQUAD, BH_ZRATMP, BH_ZDBL}) {
        void* b = coefnum_block_convert(tctx(), n, q, BH_RATMP, to);
        void* back = coefnum_block_convert(tctx(), n, b, to, BH_RATMP);
        for (long i = 0; i < n; i++) {
            coef x = coefnum_blockview(BH_RATMP, q, i), y = coefnum_blockview(to, b, i);
            coef z = coefnum_blockview(BH_RATMP, back, i);
            EXPECT_NEAR(coef2dbl(&x), coef2dbl(&y), 1e-15 * (1 + std::fabs(coef2dbl(&x)))) << (int)to << " " << i;
            if (to == BH_RAT || to == BH_ZRATMP) {
                EXPECT_TRUE(coef_cmp_egal(&x, &z)) << (int)to << " " << i;   // exact round trip
            }
            coefnum_blockclear(to, b, i);
            coefnum_blockclear(BH_RATMP, back, i);
        }
        free(b);
        free(back);
    }
    for (long i = 0; i < n; i++) coefnum_blockclear(BH_RATMP, q, i);
    free(q);

    rationnel block[2];
    coef big = coef_fromdbl(1e30), third = ratovf_make(1, 3);
    coefnum_blockstore(tctx(), BH_RAT, block, 0, &big);
    coefnum_blockstore(tctx(), BH_RAT, block, 1, &third);
    EXPECT_EQ(block[0].den, -1);
    coef v0 = coefnum_blockview(BH_RAT, block, 0), v1 = coefnum_blockview(BH_RAT, block, 1);
    EXPECT_EQ(v0.type, BH_DBL);
    EXPECT_EQ(v0.d, 1e30);
    EXPECT_EQ(v1.type, BH_RAT);
    EXPECT_EQ(v1.r.den, 3);
}

}  // namespace
