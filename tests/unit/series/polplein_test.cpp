// Dense nodes: a sparse series made dense holds every degree between its lowest and highest
// (zeros included) at every level, and comes back term for term.
#include "seriestest.h"

#include "series/polplein.h"

namespace {

// Every dense node holds hi - lo + 1 coefficients, the first and last nonzero; none is sparse.
void checkdense(const coef* c, int* nodes)
{
    ASSERT_FALSE(coef_ispoly(c));
    if (!coef_isplein(c)) return;
    const t_polplein* p = coef_plein(c);
    ++*nodes;
    ASSERT_LE(p->lo, p->hi);
    EXPECT_NE(p->coefs[0].type, BH_ZERO);
    EXPECT_NE(p->coefs[p->hi - p->lo].type, BH_ZERO);
    for (int32_t k = 0; k <= p->hi - p->lo; k++) checkdense(&p->coefs[k], nodes);
}

TEST(DenseNodes, SparseToDenseAndBack_pleintocreu_creutoplein_eq_identity)
{
    t_cctx* ctx = testctx();
    std::mt19937 rng(11);
    for (int round = 0; round < 20; round++) {
        coef a = randomserie(rng, 12, 5);
        if (round % 4 == 1) {   // negative degrees, as powers of an angular variable have
            coef m = poly_monomial(var(1), coef_creenum_init(ctx, 2), -3);
            a = serie_add(ctx, &a, 0, &m, 0);
        }
        coef d = creutoplein(ctx, &a, 1);
        int nodes = 0;
        checkdense(&d, &nodes);
        if (coef_ispoly(&a)) {
            EXPECT_GT(nodes, 0);
            const t_polynode* n = coef_poly(&a);
            const t_polplein* p = coef_plein(&d);
            EXPECT_EQ(p->var, n->var);
            EXPECT_EQ(p->lo, n->first->deg);
            EXPECT_EQ(p->lo < 0, round % 4 == 1 && n->var == var(1)) << text(a);
        }
        coef dc = copycoef(&d);          // the copy cell copies deeply
        coef back = pleintocreu(ctx, &d, 0);
        EXPECT_EQ(d.type, BH_ZERO);      // handed over
        EXPECT_TRUE(serie_isnormal(ctx, &back));
        EXPECT_TRUE(serie_equal(&back, &a)) << text(back) << " vs " << text(a);
        coef back2 = pleintocreu(ctx, &dc, 1);
        EXPECT_TRUE(serie_equal(&back2, &a));
        for (coef* k : {&a, &dc, &back, &back2}) deletecoef(k);
    }
    coef three = coef_creenum_init(ctx, 3);   // a number stays a number
    coef t = creutoplein(ctx, &three, 1);
    EXPECT_EQ(t.type, three.type);
    deletecoef(&three);
    deletecoef(&t);
}

} // namespace
