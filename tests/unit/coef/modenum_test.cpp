// Numeric modes: construction and literals per mode, the conversion table (in place and by copy),
// precision, epsilon, the mode display, and named constants across mode changes.
#include "coef/coefsave.h"
#include "coef/constante.h"
#include "coeftest.h"
#include "render/render.h"

#include <cstdlib>

namespace {

using Mode = CoefTest;

std::string rendered(void (*f)(t_cctx*, t_render*), int selector)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&buf, &len);
    t_render* r = kst_newrender(selector);
    r->setstreams(mem, mem);
    f(tctx(), r);
    delete r;
    fclose(mem);
    std::string s(buf);
    free(buf);
    return s;
}

TEST_F(Mode, IntegersOfEachMode)
{
    const eBHTypeCoef tags[7] = {BH_DBL, BH_RAT, BH_INTMP, BH_QUAD, BH_FPMP, BH_INTDBL, BH_INTQUAD};
    for (int m = 0; m < 7; m++) {
        ASSERT_TRUE(modenum_set(m));
        EXPECT_EQ(modenum_get(), m);
        EXPECT_EQ(modenum_getcoefflag(), tags[m]);
        coef n = coef_creenum_init(5);
        EXPECT_EQ(n.type, tags[m]) << m;
        EXPECT_EQ(coef2dbl(&n), 5.0);
        EXPECT_EQ(coef2ll(&n), 5);
        coef z = coef_creenum_init(0);
        EXPECT_EQ(z.type, BH_ZERO);
        EXPECT_EQ(gc_1[m].type, tags[m]);
        EXPECT_TRUE(coef_vt(&gc_1[m]).cmp_egal_1(&gc_1[m])) << m;
        coef c = coef_creenumcplx_init(1, -2);
        EXPECT_EQ(c.type, gc_BHCplx[tags[m]]) << m;
        EXPECT_EQ(coef2zdbl(&c).im, -2.0);
        deletecoef(&n);
        deletecoef(&c);
    }
    EXPECT_EQ(gc_1[NUMINTMOD].type, BH_ZERO);   // no modular type registered in this program
}

TEST_F(Mode, RationalModes)
{
    modenum_set(NUMRAT);
    coef third = coef_creenumden_init(1, 3);
    EXPECT_EQ(third.type, BH_RAT);
    coef half = strnum2coef("0.5");
    EXPECT_EQ(half.type, BH_DBL);
    coef s = coef_addition(tctx(), &third, 1, &half, 1);
    EXPECT_EQ(s.type, BH_DBL);
    EXPECT_DOUBLE_EQ(s.d, 1.0 / 3.0 + 0.5);

    modenum_set(NUMRATMP);
    coef a = coef_creenumden_init(10, 4), b = coef_creenumden_init(10, 5);
    EXPECT_EQ(a.type, BH_RATMP);
    EXPECT_EQ(qtext(a), "5/2");
    EXPECT_EQ(b.type, BH_INTMP);
    EXPECT_EQ(qtext(b), "2");
    coef big = strnum2coef("123456789012345678901234567890");
    EXPECT_EQ(big.type, BH_INTMP);
    EXPECT_EQ(qtext(big), "123456789012345678901234567890");
    modenum_set(NUMDBL);
    coef bigd = strnum2coef("123456789012345678901234567890");
    EXPECT_EQ(bigd.type, BH_DBL);
    EXPECT_EQ(bigd.d, 1.2345678901234568e29);
    for (coef* c : {&third, &s, &a, &b, &big}) deletecoef(c);
}

