// Printing: the `_affc` formats of doubles and the continued-fraction test, the other types'
// forms, the dialects, and `a = 1/3+2` built and printed in every mode and every `_affc`.
#include "coef/coefaff.h"
#include "coef/constante.h"
#include "coeftest.h"
#include "render/render.h"

#include <cmath>
#include <cstdlib>

namespace {

using Aff = CoefTest;

std::string fmtd(int affc, double v)
{
    char buf[128];
    sortie_fact_std(affc, buf, sizeof buf, v);
    return buf;
}

TEST(Fractcont, Convergents)
{
    long p, q;
    ASSERT_TRUE(fractcont(0.3333333333333333, &p, &q));
    EXPECT_EQ(p, 1);
    EXPECT_EQ(q, 3);
    ASSERT_TRUE(fractcont(12345.678, &p, &q));
    EXPECT_EQ(p, 6172839);
    EXPECT_EQ(q, 500);
    ASSERT_TRUE(fractcont(-0.5, &p, &q));
    EXPECT_EQ(p, -1);
    EXPECT_EQ(q, 2);
    EXPECT_FALSE(fractcont(3.0, &p, &q));       // whole numbers are never fractions
    EXPECT_FALSE(fractcont(M_PI, &p, &q));      // 312689/99532 is 3e-11 away
    EXPECT_FALSE(fractcont(0.0, &p, &q));
    EXPECT_FALSE(fractcont(1.0 / 100003.0, &p, &q));   // denominator beyond the bound
    // round trip: every p/q with small terms comes back
    for (long n = -40; n <= 40; n++)
        for (long d = 2; d <= 40; d++) {
            if (std::abs(std::__gcd(n, d)) != 1) continue;
            ASSERT_TRUE(fractcont((double)n / (double)d, &p, &q)) << n << "/" << d;
            EXPECT_EQ(p, n);
            EXPECT_EQ(q, d);
        }
}

TEST(SortieFactStd, DoubleFormats)
{
    EXPECT_EQ(fmtd(5, 0.3333333333333333), "1/3");
    EXPECT_EQ(fmtd(2, 0.3333333333333333), "0.33333333");
    EXPECT_EQ(fmtd(5, 3.0), "3");
    EXPECT_EQ(fmtd(5, 0.5), "1/2");
    EXPECT_EQ(fmtd(6, 12345.678), "6172839/500");
    EXPECT_EQ(fmtd(6, M_PI), "3.141592653589793");
    EXPECT_EQ(fmtd(7, 0.75), "     3/4     ");
    EXPECT_EQ(fmtd(7, M_PI), "    3.1415927");
    EXPECT_EQ(fmtd(4, 1.0), "                      1");
    EXPECT_EQ(fmtd(1, 1e-5), "1E-05");
    EXPECT_EQ(fmtd(3, 2.0 / 3.0), "0.6666666667");
    EXPECT_EQ(fmtd(8, -1234.5), "  -1.234500E+03");
    EXPECT_EQ(fmtd(9, 0.1), "   1.000000E-01");
}

TEST(SortieFactStdDeath, InvalidAffcIsInternalError1028)
{
    char buf[32];
    EXPECT_DEATH(sortie_fact_std(10, buf, sizeof buf, 1.0), "");
}

// `a = 1/3+2` in each mode: the construction the evaluator performs (1/3 from two host integers,
// 2 as a host integer) and the constant's display for each `_affc`.
TEST_F(Aff, OneThirdPlusTwoInEveryModeAndFormat)
{
    const std::string q34 = "2.333333333333333333333333333333333";
    const std::string mp = "2.3333333333333333333333333333333333333333333333333333333333333331";
    const std::string di = "[2.3333333333333330, 2.3333333333333335]";
    const std::string qi = "[2.33333333333333333333333333333333307, 2.33333333333333333333333333333333347]";
    const struct {
        int mode;
        eBHTypeCoef tag;
        const char* out[9];
    } expected[] = {
        {NUMDBL, BH_DBL, {"2.33333", "2.3333333", "2.333333333", "      2.333333333333333", "7/3", "7/3",
                          "     7/3     ", "   2.333333E+00", "   2.333333E+00"}},
        {NUMRAT, BH_RAT, {"7/3", "7/3", "7/3", "7/3", "7/3", "7/3", "     7/3     ", "7/3", "7/3"}},
        {NUMRATMP, BH_RATMP, {"7/3", "7/3", "7/3", "7/3", "7/3", "7/3", "     7/3     ", "7/3", "7/3"}},
        {NUMQUAD, BH_QUAD, {"2.33333", "2.3333333", "2.333333333", nullptr, "7/3", "7/3", "     7/3     ",
                            nullptr, nullptr}},
        {NUMFPMP, BH_FPMP, {}},
        {NUMDBLINT, BH_INTDBL, {}},
        {NUMQUADINT, BH_INTQUAD, {}},
    };
    for (const auto& e : expected) {
        modenum_set(e.mode);
        coef third = coef_creenumden_init(1, 3), two = coef_creenum_init(2);
        t_constante a(tctx(), "a", coef_addition(tctx(), &third, 0, &two, 0));
        ASSERT_EQ(a.getvalue().type, e.tag) << e.mode;
        for (int affc = 1; affc <= 9; affc++) {
            std::string want;
            if (e.mode == NUMQUAD && affc == 4) want = "       " + q34;
            else if (e.mode == NUMQUAD && affc >= 8) want = "   " + q34 + "E+00";
            else if (e.mode == NUMFPMP) want = mp;
            else if (e.mode == NUMDBLINT) want = di;
            else if (e.mode == NUMQUADINT) want = qi;
            else want = e.out[affc - 1];
            kst_kctx(tctx()).options[g_kst_opt_affc] = affc;
            char* buf = nullptr;
            size_t len = 0;
            FILE* mem = open_memstream(&buf, &len);
            t_renderstd r;
            r.setstreams(mem, mem);
            a.Vdisplay_resume(tctx(), &r);
            fclose(mem);
            EXPECT_EQ(std::string(buf), "a = " + want + "\n") << "mode " << e.mode << " affc " << affc;
            free(buf);
        }
    }
}

std::string in_dialect(int selector, const coef& c, int affc)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&buf, &len);
    t_render* r = kst_newrender(selector);
    r->setstreams(mem, mem);
    coef_aff(tctx(), r, &c, affc);
    delete r;
    fclose(mem);
    std::string s(buf);
    free(buf);
    return s;
}

