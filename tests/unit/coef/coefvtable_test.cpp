// The dispatch table: record layout, zero rules, x - x, the promotion table (symmetric, exact
// normalisation), keep flags, the default cells and the run-time tag counter.
#include "coef/coefnum_impl.h"
#include "coeftest.h"

#include <cstring>
#include <vector>

namespace {

using Coef = CoefTest;

TEST(CoefLayout, RecordIs32BytesWithTagAtByte28)
{
    coef c{};
    c.w[0] = 0x1122334455667788ULL;
    c.i32 = 0x01020304;
    c.type = BH_INTMP;
    unsigned char bytes[32];
    memcpy(bytes, &c, 32);
    EXPECT_EQ(bytes[0], 0x88);
    EXPECT_EQ(bytes[24], 0x04);
    EXPECT_EQ(bytes[27], 0x01);
    EXPECT_EQ(bytes[28], 22);
}

TEST_F(Coef, TableIdentity)
{
    EXPECT_STREQ(g_kst_coef_vtable[BH_ZDBL].name, "COMPLEXE");
    EXPECT_STREQ(g_kst_coef_vtable[BH_QUAD].name, "QUAD");
    EXPECT_STREQ(g_kst_coef_vtable[BH_ZINTMP].name, "ZINTMP");
    EXPECT_STREQ(g_kst_coef_vtable[BH_POLYNOME].name, "POLYNOME");
    EXPECT_STREQ(g_kst_coef_vtable[25].name, "POLRDDBL");
    EXPECT_STREQ(g_kst_coef_vtable[44].name, "POLRSZQUAD");
    coef bad{};
    bad.type = (eBHTypeCoef)-3;
    EXPECT_STREQ(coef_typename(&bad), "invalid");
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) EXPECT_EQ(g_kst_coef_vtable[tags[i]].kind, 3) << (int)tags[i];
    EXPECT_EQ(g_kst_coef_vtable[BH_POLYNOME].kind, 1);
    // a packed number is the value itself: the MPFR and MPC structures take their size here
    const int sizes[][2] = {{0, 0},   {2, 8},   {3, 16},  {7, 16},  {8, 32},  {9, 16},  {10, 32},
                            {11, 16}, {12, 32}, {13, 32}, {14, 64}, {18, 32}, {19, 64}, {22, 16},
                            {23, 32}, {20, (int)sizeof(__mpfr_struct)}, {21, (int)sizeof(__mpc_struct)}};
    for (auto& s : sizes) EXPECT_EQ(g_BHSize[s[0]], s[1]) << s[0];
    const int pairs[][3] = {{0, 0, 0},    {2, 2, 3},    {3, 2, 3},    {7, 7, 8},    {8, 7, 8},    {9, 9, 10},
                            {10, 9, 10},  {11, 11, 12}, {12, 11, 12}, {13, 13, 14}, {14, 13, 14}, {18, 18, 19},
                            {19, 18, 19}, {20, 20, 21}, {21, 20, 21}, {22, 22, 23}, {23, 22, 23}};
    for (auto& p : pairs) {
        EXPECT_EQ(gc_BHReel[p[0]], p[1]) << p[0];
        EXPECT_EQ(gc_BHCplx[p[0]], p[2]) << p[0];
    }
    EXPECT_EQ(*static_cast<const double*>(gc_BHUn[BH_DBL]), 1.0);
    EXPECT_EQ(mpz_cmp_ui(static_cast<const __mpz_struct*>(gc_BHUn[BH_INTMP]), 1), 0);
}

