// Orderings: moving a variable among the ranks, series following the ordering in force, and the
// small-parameter device.
#include "seriestest.h"

#include "interp/kest.h"
#include "series/sereps.h"
#include "series/serie.h"

#include <cmath>

namespace {

// rank vector by context index -> the context indices in rank order (rank 1 first)
std::vector<int> byrank(const std::vector<int>& rank)
{
    std::vector<int> r(rank.size());
    for (size_t i = 0; i < rank.size(); i++) r[static_cast<size_t>(rank[i] - 1)] = static_cast<int>(i);
    return r;
}

TEST(Reorder, MovesShiftTheRanksBetweenAndPosAdvances)
{
    // five variables 0..4 at ranks 1..5, the last two homogeneous
    std::vector<int> rank{1, 2, 3, 4, 5};
    int pos = 1;
    ASSERT_TRUE(ordre_reorder(rank, 2, pos, false, 2, false));   // 2 to the front
    EXPECT_EQ(byrank(rank), (std::vector<int>{2, 0, 1, 3, 4}));
    EXPECT_EQ(pos, 2);                                            // the next call places after it
    ASSERT_TRUE(ordre_reorder(rank, 1, pos, false, 2, false));
    EXPECT_EQ(byrank(rank), (std::vector<int>{2, 1, 0, 3, 4}));
    EXPECT_EQ(pos, 3);
    // towards the end: the ones between move up by one (down in rank number)
    pos = 3;
    ASSERT_TRUE(ordre_reorder(rank, 2, pos, false, 2, false));
    EXPECT_EQ(byrank(rank), (std::vector<int>{1, 0, 2, 3, 4}));
    // the end marker is the last rank before the homogeneous ones
    pos = KST_REORDER_END;
    ASSERT_TRUE(ordre_reorder(rank, 1, pos, false, 2, false));
    EXPECT_EQ(byrank(rank), (std::vector<int>{0, 2, 1, 3, 4}));
    // into or out of the homogeneous ranks only by force; refused moves change nothing
    const std::vector<int> before = rank;
    pos = 4;
    EXPECT_FALSE(ordre_reorder(rank, 0, pos, false, 2, false));
    pos = 1;
    EXPECT_FALSE(ordre_reorder(rank, 4, pos, true, 2, false));
    EXPECT_EQ(rank, before);
    pos = KST_REORDER_END;   // a homogeneous variable's end is the very last rank
    ASSERT_TRUE(ordre_reorder(rank, 3, pos, true, 2, true));
    EXPECT_EQ(byrank(rank), (std::vector<int>{0, 2, 1, 4, 3}));
    EXPECT_EQ(pos, 5);       // kept at N
}

// Variables whose exponents go into blocks keep the last ranks: one created later still ranks
// before them, in every ordering, and an ordinary move cannot pass them.
TEST(Reorder, AVariableCreatedAfterTheHomogeneousOnesRanksBeforeThem)
{
    t_cctx* ctx = testctx();
    t_variable* h1 = cree_var(ctx, "h1");
    t_variable* h2 = cree_var(ctx, "h2");
    t_variable* a = cree_var(ctx, "a");   // x y z h1 h2 a
    ASSERT_TRUE(kst_setleafvariable(ctx, h1, 1));
    ASSERT_TRUE(kst_setleafvariable(ctx, h2, 1));
    EXPECT_FALSE(kst_setleafvariable(ctx, h2, 2));
    EXPECT_EQ(getOrder(ctx, a), 4);
    EXPECT_EQ(getOrder(ctx, h1), 5);
    EXPECT_EQ(getOrder(ctx, h2), 6);
    t_variable* w = cree_var(ctx, "w");
    const t_ordres& o = kst_ordres(ctx);
    for (int e = 0; e < 4; e++) {
        EXPECT_EQ(o.rank[e][w->index], 5) << e;
        EXPECT_EQ(o.rank[e][h1->index], 6) << e;
        EXPECT_EQ(o.rank[e][h2->index], 7) << e;
    }
    EXPECT_EQ(compareOrder(ctx, w, h1), -1);
    int pos = 7;
    EXPECT_FALSE(kst_reorder(ctx, var(0), pos, 1, false));
    pos = KST_REORDER_END;
    ASSERT_TRUE(kst_reorder(ctx, var(0), pos, 1, false));
    EXPECT_EQ(getOrder(ctx, var(0)), 5);
    EXPECT_EQ(getOrder(ctx, h1), 6);
}

TEST(Reorder, ASeriesFollowsTheOrderingInForce_reorder_keeps_the_value)
{
    t_cctx* ctx = testctx();
    std::mt19937 rng(7);
    coef a = randomserie(rng, 30, 4);
    const std::string before = text(a);
    Mkest("_ior = 2$", nullptr);
    int pos = 1;   // z first in ordering 2, then y
    ASSERT_TRUE(kst_reorder(ctx, var(2), pos, 2, false));
    ASSERT_TRUE(kst_reorder(ctx, var(1), pos, 2, false));
    EXPECT_FALSE(serie_isordered(ctx, &a));
    coef b = serie_reorder(ctx, &a);
    EXPECT_TRUE(serie_isnormal(ctx, &b));
    ASSERT_TRUE(coef_ispoly(&b));
    EXPECT_EQ(coef_poly(&b)->var, var(2));
    EXPECT_EQ(serie_size(&b), serie_size(&a));
    // back in ordering 1 the rebuilt series is the original one, term for term
    Mkest("_ior = 1$", nullptr);
    coef c = serie_reorder(ctx, &b);
    EXPECT_TRUE(serie_equal(&c, &a));
    EXPECT_EQ(text(c), before);
    for (coef* k : {&a, &b, &c}) deletecoef(k);
}

// A named series remembers the ordering it was last found to follow, so that it is not walked at
// every use; a use under another ordering (another `_ior`, a variable moved) rebuilds it all the
// same, and a use under the first one again takes it as it is.
TEST(Reorder, ANamedSeriesIsRebuiltUnderEveryOtherOrdering)
{
    t_cctx* ctx = testctx();
    std::mt19937 rng(11);
    t_serie s("", randomserie(rng, 30, 4));
    ASSERT_TRUE(coef_ispoly(&s.value()));
    t_variable* root = coef_poly(&s.value())->var;
    EXPECT_EQ(s.Vupdatevalue(ctx), nullptr);
    EXPECT_EQ(s.Vupdatevalue(ctx), nullptr);
    const t_ordres* first = kst_kctx(ctx).orders;
    Mkest("_ior = 3$", nullptr);
    int pos = 1;
    ASSERT_TRUE(kst_reorder(ctx, var(2), pos, 3, false));
    for (int round = 0; round < 2; round++) {   // the second time through a remembered ordering
        t_idcommon* r = s.Vupdatevalue(ctx);
        ASSERT_NE(r, nullptr);
        const coef& v = static_cast<t_serie*>(r)->value();
        EXPECT_EQ(coef_poly(&v)->var, var(2));
        EXPECT_TRUE(serie_isordered(ctx, &v));
        delete r;
    }
    Mkest("_ior = 1$", nullptr);
    EXPECT_EQ(s.Vupdatevalue(ctx), nullptr);
    EXPECT_EQ(coef_poly(&s.value())->var, root);
    kst_kctx(ctx).orders = first;
}

TEST(SmallParameter, NumbersBecomePowersOfEpsAndComeBack_inv_sereps_eq_identity)
{
    t_cctx* ctx = testctx();
    t_variable* e = cree_var(ctx, "E");
    coef eps = coef_fromdbl(1e-3);
    // 3 + 2e-7 x + 5 y: 2e-7 = 0.2 * eps^2, 5 = 0.005 * eps^-1, 3 likewise
    coef s = coef_fromdbl(2e-7);
    s = serie_mul(ctx, &s, 0, const_cast<coef*>(&kst_variable_monomial(ctx, var(0))), 1);
    coef five = coef_fromdbl(5.0);
    coef fy = serie_mul(ctx, &five, 0, const_cast<coef*>(&kst_variable_monomial(ctx, var(1))), 1);
    s = serie_add(ctx, &s, 0, &fy, 0);
    coef three = coef_fromdbl(0.5);
    s = serie_add(ctx, &s, 0, &three, 0);
    bool ok = false;
    coef r = serie_sereps(ctx, &s, e, &eps, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(serie_isnormal(ctx, &r));
    EXPECT_EQ(serie_degmax(&r, e), 2);
    EXPECT_EQ(serie_degmin(&r, e), -1);
    EXPECT_EQ(kst_kctx(ctx).trcoef, 1.0);   // the threshold is restored
    coef back = serie_invsereps(ctx, &r, e, &eps);
    coef diff = serie_sub(ctx, &back, 0, &s, 1);
    // every number comes back within rounding
    std::vector<const coef*> stack{&diff};
    while (!stack.empty()) {
        const coef* c = stack.back();
        stack.pop_back();
        if (coef_ispoly(c)) {
            for (const t_polyterm* t = coef_poly(c)->first; t; t = t->next) stack.push_back(&t->c);
        } else if (c->type != BH_ZERO) {
            EXPECT_LT(std::fabs(coef2dbl(c)), 1e-15);
        }
    }
    // a threshold above 1 is error 276 and changes nothing
    reported_errors().clear();
    coef big = coef_fromdbl(2.0);
    coef none = serie_sereps(ctx, &s, e, &big, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(none.type, BH_ZERO);
    ASSERT_EQ(reported_errors().size(), 1u);
    EXPECT_NE(reported_errors()[0].find("threshold"), std::string::npos);
    EXPECT_EQ(kst_kctx(ctx).trcoef, 1.0);
    Erreur_Execution = 0;
    for (coef* k : {&s, &r, &diff}) deletecoef(k);
}

} // namespace
