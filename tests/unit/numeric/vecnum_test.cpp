// Numeric vectors: types by numeric mode, element conversions, ownership, element-wise arithmetic
// with keep flags, real/complex promotion, and thread-count independence.
#include "parallel/parallel_init.h"
#include "vecnumtest.h"

TEST_F(VecnumTest, ModeDecidesTheVectorTypes)
{
    struct { int mode, real, cplx; } cases[] = {
        {NUMDBL, VECNUM_DBL, VECNUM_ZDBL},     {NUMRAT, VECNUM_DBL, VECNUM_ZDBL},
        {NUMRATMP, VECNUM_DBL, VECNUM_ZDBL},   {NUMQUAD, VECNUM_QUAD, VECNUM_ZQUAD},
        {NUMFPMP, VECNUM_FPMP, VECNUM_ZFPMP},  {NUMDBLINT, VECNUM_DBL, VECNUM_ZDBL},
        {NUMQUADINT, VECNUM_QUAD, VECNUM_ZQUAD},
    };
    for (auto& c : cases) {
        modenum_set(tctx(), c.mode);
        vecptr r(vecnum_createreal(tctx(), "r", 3)), z(vecnum_createcplx(tctx(), "z", 2));
        EXPECT_EQ(r->vecflag(), c.real) << c.mode;
        EXPECT_EQ(z->vecflag(), c.cplx) << c.mode;
        EXPECT_EQ(vecnum_flagreal_of_mode(c.mode), c.real);
        EXPECT_EQ(vecnum_flagcplx_of_mode(c.mode), c.cplx);
        EXPECT_EQ(values(r.get()), std::vector<double>(3, 0.0));
        EXPECT_EQ(r->Vgettypeenum(), IDTYPE_VECNUM);
    }
}

TEST_F(VecnumTest, ElementsKeepTheirTypeAndPrecision)
{
    // 1/3 stored in every type and read back as a coefficient of the element's own tag.
    modenum_set(tctx(), NUMFPMP);
    coef third = coef_fromdbl(1.0 / 3.0);
    const int flags[] = {VECNUM_DBL, VECNUM_ZDBL, VECNUM_QUAD, VECNUM_ZQUAD, VECNUM_FPMP, VECNUM_ZFPMP};
    const eBHTypeCoef tags[] = {BH_DBL, BH_ZDBL, BH_QUAD, BH_ZQUAD, BH_FPMP, BH_ZFPMP};
    for (int k = 0; k < 6; k++) {
        vecptr v(vecnum_create(tctx(), flags[k], "v", 2));
        v->coef2data(tctx(), 1, &third);
        coef c = v->data2coef(tctx(), 1);
        EXPECT_EQ(c.type, tags[k]);
        EXPECT_EQ(coef2dbl(&c), 1.0 / 3.0);
        deletecoef(&c);
    }
    // A quad keeps digits a double cannot: 1/3 exactly as the quad type rounds it.
    vecptr q(vecnum_create(tctx(), VECNUM_QUAD, "q", 1));
    coef exact = coef_creenumden_init(tctx(), 1, 3);
    q->coef2data(tctx(), 0, &exact);
    coef back = q->data2coef(tctx(), 0);
    EXPECT_TRUE(*coef_box<t_quadtype>(&back) == (__float128)1 / 3);
    deletecoef(&back);
    // MPFR elements get the context precision when made.
    vecptr m(vecnum_create(tctx(), VECNUM_FPMP, "m", 1));
    m->coef2data(tctx(), 0, &exact);
    coef mb = m->data2coef(tctx(), 0);
    EXPECT_EQ(mpfr_get_prec(coef_box<t_fpmptype>(&mb)), 212);
    deletecoef(&mb);
    deletecoef(&exact);
}

TEST_F(VecnumTest, StoredVectorsFollowTheMode)
{
    vecptr d = mkdbl({0.1, 2}), z = mkvec(VECNUM_ZDBL, {1}, {-1});
    EXPECT_EQ(vecnum_convertmode(tctx(), d.get()), nullptr);   // already the mode's type
    modenum_set(tctx(), NUMFPMP);
    vecptr m(vecnum_convertmode(tctx(), d.get())), mz(vecnum_convertmode(tctx(), z.get()));
    EXPECT_EQ(m->vecflag(), VECNUM_FPMP);
    EXPECT_STREQ(m->getName(), "v");
    EXPECT_EQ(values(m.get()), (std::vector<double>{0.1, 2}));   // the double's value, exactly
    EXPECT_EQ(mz->vecflag(), VECNUM_ZFPMP);
    EXPECT_EQ(values(mz.get(), 1), std::vector<double>{-1});
    modenum_set(tctx(), NUMQUADINT);
    vecptr q(vecnum_convertmode(tctx(), m.get()));
    EXPECT_EQ(q->vecflag(), VECNUM_QUAD);
}