TEST_F(Mode, Literals)
{
    modenum_set(NUMDBL);
    coef f = strnum2coef("1.5D3");   // Fortran exponent
    EXPECT_EQ(f.d, 1500.0);
    modenum_set(NUMQUAD);
    coef q = strnum2coef("0.1");
    ASSERT_EQ(q.type, BH_QUAD);
    EXPECT_TRUE(*coef_box<t_quadtype>(&q) == strtoflt128("0.1", nullptr));
    modenum_set(NUMFPMP);
    coef m = strnum2coef("0.1");
    ASSERT_EQ(m.type, BH_FPMP);
    EXPECT_EQ(mpfr_get_prec(coef_box<t_fpmptype>(&m)), 212);
    modenum_set(NUMDBLINT);
    coef i = strnum2coef("0.1");
    ASSERT_EQ(i.type, BH_INTDBL);
    EXPECT_EQ(coef_box<t_intdbltype>(&i)->inf, 0.09999999999999999);
    EXPECT_EQ(coef_box<t_intdbltype>(&i)->sup, 0.1);
    coef exact = strnum2coef("0.5");
    EXPECT_EQ(coef_box<t_intdbltype>(&exact)->inf, 0.5);
    EXPECT_EQ(coef_box<t_intdbltype>(&exact)->sup, 0.5);
    coef bad = strreal2coef("1.2.3");
    EXPECT_EQ(bad.type, BH_ZERO);
    EXPECT_EQ(Erreur_Execution, 1);   // run error 459
    Erreur_Execution = 0;
    for (coef* c : {&q, &m, &i, &exact}) deletecoef(c);
}

// The conversion table: target of every source tag in every mode.
TEST_F(Mode, ConversionTable)
{
    struct {
        int mode;
        eBHTypeCoef from, to;
    } cells[] = {
        {NUMDBL, BH_INTMP, BH_DBL},       {NUMRAT, BH_INTMP, BH_RAT},        {NUMRATMP, BH_INTMP, BH_INTMP},
        {NUMQUAD, BH_INTMP, BH_QUAD},     {NUMFPMP, BH_INTMP, BH_FPMP},      {NUMDBLINT, BH_INTMP, BH_INTDBL},
        {NUMQUADINT, BH_INTMP, BH_INTQUAD}, {NUMDBL, BH_RATMP, BH_DBL},      {NUMRAT, BH_RATMP, BH_RAT},
        {NUMQUAD, BH_RATMP, BH_QUAD},     {NUMFPMP, BH_RATMP, BH_FPMP},      {NUMDBL, BH_ZRATMP, BH_ZDBL},
        {NUMRAT, BH_ZRATMP, BH_ZRAT},     {NUMQUAD, BH_ZINTMP, BH_ZQUAD},    {NUMFPMP, BH_ZRATMP, BH_ZFPMP},
        {NUMRATMP, BH_RAT, BH_RATMP},     {NUMRATMP, BH_ZRAT, BH_ZRATMP},    {NUMFPMP, BH_RAT, BH_FPMP},
        {NUMFPMP, BH_DBL, BH_FPMP},       {NUMFPMP, BH_ZDBL, BH_ZFPMP},      {NUMFPMP, BH_QUAD, BH_FPMP},
        {NUMDBL, BH_FPMP, BH_DBL},        {NUMRAT, BH_FPMP, BH_DBL},         {NUMRATMP, BH_FPMP, BH_DBL},
        {NUMQUAD, BH_FPMP, BH_QUAD},      {NUMDBLINT, BH_FPMP, BH_INTDBL},   {NUMDBL, BH_ZFPMP, BH_ZDBL},
        {NUMQUAD, BH_ZFPMP, BH_ZQUAD},    {NUMRAT, BH_QUAD, BH_DBL},         {NUMRAT, BH_ZQUAD, BH_ZDBL},
        {NUMRAT, BH_INTDBL, BH_DBL},      {NUMRATMP, BH_QUAD, BH_QUAD},      {NUMRATMP, BH_INTDBL, BH_INTDBL},
        {NUMRATMP, BH_DBL, BH_DBL},       {NUMRAT, BH_DBL, BH_DBL},          {NUMQUAD, BH_ZQUAD, BH_ZQUAD},
        {NUMDBLINT, BH_ZINTDBL, BH_ZINTDBL}, {NUMFPMP, BH_FPMP, BH_FPMP},
    };
    for (auto& c : cells) {
        kst_kctx(tctx()).num.modenum = c.mode;
        const bool isint = c.from == BH_INTMP || c.from == BH_ZINTMP;
        coef x = mknum(c.from, 3, isint ? 1 : 4, coefnum_iscomplex(c.from) ? 1 : 0, isint ? 1 : 2);
        coef copy = modenum_convertcopy(tctx(), &x);
        EXPECT_EQ(copy.type, c.to) << "mode " << c.mode << " from " << (int)c.from;
        EXPECT_EQ(x.type, c.from);   // the copying converter leaves the source
        modenum_convert(tctx(), &x);
        EXPECT_EQ(x.type, c.to) << "mode " << c.mode << " from " << (int)c.from;
        EXPECT_TRUE(coef_cmp_egal(&x, &copy));
        deletecoef(&x);
        deletecoef(&copy);
    }
    // a GMP integer too wide for 64 bits becomes a double in NUMRAT
    kst_kctx(tctx()).num.modenum = NUMRAT;
    coef big = g_kst_coef_vtable[BH_INTMP].strentierlong2coef(tctx(), "100000000000000000000");
    modenum_convert(tctx(), &big);
    EXPECT_EQ(big.type, BH_DBL);
    EXPECT_EQ(big.d, 1e20);
}