TEST_F(Aff, OtherTypesAndDialects)
{
    coef q = mknum(BH_RATMP, -7, 3), r = mknum(BH_RAT, 5, 2), i = mknum(BH_INTMP, -12), z = mknum(BH_ZDBL, 1, 2, -3, 1);
    EXPECT_EQ(affstr(q, 1), "-7/3");
    EXPECT_EQ(affstr(r, 7), "     5/2     ");
    EXPECT_EQ(affstr(i, 4), "-12");
    EXPECT_EQ(affstr(z, 5), "(1/2-i*3)");
    EXPECT_EQ(affstr(gc_0, 2), "0");
    EXPECT_EQ(in_dialect(2, q, 1), "\\frac{-7}{3}");
    EXPECT_EQ(in_dialect(2, r, 7), "\\frac{     5}{2     }");
    EXPECT_EQ(in_dialect(3, q, 1), "<mfrac><mn>-7</mn><mn>3</mn></mfrac>");
    EXPECT_EQ(in_dialect(2, z, 2), "\\left(0.5 - 3 \\imath \\right)");
    coef zq = mknum(BH_ZRATMP, 1, 2, 1, 3);
    EXPECT_EQ(affstr(zq, 1), "(1/2+i*1/3)");
    coef bad = coef_fromdbl(1.0);
    bad.type = (eBHTypeCoef)-1;
    EXPECT_EQ(affstr(bad, 1), "invalid");
    for (coef* c : {&q, &r, &i, &z, &zq}) deletecoef(c);
}

TEST_F(Aff, TextConversions)
{
    coef i = mknum(BH_INTMP, 123456789), q = mknum(BH_RATMP, 1, 7), r = mknum(BH_RAT, -3, 4);
    EXPECT_EQ(str(i), "123456789");
    EXPECT_EQ(str(q), "1/7");
    EXPECT_EQ(str(r), "-3/4");
    coef d = coef_fromdbl(0.1);
    EXPECT_EQ(str(d), "0.1");
    coef iv = mknum(BH_INTDBL, 1, 10);
    EXPECT_EQ(str(iv), "[0.099999999999999991, 0.10000000000000001]");
    coef small = mknum(BH_INTDBL, 1, 1000000);
    EXPECT_EQ(str(small), "[9.9999999999999995E-7, 1.0000000000000002E-6]");
    coef neg = mknum(BH_INTDBL, -1, 3);
    EXPECT_EQ(str(neg), "[-0.33333333333333338, -0.33333333333333331]");
    for (coef* c : {&i, &q, &iv, &small, &neg}) deletecoef(c);
}

}  // namespace
