// Numeric vectors: comparisons and their combinations, reductions, ordering, histograms, index
// vectors and extraction.
#include "vecnumtest.h"

using dv = std::vector<double>;

TEST_F(VecnumTest, ComparisonsGiveZeroOneVectorsOfTheRealType)
{
    vecptr a = mkdbl({1, 2, 3, NAN}), b = mkdbl({3, 2, 1, NAN});
    struct { t_vecnum_cmpop op; dv expected; } cases[] = {
        {VCMP_EQ, {0, 1, 0, 0}}, {VCMP_NE, {1, 0, 1, 1}}, {VCMP_LT, {1, 0, 0, 0}},
        {VCMP_LE, {1, 1, 0, 0}}, {VCMP_GT, {0, 0, 1, 0}}, {VCMP_GE, {0, 1, 1, 0}},
    };
    for (auto& c : cases) {
        vecptr r(vecnum_cmp(tctx(), a.get(), b.get(), c.op));
        EXPECT_EQ(r->vecflag(), VECNUM_DBL);
        EXPECT_EQ(values(r.get()), c.expected) << c.op;
    }
    coef two = coef_fromdbl(2);
    vecptr r(coefvecnum_cmp(tctx(), &two, a.get(), VCMP_GT));   // 2 > a[i]
    EXPECT_EQ(values(r.get()), (dv{1, 0, 0, 0}));
    // Complex operands compare for equality only, and the result is of their real type.
    vecptr z = mkvec(VECNUM_ZQUAD, {1, 1}, {0, 1}), w = mkvec(VECNUM_ZQUAD, {1, 1}, {0, -1});
    vecptr e(vecnum_cmp(tctx(), z.get(), w.get(), VCMP_EQ));
    EXPECT_EQ(e->vecflag(), VECNUM_QUAD);
    EXPECT_EQ(values(e.get()), (dv{1, 0}));
    EXPECT_EQ(vecnum_cmp(tctx(), z.get(), w.get(), VCMP_LT), nullptr);
    expect_error(errtext(23));
}

TEST_F(VecnumTest, ComparingSizes4And5IsError143)
{
    vecptr a = mkdbl({1, 2, 3, 4});
    vecptr b(vecnum_create(tctx(), VECNUM_DBL, "b", 5));
    EXPECT_EQ(vecnum_cmp(tctx(), a.get(), b.get(), VCMP_EQ), nullptr);
    expect_error(errtext(143, "v", "b"));
    EXPECT_EQ(a->Vcmpand(tctx(), b.get()), nullptr);
    expect_error(errtext(143, "v", "b"));
}

TEST_F(VecnumTest, CombinedConditionsAndTernary)
{
    vecptr x = mkdbl({0, 1, 0, 2}), y = mkdbl({0, 0, 3, 1});
    vecptr both(x->Vcmpand(tctx(), y.get())), either(x->Vcmpor(tctx(), y.get()));
    EXPECT_EQ(values(both.get()), (dv{0, 0, 0, 1}));
    EXPECT_EQ(values(either.get()), (dv{0, 1, 1, 1}));
    vecptr a = mkdbl({10, 20, 30, 40}), b = mkvec(VECNUM_ZDBL, {-1, -2, -3, -4}, {1, 1, 1, 1});
    vecptr t(vecnum_cmpcondternaire(tctx(), either.get(), a.get(), b.get()));
    EXPECT_EQ(t->vecflag(), VECNUM_ZDBL);
    EXPECT_EQ(values(t.get(), 0), (dv{-1, 20, 30, 40}));
    EXPECT_EQ(values(t.get(), 1), (dv{1, 0, 0, 0}));
}

TEST_F(VecnumTest, SumAndProduct)
{
    // 1 followed by many values below half an ulp of 1: the plain sum loses them, the
    // compensated sum and the MPFR sum do not.
    std::vector<double> x(1001, 1e-16);
    x[0] = 1;
    vecptr v = mkdbl(x);
    coef naive = v->Vsum(tctx(), ESUM_NAIVE, 0), kahan = v->Vsum(tctx(), ESUM_KAHAN, 0);
    EXPECT_EQ(coef2dbl(&naive), 1.0);
    EXPECT_DOUBLE_EQ(coef2dbl(&kahan), 1.0 + 1000 * 1e-16);
    modenum_set(tctx(), NUMFPMP);
    vecptr m = mkvec(VECNUM_FPMP, x);
    coef ms = m->Vsum(tctx(), ESUM_NAIVE, 0);
    EXPECT_EQ(ms.type, BH_FPMP);
    EXPECT_DOUBLE_EQ(coef2dbl(&ms), 1.0 + 1000 * 1e-16);
    deletecoef(&ms);
    vecptr p = mkvec(VECNUM_ZDBL, {0, 0, 2}, {1, 1, 0});   // i * i * 2 = -2
    coef prod = p->Vprod(tctx());
    EXPECT_EQ(coef2zdbl(&prod).re, -2);
    EXPECT_EQ(coef2zdbl(&prod).im, 0);
}