TEST_F(Mode, MpfrNumbersTakeTheCurrentPrecision)
{
    modenum_set(NUMFPMP);
    ASSERT_TRUE(modenum_setprec(30));
    EXPECT_EQ(kst_kctx(tctx()).num.prec_bits, 99);
    coef a = coef_creenum_init(3);
    EXPECT_EQ(mpfr_get_prec(coef_box<t_fpmptype>(&a)), 99);
    modenum_set(NUMDBL);
    modenum_convert(&a);
    EXPECT_EQ(a.type, BH_DBL);
    ASSERT_TRUE(modenum_setprec(100));
    modenum_set(NUMFPMP);
    modenum_convert(&a);
    ASSERT_EQ(a.type, BH_FPMP);
    EXPECT_EQ(mpfr_get_prec(coef_box<t_fpmptype>(&a)), 332);
    deletecoef(&a);

    EXPECT_FALSE(modenum_setprec(0));
    EXPECT_EQ(Erreur_Execution, 1);   // run error 4, the old precision stays
    Erreur_Execution = 0;
    EXPECT_EQ(kst_kctx(tctx()).num.prec_digits, 100);
    EXPECT_FALSE(modenum_setprec(-5));
    Erreur_Execution = 0;
    EXPECT_TRUE(modenum_setprec(1));
    EXPECT_EQ(kst_kctx(tctx()).num.prec_bits, 3);
}

TEST_F(Mode, Epsilon)
{
    EXPECT_EQ(getepsilon(1.0), 2.220446049250313e-16);
    EXPECT_TRUE(getepsilon((__float128)1) == ldexpq(1, -112));
    coef e = getepsilon(tctx(), BH_FPMP);
    EXPECT_EQ(mpfr_cmp_ui_2exp(coef_box<t_fpmptype>(&e), 1, -211), 0);
    coef i = getepsilon(tctx(), BH_INTDBL);
    EXPECT_EQ(coef_box<t_intdbltype>(&i)->inf, 2.220446049250313e-16);
    deletecoef(&e);
    deletecoef(&i);
}

TEST_F(Mode, Display)
{
    modenum_set(NUMRATMP);
    EXPECT_EQ(rendered(modenum_display, 0), "\t\t_modenum   =    NUMRATMP\n");
    EXPECT_EQ(rendered(modenum_display, 2), "\\_modenum  &=&    NUMRATMP\\\\\n");
    modenum_set(NUMQUADINT);
    EXPECT_EQ(rendered(modenum_display, 0), "\t\t_modenum   =    NUMQUADINT\n");
    EXPECT_EQ(rendered(modenum_prec_display, 0), "\t\t_modenum_prec  =    64\n");
    EXPECT_EQ(rendered(modenum_prec_display, 2), "\\_modenum\\_prec  &=&    64\\\\\n");
}

TEST(ModeDeath, InvalidModeIsInternalError1042)
{
    EXPECT_DEATH(modenum_set(9), "");
    EXPECT_DEATH(modenum_getcoefflag(8), "");
}