TEST_F(Coef, ZeroRulesMoveCopyAndFree)
{
    coef z{};
    coef x = mknum(BH_RATMP, 2, 3);
    void* box = x.p;
    coef r = coef_addition(tctx(), &z, 0, &x, 0);   // 0 + x, x handed over: moved, not copied
    EXPECT_EQ(r.type, BH_RATMP);
    EXPECT_EQ(r.p, box);
    EXPECT_EQ(x.type, BH_ZERO);
    coef k = coef_addition(tctx(), &r, 1, &z, 1);    // x + 0, x kept: deep copy
    EXPECT_EQ(k.type, BH_RATMP);
    EXPECT_NE(k.p, r.p);
    EXPECT_EQ(qtext(k), "2/3");
    coef m = coef_multiplication(tctx(), &z, 1, &k, 0);   // 0 * x frees x
    EXPECT_EQ(m.type, BH_ZERO);
    EXPECT_EQ(k.type, BH_ZERO);
    coef s = coef_soustraction(tctx(), &z, 1, &r, 1);     // 0 - x = -x
    EXPECT_EQ(qtext(s), "-2/3");
    EXPECT_TRUE(coef_cmp_egal(&z, &gc_0));
    EXPECT_FALSE(coef_cmp_egal(&z, &r));
    deletecoef(&r);
    deletecoef(&s);
}

TEST_F(Coef, DivisionByExactZeroIsARunError)
{
    coef x = mknum(BH_INTMP, 5);
    coef z{};
    coef r = coef_division(tctx(), &x, 0, &z, 1);
    EXPECT_EQ(r.type, BH_ZERO);
    EXPECT_EQ(x.type, BH_ZERO);
    EXPECT_EQ(Erreur_Execution, 1);
    Erreur_Execution = 0;
}

// x - x is tag 0 for every numeric tag, whatever the keep flags.
TEST_F(Coef, SelfDifferenceIsTagZero)
{
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) {
        for (int flags = 0; flags < 4; flags++) {
            const bool isint = tags[i] == BH_INTMP || tags[i] == BH_ZINTMP;
            coef a = mknum(tags[i], 7, isint ? 1 : 3, coefnum_iscomplex(tags[i]) ? -5 : 0, isint ? 1 : 2);
            coef b = copycoef(&a);
            int ka = flags & 1, kb = flags >> 1;
            coef r = coef_soustraction(tctx(), &a, ka, &b, kb);
            EXPECT_EQ(r.type, BH_ZERO) << "tag " << (int)tags[i] << " flags " << flags;
            EXPECT_EQ(a.type, ka ? tags[i] : BH_ZERO) << "tag " << (int)tags[i] << " flags " << flags;
            EXPECT_EQ(b.type, kb ? tags[i] : BH_ZERO) << "tag " << (int)tags[i] << " flags " << flags;
            deletecoef(&a);
            deletecoef(&b);
        }
    }
}

TEST_F(Coef, IntegerQuotientIsExact)
{
    coef six = mknum(BH_INTMP, 6), three = mknum(BH_INTMP, 3), one = mknum(BH_INTMP, 1);
    coef q = coef_division(tctx(), &six, 1, &three, 1);
    EXPECT_EQ(q.type, BH_INTMP);
    EXPECT_EQ(qtext(q), "2");
    coef t = coef_division(tctx(), &one, 1, &three, 1);
    EXPECT_EQ(t.type, BH_RATMP);
    EXPECT_EQ(qtext(t), "1/3");
    // a RATMP whose denominator becomes 1 is an INTMP: 1/3 * 3
    coef u = coef_multiplication(tctx(), &t, 0, &three, 1);
    EXPECT_EQ(u.type, BH_INTMP);
    EXPECT_EQ(qtext(u), "1");
    // complex integers: (4+2i)/(1+i) = 3 - i exactly, (1)/(2i) = -i/2
    coef a = mknum(BH_ZINTMP, 4, 1, 2), b = mknum(BH_ZINTMP, 1, 1, 1), c = mknum(BH_ZINTMP, 0, 1, 2);
    coef d = coef_division(tctx(), &a, 1, &b, 1);
    EXPECT_EQ(d.type, BH_ZINTMP);
    EXPECT_EQ(qtext(d, 0) + " " + qtext(d, 1), "3 -1");
    coef e = coef_division(tctx(), &one, 1, &c, 1);
    EXPECT_EQ(e.type, BH_ZRATMP);
    EXPECT_EQ(qtext(e, 0) + " " + qtext(e, 1), "0 -1/2");
    for (coef* p : {&six, &three, &one, &q, &u, &a, &b, &c, &d, &e}) deletecoef(p);
}

