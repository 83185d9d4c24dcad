// Truncation: the working form of each complexity, and the identity that a truncated product is
// the full product truncated, on random series in every numeric mode.
#include "seriestest.h"

#include "interp/kest.h"
#include "interp/taskloop.h"
#include "series/tronc.h"

#include <atomic>

namespace {

t_tronc groups(std::initializer_list<std::pair<std::vector<int>, int>> wanted)
{
    t_tronc t;
    for (const auto& [vars, level] : wanted) {
        troncature g;
        for (int v : vars) g.variables.push_back(var(v));
        g.level = level;
        t.groups.push_back(g);
    }
    return t;
}

TEST(TroncWork, ComplexityFollowsTheSharingOfVariables)
{
    t_troncwork w;
    w.init(groups({{{0, 1}, 4}}));
    EXPECT_EQ(w.complexity, etronccomplex_single);
    EXPECT_EQ(w.getnivh(var(1)), 4);
    EXPECT_EQ(w.getnivh(var(2)), INT32_MAX);
    w.init(groups({{{0}, 3}, {{1}, 2}}));
    EXPECT_EQ(w.complexity, etronccomplex_nodep);
    EXPECT_EQ(w.getnivh(var(0)), 3);
    EXPECT_EQ(w.getnivh(var(1)), 2);
    // y belongs to both groups: its run lists groups 0 and 1, its level is the smaller one
    w.init(groups({{{0, 1}, 4}, {{1, 2}, 3}}));
    EXPECT_EQ(w.complexity, etronccomplex_complex);
    int f = w.flags[var(1)->index];
    ASSERT_GE(f, 0);
    EXPECT_EQ(w.positions[f], 2);
    EXPECT_EQ(w.positions[f + 1], 0);
    EXPECT_EQ(w.positions[f + 2], 1);
    EXPECT_EQ(w.getnivh(var(1)), 3);
    EXPECT_EQ(w.getnivh(var(0)), 4);
}

// A truncation builds its working form once, whichever thread asks first, and every thread reads
// that one; a copy builds its own.
TEST(TroncWork, BuiltOnceWhateverTheThreadAndCopiesHaveTheirOwn)
{
    t_cctx* ctx = testctx();
    const t_tronc t = groups({{{0, 1}, 4}, {{1, 2}, 3}});
    Mkest("_cpu = 2$", nullptr);
    std::atomic<const t_troncwork*> seen[64];
    for (auto& p : seen) p.store(nullptr);
    parallel_loop_for_fast3(ctx, 0, 63, [&](int i, t_cctx*) { seen[i].store(&t.work()); });
    Mkest("_cpu = 1$", nullptr);
    for (auto& p : seen) EXPECT_EQ(p.load(), &t.work());
    EXPECT_EQ(t.work().complexity, etronccomplex_complex);
    const t_tronc copy(t);
    EXPECT_NE(&copy.work(), &t.work());
    EXPECT_EQ(copy.work().levels, t.work().levels);
}

TEST(TroncWork, ConsumingADegreeLowersEveryGroupOfTheVariable)
{
    t_troncwork w;
    w.init(groups({{{0, 1}, 4}, {{1, 2}, 3}}));
    t_troncworkstack st(&w);
    st.update(var(1), -2);
    EXPECT_EQ(st.remaining(var(0)), 2);
    EXPECT_EQ(st.remaining(var(2)), 1);
    st.update(var(1), 2);
    EXPECT_EQ(st.remaining(var(2)), 3);
}

const int kAllModes[] = {NUMDBL, NUMRAT, NUMRATMP, NUMQUAD, NUMFPMP, NUMDBLINT, NUMQUADINT};

TEST(TroncProperties, TruncatedProductIsTheFullProductTruncated_multr_ab_eq_trunc_ab)
{
    t_cctx* ctx = testctx();
    const t_tronc cases[] = {groups({{{0}, 2}}), groups({{{0}, 3}, {{2}, 1}}), groups({{{0, 1}, 4}, {{1, 2}, 3}}),
                             groups({{{1}, 0}})};
    for (int mode : kAllModes) {
        modenum_set(ctx, mode);
        std::mt19937 rng(500 + mode);
        for (const t_tronc& t : cases) {
            t_troncwork w;
            w.init(t);
            for (int round = 0; round < 8; round++) {
                coef a = randomserie(rng, 6, 3), b = randomserie(rng, 6, 3);
                coef full = serie_mul(ctx, &a, 1, &b, 1);
                coef expect = serie_truncate(ctx, &full, &w);
                coef got = serie_multr(ctx, &a, 1, &b, 1, &w);
                EXPECT_TRUE(serie_equal(&got, &expect)) << "mode " << mode << ": " << text(got) << " vs " << text(expect);
                EXPECT_TRUE(serie_isnormal(ctx, &got));
                coef p3 = serie_powtr(ctx, &a, 1, 3, &w);
                coef f3 = serie_pow(ctx, &a, 1, 3);
                coef e3 = serie_truncate(ctx, &f3, &w);
                EXPECT_TRUE(serie_equal(&p3, &e3)) << "mode " << mode << " power";
                for (coef* k : {&a, &b, &full, &expect, &got, &p3, &f3, &e3}) deletecoef(k);
            }
        }
    }
    modenum_set(ctx, NUMDBL);
}

// The product under a monomial truncation computes only the listed powers, yet equals the full
// product (truncated by degree when a degree truncation is in force) with those powers
// extracted, whatever the order of the list and whether the listed variables rank first.
TEST(TroncProperties, MonomialProductIsTheProductExtracted_multrmon_ab_eq_trmon_ab)
{
    t_cctx* ctx = testctx();
    const t_tronc lists[] = {groups({{{0}, 2}}), groups({{{1}, 1}}), groups({{{2}, 0}}), groups({{{2}, 3}, {{0}, 1}}),
                             groups({{{1}, 2}, {{1}, 5}}), groups({{{0}, 9}})};
    const t_tronc degree = groups({{{0, 1}, 4}});
    t_troncwork w;
    w.init(degree);
    std::mt19937 rng(77);
    for (const t_tronc& l : lists) {
        const std::vector<t_monentry> sorted = kst_troncmon_sortdup(ctx, l);
        t_tronc merged;   // a variable named twice keeps its first degree
        for (const t_monentry& e : sorted) merged.groups.push_back({{e.var}, -100, e.deg});
        for (size_t i = 1; i < sorted.size(); i++) EXPECT_LT(getOrder(ctx, sorted[i - 1].var), getOrder(ctx, sorted[i].var));
        for (int round = 0; round < 10; round++) {
            coef a = randomserie(rng, 8, 3), b = randomserie(rng, 8, 3);
            if (round == 0) {   // a number on one side: the coefficient of x^D of the other
                deletecoef(&a);
                a = coef_creenum_init(ctx, 3);
            }
            for (const t_troncwork* tw : {static_cast<const t_troncwork*>(nullptr), static_cast<const t_troncwork*>(&w)}) {
                coef full = serie_multr(ctx, &a, 1, &b, 1, tw);
                coef expect = serie_trmon(ctx, &full, 0, merged);
                const t_ordres* before = kst_kctx(ctx).orders;
                coef got = serie_multrmon(ctx, &a, 1, &b, 1, sorted, tw);
                EXPECT_EQ(kst_kctx(ctx).orders, before);   // the ordering comes back
                EXPECT_TRUE(serie_equal(&got, &expect)) << text(got) << " vs " << text(expect);
                EXPECT_TRUE(serie_isnormal(ctx, &got));
                deletecoef(&expect);
                deletecoef(&got);
            }
            deletecoef(&a);
            deletecoef(&b);
        }
    }
}

TEST(TroncValues, MonomialTruncationKeepsOnePowerOfX)
{
    t_cctx* ctx = testctx();
    coef one = coef_creenum_init(ctx, 1);
    coef s = serie_add(ctx, &one, 0, const_cast<coef*>(&kst_variable_monomial(ctx, var(0))), 1);
    coef sq = serie_mul(ctx, &s, 1, &s, 1);
    coef x2 = serie_trmon(ctx, &sq, 1, groups({{{0}, 2}}));
    EXPECT_FALSE(serie_equal(&x2, &var(0)->monomial));
    EXPECT_EQ(serie_size(&x2), 1);
    EXPECT_EQ(serie_degmin(&x2, var(0)), 2);
    coef x1 = serie_trmon(ctx, &sq, 1, groups({{{0}, 1}}));
    EXPECT_EQ(text(x1), "\n                         2*x\n");
    coef x3 = serie_trmon(ctx, &sq, 1, groups({{{0}, 3}}));
    EXPECT_EQ(x3.type, BH_ZERO);
    coef x0 = serie_trmon(ctx, &sq, 1, groups({{{0}, 0}}));
    EXPECT_EQ(coef2ll(&x0), 1);
    for (coef* k : {&s, &sq, &x2, &x1, &x0}) deletecoef(k);
}

} // namespace