TEST_F(VecnumTest, CopiesOwnTheirElements)
{
    modenum_set(tctx(), NUMFPMP);
    vecptr a = mkvec(VECNUM_FPMP, {1, 2, 3});
    vecptr b(static_cast<t_vecnum*>(a->Vcopy()));
    coef nine = coef_fromdbl(9);
    a->coef2data(tctx(), 0, &nine);
    EXPECT_EQ(values(b.get()), (std::vector<double>{1, 2, 3}));
    a.reset();   // frees a's MPFR elements; b stays valid
    EXPECT_EQ(values(b.get()), (std::vector<double>{1, 2, 3}));
}

TEST_F(VecnumTest, VectorOpCoefficientExactValues)
{
    vecptr v = mkdbl({1, 2, 4});
    coef two = coef_fromdbl(2);
    struct { t_vecnum* (*f)(t_cctx*, t_vecnum*, int, coef*, int); std::vector<double> expected; } right[] = {
        {tabnum_addition_coef, {3, 4, 6}},     {tabnum_soustraction_coef, {-1, 0, 2}},
        {tabnum_multiplication_coef, {2, 4, 8}}, {tabnum_division_coef, {0.5, 1, 2}},
        {tabnum_pow_coef, {1, 4, 16}},
    };
    for (auto& c : right) {
        vecptr r(c.f(tctx(), v.get(), 1, &two, 1));
        EXPECT_EQ(values(r.get()), c.expected);
    }
    struct { t_vecnum* (*f)(t_cctx*, coef*, int, t_vecnum*, int); std::vector<double> expected; } left[] = {
        {coef_soustraction_tabnum, {1, 0, -2}}, {coef_division_tabnum, {2, 1, 0.5}}, {coef_pow_tabnum, {2, 4, 16}},
    };
    for (auto& c : left) {
        vecptr r(c.f(tctx(), &two, 1, v.get(), 1));
        EXPECT_EQ(values(r.get()), c.expected);
    }
    EXPECT_EQ(values(v.get()), (std::vector<double>{1, 2, 4}));   // kept operands untouched
    expect_noerror();
}

TEST_F(VecnumTest, KeepFlagsDecideReuse)
{
    t_vecnum* v = mkdbl({1, 2}).release();
    coef c = coef_fromdbl(10);
    t_vecnum* r = tabnum_addition_coef(tctx(), v, 0, &c, 0);
    EXPECT_EQ(r, v);                     // handed over: the result is the operand itself
    EXPECT_EQ(c.type, BH_ZERO);          // and the coefficient is consumed
    EXPECT_EQ(values(r), (std::vector<double>{11, 12}));
    t_vecnum* b = mkdbl({1, 1}).release();
    t_vecnum* s = vecnum_addition(tctx(), r, 1, b, 0);
    EXPECT_EQ(s, b);
    EXPECT_EQ(values(s), (std::vector<double>{12, 13}));
    r->Vdelete();
    s->Vdelete();
}

TEST_F(VecnumTest, RealMeetsComplexInTheSamePrecision)
{
    struct { int real, cplx; } cases[] = {{VECNUM_DBL, VECNUM_ZDBL}, {VECNUM_QUAD, VECNUM_ZQUAD}, {VECNUM_FPMP, VECNUM_ZFPMP}};
    for (auto& k : cases) {
        vecptr v = mkvec(k.real, {1, 2});
        coef i{};
        i.z = complexe{0, 1};
        i.type = BH_ZDBL;
        vecptr r(tabnum_multiplication_coef(tctx(), v.get(), 1, &i, 1));
        EXPECT_EQ(r->vecflag(), k.cplx);
        EXPECT_EQ(values(r.get(), 0), (std::vector<double>{0, 0}));
        EXPECT_EQ(values(r.get(), 1), (std::vector<double>{1, 2}));
        vecptr z = mkvec(k.cplx, {1, 1}, {1, -1});
        vecptr s(vecnum_addition(tctx(), v.get(), 1, z.get(), 1));
        EXPECT_EQ(s->vecflag(), k.cplx);
        EXPECT_EQ(values(s.get(), 0), (std::vector<double>{2, 3}));
        EXPECT_EQ(values(s.get(), 1), (std::vector<double>{1, -1}));
    }
    // A handed-over real vector is replaced by its complex counterpart: i - {1, 2}.
    t_vecnum* h = mkvec(VECNUM_QUAD, {1, 2}).release();
    coef i{};
    i.z = complexe{0, 1};
    i.type = BH_ZDBL;
    vecptr d(coef_soustraction_tabnum(tctx(), &i, 0, h, 0));
    EXPECT_EQ(d->vecflag(), VECNUM_ZQUAD);
    EXPECT_EQ(values(d.get(), 0), (std::vector<double>{-1, -2}));
    EXPECT_EQ(values(d.get(), 1), (std::vector<double>{1, 1}));
    EXPECT_EQ(i.type, BH_ZERO);
    // Two precisions meet in the more precise one.
    vecptr one = mkdbl({1}), q = mkvec(VECNUM_QUAD, {2});
    vecptr dq(vecnum_multiplication(tctx(), one.get(), 1, q.get(), 1));
    EXPECT_EQ(dq->vecflag(), VECNUM_QUAD);
    EXPECT_EQ(values(dq.get()), std::vector<double>{2});
}