TEST_F(Coef, Rational64OverflowGivesDouble)
{
    coef a = mknum(BH_RAT, 3037000500), b = mknum(BH_RAT, 3037000500);
    coef p = coef_multiplication(tctx(), &a, 1, &b, 1);
    EXPECT_EQ(p.type, BH_DBL);
    EXPECT_EQ(p.d, 9.22337203700025e18);
    // the same pair below the limit stays rational: 3037000499^2 < 2^63
    coef c = mknum(BH_RAT, 3037000499);
    coef s = coef_multiplication(tctx(), &c, 1, &c, 1);
    EXPECT_EQ(s.type, BH_RAT);
    EXPECT_EQ(s.r.num, 3037000499LL * 3037000499LL);
    // cross-cancelled division: (2^62/3) / (2^61/5) = 10/3 without overflow
    coef x = ratovf_make(4611686018427387904LL, 3), y = ratovf_make(2305843009213693952LL, 5);
    coef q = coef_division(tctx(), &x, 0, &y, 0);
    EXPECT_EQ(q.type, BH_RAT);
    EXPECT_EQ(q.r.num, 10);
    EXPECT_EQ(q.r.den, 3);
    // sums overflow to a double as well
    coef m = ratovf_make(INT64_MAX, 1), one = ratovf_make(1, 1);
    coef o = coef_addition(tctx(), &m, 1, &one, 1);
    EXPECT_EQ(o.type, BH_DBL);
    EXPECT_EQ(o.d, 9223372036854775808.0);
}

// The cells of the promotion table: result tags, symmetric.
TEST_F(Coef, PromotionTableIsSymmetric)
{
    struct {
        eBHTypeCoef a, b, res;
    } table[] = {
        {BH_INTMP, BH_RATMP, BH_RATMP},   {BH_INTMP, BH_ZINTMP, BH_ZINTMP}, {BH_INTMP, BH_ZRATMP, BH_ZRATMP},
        {BH_RATMP, BH_ZRATMP, BH_ZRATMP}, {BH_RATMP, BH_ZINTMP, BH_ZRATMP}, {BH_ZINTMP, BH_ZRATMP, BH_ZRATMP},
        {BH_INTMP, BH_DBL, BH_DBL},       {BH_RATMP, BH_DBL, BH_DBL},       {BH_RAT, BH_DBL, BH_DBL},
        {BH_INTMP, BH_ZDBL, BH_ZDBL},     {BH_RATMP, BH_ZDBL, BH_ZDBL},     {BH_RAT, BH_ZDBL, BH_ZDBL},
        {BH_DBL, BH_ZDBL, BH_ZDBL},       {BH_ZINTMP, BH_ZDBL, BH_ZDBL},    {BH_ZRATMP, BH_ZDBL, BH_ZDBL},
        {BH_ZRAT, BH_ZDBL, BH_ZDBL},      {BH_DBL, BH_ZINTMP, BH_ZDBL},     {BH_DBL, BH_ZRATMP, BH_ZDBL},
        {BH_DBL, BH_ZRAT, BH_ZDBL},       {BH_RAT, BH_ZRAT, BH_ZRAT},       {BH_QUAD, BH_ZQUAD, BH_ZQUAD},
        {BH_FPMP, BH_ZFPMP, BH_ZFPMP},    {BH_INTDBL, BH_ZINTDBL, BH_ZINTDBL}, {BH_INTQUAD, BH_ZINTQUAD, BH_ZINTQUAD},
    };
    for (auto& t : table) {
        for (int order = 0; order < 2; order++) {
            eBHTypeCoef l = order ? t.b : t.a, r = order ? t.a : t.b;
            // non-integral values (but for the integer types) so that no exact result
            // normalises to a narrower tag
            auto isint = [](eBHTypeCoef t) { return t == BH_INTMP || t == BH_ZINTMP; };
            coef x = mknum(l, 5, isint(l) ? 1 : 2, coefnum_iscomplex(l) ? 1 : 0, isint(l) ? 1 : 3);
            coef y = mknum(r, 7, isint(r) ? 1 : 4, coefnum_iscomplex(r) ? 2 : 0, isint(r) ? 1 : 5);
            coef s = coef_addition(tctx(), &x, 1, &y, 1);
            coef p = coef_multiplication(tctx(), &x, 1, &y, 1);
            coef d = coef_soustraction(tctx(), &x, 1, &y, 1);
            EXPECT_EQ(s.type, t.res) << (int)l << "+" << (int)r;
            EXPECT_EQ(p.type, t.res) << (int)l << "*" << (int)r;
            EXPECT_EQ(d.type, t.res) << (int)l << "-" << (int)r;
            for (coef* c : {&x, &y, &s, &p, &d}) deletecoef(c);
        }
    }
    // a double meets a GMP integer in either order: a double; complex double with RATMP: complex double
    coef i = mknum(BH_INTMP, 3), f = mknum(BH_DBL, 1, 2), q = mknum(BH_RATMP, 1, 3), z = mknum(BH_ZDBL, 1, 1, 1);
    coef a = coef_addition(tctx(), &i, 1, &f, 1), b = coef_addition(tctx(), &f, 1, &i, 1);
    EXPECT_EQ(a.type, BH_DBL);
    EXPECT_EQ(b.type, BH_DBL);
    EXPECT_EQ(a.d, 3.5);
    coef c = coef_addition(tctx(), &z, 1, &q, 1);
    EXPECT_EQ(c.type, BH_ZDBL);
    for (coef* p : {&i, &f, &q, &z, &a, &b, &c}) deletecoef(p);
}

