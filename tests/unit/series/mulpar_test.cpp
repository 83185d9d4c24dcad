// The parallel product: which scheme a product takes (by its count of top-level pairs) and that
// both give the sequential product bit for bit.
#include "seriestest.h"

#include "interp/kest.h"
#include "parallel/zoduv.h"
#include "series/kernels/mul.h"
#include "series/tronc.h"

namespace {

// These tests watch the recursive path's own split: the typed kernels, which would otherwise
// take these double products, stay out for their duration.
struct t_recursiveonly {
    t_recursiveonly() { kst_kernel_setchoice(KERNEL_NONE); }
    ~t_recursiveonly() { kst_kernel_setchoice(KERNEL_AUTO); }
};

// c0 + c1*v with double coefficients
coef lin(double c0, t_variable* v, double c1)
{
    t_cctx* ctx = testctx();
    coef a = coef_fromdbl(c0);
    coef b = poly_monomial(v, coef_fromdbl(c1), 1);
    return serie_add(ctx, &a, 0, &b, 0);
}

// (1/3 + x)^(rows-1) * (1 + y/7 + z)^6: `rows` terms in x, each a coefficient of 28 terms
coef operand(int rows, double twist)
{
    t_cctx* ctx = testctx();
    coef px = lin(1.0 / 3.0, var(0), 1.0);
    coef p = serie_pow(ctx, &px, 0, static_cast<unsigned long>(rows - 1));
    coef yz = lin(1.0, var(1), twist);
    coef z = poly_monomial(var(2), coef_fromdbl(1.0), 1);
    yz = serie_add(ctx, &yz, 0, &z, 0);
    coef q = serie_pow(ctx, &yz, 0, 6);
    return serie_mul(ctx, &p, 0, &q, 0);
}

TEST(ParallelProduct, ChainsUpTo2000PairsRowsAboveAndTheSameBitsAsOneThread)
{
    const t_recursiveonly recursive;
    t_cctx* ctx = testctx();
    t_tronc tx;
    tx.groups.push_back({{var(0)}, -100, 60});
    t_troncwork w;
    w.init(tx);
    coef b = operand(50, -1.0 / 7.0);
    struct t_case {
        int rows;
        const t_troncwork* tr;
        bool byrows;
    };
    // 40 x 50 = 2000 pairs: one dynamic loop over the result degrees; 41 x 50: one loop per row
    for (const t_case& c : {t_case{40, nullptr, false}, t_case{41, nullptr, true}, t_case{41, &w, true},
                            t_case{40, &w, false}}) {
        coef a = operand(c.rows, 1.0 / 7.0);
        ASSERT_GT(static_cast<double>(serie_size(&a)) * static_cast<double>(serie_size(&b)), 1500000.0);
        Mkest("_cpu = 1$", nullptr);
        coef seq = serie_multr(ctx, &a, 1, &b, 1, c.tr);
        Mkest("_cpu = 2$", nullptr);
        ASSERT_EQ(kst_kctx(ctx).cpu, 2);
        const std::uint64_t posted0 = ZODUV_getpostedcount() + ZODUV_getinplacecount();
        coef par = serie_multr(ctx, &a, 1, &b, 1, c.tr);
        const std::uint64_t loops = ZODUV_getpostedcount() + ZODUV_getinplacecount() - posted0;
        if (c.byrows) {
            EXPECT_GE(loops, 41u) << c.rows;
        } else {
            EXPECT_LE(loops, 2u) << c.rows;
        }
        EXPECT_TRUE(serie_isnormal(ctx, &par));
        EXPECT_TRUE(serie_equal(&seq, &par)) << c.rows;
        if (c.tr) {
            EXPECT_EQ(serie_degmax(&par, var(0)), 60);
        }
        for (coef* k : {&a, &seq, &par}) deletecoef(k);
    }
    Mkest("_cpu = 1$", nullptr);
    deletecoef(&b);
}

// Below 1500000 pairs of terms (whole trees) a product stays on the calling thread; one term more
// on one side and it is spread.
TEST(ParallelProduct, SplitOnlyAbove1500000PairsOfTerms)
{
    const t_recursiveonly recursive;
    t_cctx* ctx = testctx();
    auto build = [ctx](int xterms, int yterms) {
        coef px = lin(1.0, var(0), 0.5);
        coef py = lin(1.0, var(1), 0.25);
        coef p = serie_pow(ctx, &px, 0, static_cast<unsigned long>(xterms - 1));
        coef q = serie_pow(ctx, &py, 0, static_cast<unsigned long>(yterms - 1));
        return serie_mul(ctx, &p, 0, &q, 0);
    };
    coef a = build(30, 50);   // 1500 terms
    coef b = build(20, 50);   // 1000 terms
    coef z = poly_monomial(var(2), coef_fromdbl(1.0), 1);
    coef b1 = serie_add(ctx, &b, 1, &z, 0);   // 1001 terms
    ASSERT_EQ(serie_size(&a) * serie_size(&b), 1500000);
    Mkest("_cpu = 2$", nullptr);
    for (const coef* other : {&b, &b1}) {
        const std::uint64_t before = ZODUV_getpostedcount() + ZODUV_getinplacecount();
        coef p = serie_mul(ctx, &a, 1, const_cast<coef*>(other), 1);
        const std::uint64_t tasks = ZODUV_getpostedcount() + ZODUV_getinplacecount() - before;
        if (other == &b) EXPECT_EQ(tasks, 0u);
        else EXPECT_GT(tasks, 0u);
        deletecoef(&p);
    }
    Mkest("_cpu = 1$", nullptr);
    for (coef* k : {&a, &b, &b1}) deletecoef(k);
}

} // namespace