TEST_F(Mode, ConstantAcrossModes)
{
    t_constante c(tctx(), "c", coef_fromdbl(0.25));
    modenum_set(NUMRAT);
    EXPECT_TRUE(c.getdescripteur_ismodenum(tctx()));
    EXPECT_EQ(c.Vgetvalue(tctx()), &c);   // used as it is
    modenum_set(NUMQUAD);
    EXPECT_FALSE(c.getdescripteur_ismodenum(tctx()));
    t_constante* v = c.Vgetvalue(tctx());
    ASSERT_NE(v, &c);
    EXPECT_EQ(v->getvalue().type, BH_QUAD);
    EXPECT_EQ(c.getvalue().type, BH_DBL);   // the stored double stays
    delete v;
    c.Vupdatevalue(tctx());
    EXPECT_EQ(c.getvalue().type, BH_QUAD);
    EXPECT_EQ(c.getmodenum(), NUMQUAD);
    t_constante n(tctx(), "n", 7LL);
    EXPECT_EQ(n.getvalue().type, BH_QUAD);
    t_constante* m = n.Vunary(tctx(), &coefvtable::neg);
    EXPECT_EQ(coef2dbl(&m->getvalue()), -7.0);
    delete m;
    modenum_set(NUMRATMP);
    c.resetandset(tctx(), coef_creenumden_init(2, 6));
    EXPECT_EQ(qtext(c.getvalue()), "1/3");
}

// Reading under another mode lends a converted copy; the stored exact value is never replaced.
TEST_F(Mode, ConstantReadUnderAnotherModeKeepsItsStoredValue)
{
    modenum_set(NUMRATMP);
    t_constante c(tctx(), "c", coef_creenumden_init(1, 10));
    ASSERT_EQ(c.getvalue().type, BH_RATMP);
    EXPECT_EQ(&c.valuein(tctx()), &c.getvalue());   // its own mode: the stored value itself

    modenum_set(NUMDBL);
    const coef& d = c.valuein(tctx());
    ASSERT_EQ(d.type, BH_DBL);
    EXPECT_EQ(d.d, 0.1);
    EXPECT_EQ(&c.valuein(tctx()), &d);   // read again: the same copy, not a new conversion
    EXPECT_EQ(c.getvalue().type, BH_RATMP);
    EXPECT_EQ(c.getmodenum(), NUMRATMP);

    modenum_set(NUMQUAD);
    EXPECT_EQ(c.valuein(tctx()).type, BH_QUAD);
    modenum_set(NUMRATMP);
    EXPECT_EQ(qtext(c.valuein(tctx())), "1/10");

    // takevalue gives the value as last read
    modenum_set(NUMQUAD);
    c.valuein(tctx());
    coef taken = c.takevalue();
    EXPECT_EQ(taken.type, BH_QUAD);
    EXPECT_EQ(c.getvalue().type, BH_ZERO);
    deletecoef(&taken);

    // a new value drops the old copy: the next read converts the new value
    modenum_set(NUMRATMP);
    c.set(tctx(), coef_creenumden_init(1, 4));
    modenum_set(NUMDBL);
    EXPECT_EQ(c.valuein(tctx()).d, 0.25);
}

TEST_F(Mode, ConstantSaveLoadRoundTrip)
{
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) {
        const bool isint = tags[i] == BH_INTMP || tags[i] == BH_ZINTMP;
        coef v = mknum(tags[i], -22, isint ? 1 : 7, coefnum_iscomplex(tags[i]) ? 5 : 0, isint ? 1 : 3);
        FILE* f = tmpfile();
        ASSERT_TRUE(coefnum_save(&v, f));
        rewind(f);
        unsigned char rec[32];
        ASSERT_EQ(fread(rec, 1, 32, f), 32u);
        EXPECT_EQ(rec[28], (unsigned char)tags[i]);
        rewind(f);
        coef back;
        ASSERT_TRUE(coefnum_load(tctx(), &back, f)) << (int)tags[i];
        EXPECT_EQ(back.type, v.type);
        EXPECT_TRUE(coef_cmp_egal(&back, &v)) << (int)tags[i];
        fclose(f);
        deletecoef(&v);
        deletecoef(&back);
    }
    FILE* empty = tmpfile();
    t_constante* c = t_constante::load(tctx(), empty, "missing.kst", "x");
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(Erreur_Execution, 1);   // run error 334
    Erreur_Execution = 0;
    fclose(empty);
}

}  // namespace