// Pairs left open by the table are computed in the documented wider type.
TEST_F(Coef, OpenPairsUseTheWiderType)
{
    struct {
        eBHTypeCoef a, b, res;
    } open[] = {{BH_DBL, BH_QUAD, BH_QUAD},      {BH_QUAD, BH_FPMP, BH_FPMP},   {BH_DBL, BH_INTDBL, BH_INTDBL},
                {BH_FPMP, BH_INTQUAD, BH_INTQUAD}, {BH_RAT, BH_INTMP, BH_RATMP}, {BH_ZDBL, BH_QUAD, BH_ZQUAD},
                {BH_INTMP, BH_FPMP, BH_FPMP}};
    for (auto& t : open) {
        coef x = mknum(t.a, 3, 2), y = mknum(t.b, 5, 4);
        coef s = coef_addition(tctx(), &x, 1, &y, 1), u = coef_addition(tctx(), &y, 1, &x, 1);
        EXPECT_EQ(s.type, t.res) << (int)t.a << "," << (int)t.b;
        EXPECT_EQ(u.type, t.res);
        EXPECT_TRUE(coef_cmp_egal(&s, &u));
        for (coef* c : {&x, &y, &s, &u}) deletecoef(c);
    }
}

// A cell whose result has an operand's type reuses that operand's storage when handed over.
TEST_F(Coef, HandedOverStorageIsReused)
{
    coef a = mknum(BH_RATMP, 1, 3), b = mknum(BH_RATMP, 1, 6);
    void* pa = a.p;
    coef r = coef_addition(tctx(), &a, 0, &b, 0);
    EXPECT_EQ(r.p, pa);
    EXPECT_EQ(qtext(r), "1/2");
    coef i = mknum(BH_INTMP, 2);
    coef f = mknum(BH_FPMP, 1, 4);
    void* pf = f.p;
    coef g = coef_multiplication(tctx(), &i, 0, &f, 0);   // MPFR result lives in the MPFR operand
    EXPECT_EQ(g.type, BH_FPMP);
    EXPECT_EQ(g.p, pf);
    EXPECT_EQ(i.type, BH_ZERO);
    deletecoef(&r);
    deletecoef(&g);
}