namespace {
// The coefficient tables reach the same truncated product as the series entry point, with a
// number on either side as well.
TEST(TroncCells, DispatchCellsUseTheCallersLevels_coef_multr_eq_serie_multr)
{
    t_cctx* ctx = testctx();
    std::mt19937 rng(77);
    t_tronc t;
    troncature g;
    g.variables = {var(0), var(1)};
    g.level = 3;
    t.groups.push_back(g);
    t_troncwork w;
    w.init(t);
    for (int round = 0; round < 10; round++) {
        coef a = randomserie(rng, 6, 3), b = randomserie(rng, 6, 3);
        t_troncworkstack st(&w);
        coef viacell = coef_multiplicationtr(ctx, &a, 1, &b, 1, &st);
        coef direct = serie_multr(ctx, &a, 1, &b, 1, &w);
        EXPECT_TRUE(serie_equal(&viacell, &direct));
        coef two = coef_creenum_init(ctx, 2);
        t_troncworkstack st2(&w);
        coef scaled = coef_multiplicationtr(ctx, &two, 1, &a, 1, &st2);
        coef expect = serie_multr(ctx, &two, 1, &a, 1, &w);
        EXPECT_TRUE(serie_equal(&scaled, &expect));
        for (coef* k : {&a, &b, &viacell, &direct, &scaled, &expect}) deletecoef(k);
    }
}
} // namespace
