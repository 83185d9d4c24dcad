// Negative and fractional powers under truncation, checked by the identities they must satisfy
// in the exact modes, on random series with a constant term.
#include "seriestest.h"

#include "series/tronc.h"

namespace {

t_troncwork work(int level)
{
    t_tronc t;
    troncature g;
    g.variables = {var(0), var(1), var(2)};
    g.level = level;
    t.groups.push_back(g);
    t_troncwork w;
    w.init(t);
    return w;
}

// A random series whose constant term is made c.
coef withconstant(std::mt19937& rng, int c)
{
    t_cctx* ctx = testctx();
    coef a = randomserie(rng, 5, 2);
    t_tronc zero;
    for (int v = 0; v < 3; v++) {
        troncature g;
        g.variables = {var(v)};
        g.level = 0;
        zero.groups.push_back(g);
    }
    coef a0 = serie_trmon(ctx, &a, 1, zero);
    coef k = coef_creenum_init(ctx, c);
    coef shifted = serie_sub(ctx, &a, 0, &a0, 0);
    return serie_add(ctx, &shifted, 0, &k, 0);
}

TEST(PowerProperties, InverseTimesSeriesIsOne_a_pow_minus1_times_a_eq_1)
{
    t_cctx* ctx = testctx();
    t_troncwork w = work(4);
    for (int mode : {NUMRATMP}) {   // 64-bit rationals would overflow to doubles
        modenum_set(ctx, mode);
        std::mt19937 rng(900 + mode);
        for (int round = 0; round < 6; round++) {
            coef a = withconstant(rng, 7);
            coef m1 = coef_creenum_init(ctx, -1);
            coef inv{};
            ASSERT_TRUE(serie_powalpha(ctx, &a, &m1, true, -1, &w, &inv));
            coef p = serie_multr(ctx, &inv, 1, &a, 1, &w);
            ASSERT_FALSE(coef_ispoly(&p)) << text(p);
            EXPECT_EQ(coef2ll(&p), 1);
            for (coef* k : {&a, &m1, &inv, &p}) deletecoef(k);
        }
    }
    modenum_set(ctx, NUMDBL);
}

TEST(PowerProperties, SquareOfTheSquareRootIsTheSeriesTruncated_sqrt_a_squared_eq_a)
{
    t_cctx* ctx = testctx();
    t_troncwork w = work(3);
    modenum_set(ctx, NUMRATMP);
    std::mt19937 rng(950);
    for (int round = 0; round < 6; round++) {
        coef a = withconstant(rng, 1);
        coef half = coef_creenumden_init(ctx, 1, 2);
        coef root{};
        ASSERT_TRUE(serie_powalpha(ctx, &a, &half, false, 0, &w, &root));
        coef sq = serie_multr(ctx, &root, 1, &root, 1, &w);
        coef expect = serie_truncate(ctx, &a, &w);
        EXPECT_TRUE(serie_equal(&sq, &expect)) << text(sq) << " vs " << text(expect);
        for (coef* k : {&a, &half, &root, &sq, &expect}) deletecoef(k);
    }
    modenum_set(ctx, NUMDBL);
}

TEST(PowerProperties, MonomialPowersAreExactWithoutTruncation)
{
    t_cctx* ctx = testctx();
    coef x3 = serie_pow(ctx, &var(0)->monomial, 1, 3);
    coef m2 = coef_creenum_init(ctx, -2);
    coef r{};
    ASSERT_TRUE(serie_powalpha(ctx, &x3, &m2, true, -2, nullptr, &r));
    EXPECT_EQ(serie_degmax(&r, var(0)), -6);
    coef x6 = serie_pow(ctx, &x3, 0, 2);
    coef p = serie_mul(ctx, &r, 0, &x6, 0);
    ASSERT_FALSE(coef_ispoly(&p));
    EXPECT_EQ(coef2ll(&p), 1);
    deletecoef(&m2);
    deletecoef(&p);
}

} // namespace