TEST_F(Coef, OrderAndEqualityAcrossTypes)
{
    coef third = mknum(BH_RATMP, 1, 3), d = mknum(BH_DBL, 1, 3), half = mknum(BH_RAT, 1, 2), two = mknum(BH_INTMP, 2);
    EXPECT_TRUE(coef_cmp_lt(&third, &half));
    EXPECT_TRUE(coef_cmp_gt(&two, &half));
    EXPECT_TRUE(coef_cmp_le(&half, &half));
    EXPECT_FALSE(coef_cmp_egal(&third, &d));   // the double 1/3 is not the rational 1/3
    EXPECT_TRUE(coef_cmp_lt(&d, &third));      // it is just below
    coef z = mknum(BH_ZDBL, 1, 1, 1);
    EXPECT_FALSE(coef_cmp_lt(&z, &two));       // complex numbers have no order: run error
    EXPECT_EQ(Erreur_Execution, 1);
    Erreur_Execution = 0;
    for (coef* c : {&third, &d, &half, &two, &z}) deletecoef(c);
}

TEST_F(Coef, FusedMultiplyAccumulate)
{
    coef acc = mknum(BH_INTMP, 1);
    coef b = mknum(BH_INTMP, 2), c = mknum(BH_RATMP, 1, 4);
    coef_fmaccnotr(tctx(), &acc, b, 1, c, 1);
    EXPECT_EQ(acc.type, BH_RATMP);
    EXPECT_EQ(qtext(acc), "3/2");
    coef x = mknum(BH_DBL, 3), y = mknum(BH_DBL, -1, 2);
    coef_fmaccnotr(tctx(), &acc, x, 0, y, 0);   // 3/2 + 3 * (-1/2) = 0 (in doubles)
    EXPECT_EQ(acc.type, BH_ZERO);
    EXPECT_EQ(x.type, BH_ZERO);
    deletecoef(&b);
    deletecoef(&c);
}

TEST_F(Coef, IntegerPowers)
{
    coef two = mknum(BH_INTMP, 2);
    coef p = coef_power_int(tctx(), &two, 1, 100);
    EXPECT_EQ(qtext(p), "1267650600228229401496703205376");
    coef m = coef_power_int(tctx(), &two, 1, -3);
    EXPECT_EQ(m.type, BH_RATMP);
    EXPECT_EQ(qtext(m), "1/8");
    coef r = mknum(BH_RAT, -2, 3);
    coef r3 = coef_power_int(tctx(), &r, 1, 3);
    EXPECT_EQ(r3.type, BH_RAT);
    EXPECT_EQ(r3.r.num, -8);
    EXPECT_EQ(r3.r.den, 27);
    coef zi = mknum(BH_ZINTMP, 1, 1, 1);
    coef z4 = coef_power_int(tctx(), &zi, 0, 4);   // (1+i)^4 = -4
    EXPECT_EQ(qtext(z4, 0) + " " + qtext(z4, 1), "-4 0");
    for (coef* c : {&two, &p, &m, &r, &r3, &z4}) deletecoef(c);
}

TEST(CoefDeath, MissingCellIsInternalError1109)
{
    coef p{};
    p.type = BH_POLYNOME;
    coef d = coef_fromdbl(1.0);
    EXPECT_DEATH(coef_addition(tctx(), &p, 1, &d, 1), "");
}

TEST_F(Coef, RuntimeTagsStartAt64)
{
    // the counter is shared by the whole program: other registrations may have come first
    char c;
    eBHTypeCoef t;
    ASSERT_EQ(kst_coefnum_register(4, &c, &t), 1);
    EXPECT_GE((int)t, 64);
    EXPECT_EQ((int)(unsigned char)c, (int)t);
    EXPECT_EQ(g_BHSize[t], 4);
    eBHTypeCoef t2;
    ASSERT_EQ(kst_coefnum_register(2, nullptr, &t2), 1);
    EXPECT_EQ((int)t2, (int)t + 1);
}

}  // namespace