TEST_F(VecnumTest, ComplexArithmetic)
{
    vecptr a = mkvec(VECNUM_ZDBL, {1, 0}, {1, 2}), b = mkvec(VECNUM_ZDBL, {1, 1}, {-1, 0});
    vecptr p(vecnum_multiplication(tctx(), a.get(), 1, b.get(), 1));     // (1+i)(1-i) = 2, 2i*1 = 2i
    EXPECT_EQ(values(p.get(), 0), (std::vector<double>{2, 0}));
    EXPECT_EQ(values(p.get(), 1), (std::vector<double>{0, 2}));
    vecptr q(vecnum_division(tctx(), p.get(), 1, b.get(), 1));
    EXPECT_EQ(values(q.get(), 0), values(a.get(), 0));
    EXPECT_EQ(values(q.get(), 1), values(a.get(), 1));
}

TEST_F(VecnumTest, DifferentSizesAreError143AndConsumeHandedOperands)
{
    vecptr a = mkdbl({1, 2, 3, 4});
    t_vecnum* b = vecnum_create(tctx(), VECNUM_DBL, "w", 5);
    EXPECT_EQ(vecnum_addition(tctx(), a.get(), 1, b, 0), nullptr);
    expect_error(errtext(143, "v", "w"));
    EXPECT_EQ(a->size(), 4u);
}

TEST_F(VecnumTest, LargeOperationIsIndependentOfTheThreadCount)
{
    const uint32_t n = 200000;
    vecptr a(vecnum_create(tctx(), VECNUM_DBL, "a", n)), b(vecnum_create(tctx(), VECNUM_DBL, "b", n));
    auto* ta = static_cast<t_vecnumdbl*>(a.get());
    auto* tb = static_cast<t_vecnumdbl*>(b.get());
    for (uint32_t i = 0; i < n; i++) {
        (*ta)[i] = 1.5 + std::sin(i * 0.001);
        (*tb)[i] = 1.0 + i % 7;
    }
    std::vector<double> results[2];
    const int cpus[2] = {1, 2};
    ASSERT_GE(kst_parallel_cpucount(), 2);
    for (int k = 0; k < 2; k++) {
        ASSERT_TRUE(kst_parallel_setcpu(cpus[k]));
        kst_kctx(tctx()).cpu = cpus[k];
        vecptr q(vecnum_division(tctx(), a.get(), 1, b.get(), 1));
        coef e = coef_fromdbl(1.5);
        vecptr p(tabnum_pow_coef(tctx(), q.get(), 1, &e, 1));
        results[k] = values(p.get());
    }
    kst_kctx(tctx()).cpu = 1;
    kst_parallel_setcpu(1);
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0][7000], std::pow(1.5 + std::sin(7000 * 0.001), 1.5));
}

// Inside a task of a parallel region, only the vectors made by that task may change size: the
// others are shared with the caller and the other tasks. Copies are new vectors.
TEST_F(VecnumTest, OnlyATasksOwnVectorsMayChangeSizeInsideTheTask)
{
    vecptr before(vecnum_create(tctx(), VECNUM_DBL, "before", 3));
    EXPECT_TRUE(before->resizable_here());
    const std::uint32_t region = t_dataracedetector::addOpenMPregion();
    {
        t_omptaskscope task(region);
        EXPECT_FALSE(before->resizable_here());
        vecptr mine(vecnum_create(tctx(), VECNUM_RATMP, "mine", 1));
        vecptr copy(static_cast<t_vecnum*>(before->Vcopy()));
        EXPECT_TRUE(mine->resizable_here());
        EXPECT_TRUE(copy->resizable_here());
        {
            t_omptaskscope inner(t_dataracedetector::addOpenMPregion());   // a nested region's task
            EXPECT_FALSE(mine->resizable_here());
            t_dataracedetector::removeOpenMPregion();
        }
        EXPECT_TRUE(mine->resizable_here());
    }
    t_dataracedetector::removeOpenMPregion();
    EXPECT_EQ(kst_omp_taskregion(), 0u);
    EXPECT_TRUE(before->resizable_here());
}