TEST_F(VecnumTest, ExtremaSortAndHistogram)
{
    vecptr v = mkdbl({3, NAN, -1, 7, -1, 7});
    EXPECT_EQ(v->Vimin(tctx()), 3);   // first occurrence, NaN ignored
    EXPECT_EQ(v->Vimax(tctx()), 4);
    coef mn = v->VMINTERME(tctx()), mx = v->VMAXTERME(tctx());
    EXPECT_EQ(coef2dbl(&mn), -1);
    EXPECT_EQ(coef2dbl(&mx), 7);
    vecptr s(v->Vsort(tctx()));
    std::vector<double> sv = values(s.get());
    EXPECT_EQ(dv(sv.begin(), sv.end() - 1), (dv{-1, -1, 3, 7, 7}));
    EXPECT_TRUE(std::isnan(sv.back()));
    vecptr idx(v->Vqsort_index(tctx()));
    EXPECT_EQ(values(idx.get()), (dv{3, 5, 1, 4, 6, 2}));   // stable, NaN last

    vecptr h(mkdbl({0, 0.5, 1, 1.999, 2, -0.1, 2.1, NAN})->Vhisto(tctx(), 2, 0, 2));
    EXPECT_EQ(values(h.get()), (dv{2, 3}));   // [0,1): 0, 0.5; [1,2]: 1, 1.999, 2
    EXPECT_EQ(v->Vhisto(tctx(), 0, 0, 1), nullptr);
    expect_error(errtext(52));

    vecptr z = mkvec(VECNUM_ZDBL, {1}, {1});
    EXPECT_EQ(z->Vimin(tctx()), 0);
    expect_error(errtext(23));
}

TEST_F(VecnumTest, IndexVectors)
{
    vecptr bad = mkdbl({1, 2.5, 3});
    EXPECT_FALSE(bad->Vcheck_indices(tctx(), 5));
    expect_error(errtext(574, 2));
    vecptr zero = mkdbl({1, 0});
    EXPECT_FALSE(zero->Vcheck_indices(tctx(), 5));
    expect_error(errtext(300, 0));
    vecptr big = mkdbl({6});
    EXPECT_FALSE(big->Vcheck_indices(tctx(), 5));
    expect_error(errtext(300, 6));

    vecptr ok = mkdbl({3, 7, 5});
    EXPECT_TRUE(ok->Vcheck_indices(tctx(), tabnum_borne{3, 9, 2}));
    vecptr off = mkdbl({3, 6});
    EXPECT_FALSE(off->Vcheck_indices(tctx(), tabnum_borne{3, 9, 2}));
    expect_error(errtext(300, 6));

    vecptr src = mkvec(VECNUM_QUAD, {10, 20, 30, 40, 50});
    vecptr pick = mkdbl({5, 1, 1});
    vecptr sel(src->Vextract_indices(tctx(), pick.get()));
    EXPECT_EQ(sel->vecflag(), VECNUM_QUAD);
    EXPECT_EQ(values(sel.get()), (dv{50, 10, 10}));
    EXPECT_EQ(src->Vextract_indices(tctx(), bad.get()), nullptr);
    expect_error(errtext(574, 2));

    vecptr r1(src->Vextract_borne(tctx(), tabnum_borne{2, -1, 2}));
    EXPECT_EQ(values(r1.get()), (dv{20, 40}));
    vecptr r2(src->Vextract_borne(tctx(), tabnum_borne{1, 5, 3}));
    EXPECT_EQ(values(r2.get()), (dv{10, 40}));
    EXPECT_EQ(src->Vextract_borne(tctx(), tabnum_borne{1, 6, 1}), nullptr);
    expect_error(errtext(300, 6));
}