namespace {

// Conformance over every pair of numeric tags (zero included): every operation has a cell, the
// truncated product equals the plain one, acc += b*c equals acc + b*c, and the order rows of
// real pairs agree with the exact order of the values.
TEST_F(Coef, EveryNumericPairHasEveryCell)
{
    int n;
    const eBHTypeCoef* list = numeric_tags(&n);
    std::vector<eBHTypeCoef> tags(list, list + n);
    tags.push_back(BH_ZERO);
    for (eBHTypeCoef ta : tags) {
        for (eBHTypeCoef tb : tags) {
            SCOPED_TRACE(std::to_string((int)ta) + "," + std::to_string((int)tb));
            coef a = ta == BH_ZERO ? coef{} : mknum(ta, 5, 1, coefnum_iscomplex(ta) ? 2 : 0, 1);
            coef b = tb == BH_ZERO ? coef{} : mknum(tb, -3, 1, coefnum_iscomplex(tb) ? 1 : 0, 1);
            coef s = coef_addition(tctx(), &a, 1, &b, 1);
            coef d = coef_soustraction(tctx(), &a, 1, &b, 1);
            coef p = coef_multiplication(tctx(), &a, 1, &b, 1);
            coef pt = coef_multiplicationtr(tctx(), &a, 1, &b, 1, nullptr);
            EXPECT_TRUE(coef_cmp_egal(&p, &pt));
            if (tb != BH_ZERO) {
                coef q = coef_division(tctx(), &a, 1, &b, 1);
                EXPECT_EQ(Erreur_Execution, 0);
                deletecoef(&q);
            }
            coef acc = copycoef(&s);
            coef_fmaccnotr(tctx(), &acc, a, 1, b, 1);
            coef want = coef_addition(tctx(), &s, 1, &p, 1);
            EXPECT_NEAR(coef2zdbl(&acc).re, coef2zdbl(&want).re, 1e-12);
            EXPECT_NEAR(coef2zdbl(&acc).im, coef2zdbl(&want).im, 1e-12);
            if (!coefnum_iscomplex(ta) && !coefnum_iscomplex(tb)) {
                double x = coef2dbl(&a), y = coef2dbl(&b);
                EXPECT_EQ(coef_cmp_lt(&a, &b), x < y);
                EXPECT_EQ(coef_cmp_ge(&a, &b), x >= y);
                EXPECT_EQ(coef_cmp_egal(&a, &a), 1);
            }
            for (coef* c : {&a, &b, &s, &d, &p, &pt, &acc, &want}) deletecoef(c);
        }
    }
}

// The generic truncated products fill only the pairs left without one: a type's own entries and
// the zero rules are the ones in the table.
TEST_F(Coef, TypesKeepTheirOwnTruncatedProducts)
{
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) {
        const coefvtable& v = g_kst_coef_vtable[tags[i]];
        SCOPED_TRACE((int)tags[i]);
        EXPECT_NE(v.multr[tags[i]], coefnum_multr_generic);
        EXPECT_NE(v.multrmon[tags[i]], coefnum_multrmon_generic);
        EXPECT_NE(v.multr[BH_ZERO], coefnum_multr_generic);
        EXPECT_NE(g_kst_coef_vtable[BH_ZERO].multrmon[tags[i]], coefnum_multrmon_generic);
    }
    // a promotion pair has no product of its own: it forwards to its plain product
    EXPECT_EQ(g_kst_coef_vtable[BH_INTMP].multr[BH_DBL], coefnum_multr_generic);
    EXPECT_EQ(g_kst_coef_vtable[BH_ZDBL].multrmon[BH_RATMP], coefnum_multrmon_generic);
}

}  // namespace
