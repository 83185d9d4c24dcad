// Element-wise operators on arrays: realignment of differing bounds, size mismatches, handed-over
// operands, comparisons into 0/1 arrays, whole-array equality and conditional selection.
#include "interp/ids.h"
#include "tableautest.h"

namespace {

TEST_F(TableauTest, AdditionRealignsDifferentBoundsAndKeepsEqualOnes)
{
    tabptr a = mkrow({1, 2, 3}, 0), b = mkrow({10, 20, 30}, 1);
    tabptr s(tableau_2op(tctx(), IDOP_ADD, a.get(), 1, b.get(), 1));
    ASSERT_TRUE(s);
    EXPECT_EQ(shape(s.get()), (std::vector<int>{1, 3, 1}));
    EXPECT_EQ(dbls(s.get()), (std::vector<double>{11, 22, 33}));

    tabptr c = mkrow({1, 1, 1}, 0);
    tabptr d(tableau_2op(tctx(), IDOP_SUB, a.get(), 1, c.get(), 1));
    EXPECT_EQ(shape(d.get()), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(dbls(d.get()), (std::vector<double>{0, 1, 2}));
    // the operands were kept
    EXPECT_EQ(dbls(a.get()), (std::vector<double>{1, 2, 3}));
    expect_noerror();
}

TEST_F(TableauTest, ShapesMustAgreeDimensionByDimension)
{
    tabptr a(creeinit_tab2D(1, 2, 1, 3)), b(creeinit_tab2D(1, 3, 1, 2));
    const std::pair<t_idbinop, int> cases[] = {
        {IDOP_ADD, 234}, {IDOP_SUB, 204}, {IDOP_MUL, 235}, {IDOP_DIV, 420}, {IDOP_ATAN2, 32}, {IDOP_MOD, 33}};
    for (auto [op, number] : cases) {
        EXPECT_EQ(tableau_2op(tctx(), op, a.get(), 1, b.get(), 1), nullptr);
        expect_error(errtext(number));
    }
    tabptr r = mkrow({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(tableau_2cmp(tctx(), TABCMP_EQ, a.get(), r.get()), nullptr);
    expect_error(errtext(549));
}

TEST_F(TableauTest, HandedOverOperandsBecomeTheResultOrAreReleased)
{
    tabptr keep = mkrow({2, 4});
    t_tableau* given = mkrow({1, 1}).release();
    t_tableau* r = tableau_2op(tctx(), IDOP_MUL, keep.get(), 1, given, 0);
    EXPECT_EQ(r, given);
    EXPECT_EQ(dbls(r), (std::vector<double>{2, 4}));
    r->Vdelete();

    // an element that cannot combine stops the walk: no result, the handed-over side is freed
    tabptr withhole = mkrow({1, 2});
    withhole->init_elt_tab_idc(1, nullptr);
    t_tableau* other = mkrow({1, 1}).release();
    EXPECT_EQ(tableau_2op(tctx(), IDOP_ADD, withhole.get(), 1, other, 0), nullptr);
    expect_error(errtext(105));
}

TEST_F(TableauTest, ArrayWithValueCombinesEveryElementOnTheRightSide)
{
    tabptr a = mkrow({1, 2, 4});
    idptr two(mknum(2));
    tabptr q(tableauobj_2op(tctx(), IDOP_DIV, a.get(), 1, two.get(), 1));
    EXPECT_EQ(dbls(q.get()), (std::vector<double>{0.5, 1, 2}));
    tabptr p(objtableau_2op(tctx(), IDOP_DIV, two.get(), 1, a.get(), 1));
    EXPECT_EQ(dbls(p.get()), (std::vector<double>{2, 1, 0.5}));
    tabptr s(objtableau_2op(tctx(), IDOP_SUB, two.get(), 1, a.get(), 1));
    EXPECT_EQ(dbls(s.get()), (std::vector<double>{1, 0, -2}));

    // through the operation table, as the evaluator calls it
    idptr t(kst_id_binop(tctx(), IDOP_ADD, a.get(), 1, two.get(), 1));
    ASSERT_TRUE(t);
    EXPECT_EQ(dbls(static_cast<t_tableau*>(t.get())), (std::vector<double>{3, 4, 6}));
    idptr u(kst_id_binop(tctx(), IDOP_MUL, two.get(), 1, a.get(), 1));
    EXPECT_EQ(dbls(static_cast<t_tableau*>(u.get())), (std::vector<double>{2, 4, 8}));
}

TEST_F(TableauTest, ExactModesKeepExactElements)
{
    kst_kctx(tctx()).num.modenum = NUMRATMP;
    tabptr a = mkmat({{1, 2}}), b = mkmat({{3, 3}});
    tabptr q(tableau_2op(tctx(), IDOP_DIV, a.get(), 1, b.get(), 1));
    char* s = coef2str(&numberat(q.get(), 0));
    EXPECT_STREQ(s, "1/3");
    free(s);
}

TEST_F(TableauTest, ComparisonsGiveZeroOneArraysAndWholeEqualityNeedsSameBounds)
{
    tabptr a = mkrow({1, 2, 3}, 0), b = mkrow({1, 2, 3}, 1), c = mkrow({3, 2, 1}, 0);
    EXPECT_FALSE(tableau_2cmpeq(tctx(), a.get(), b.get()));
    EXPECT_TRUE(tableau_2cmpne(tctx(), a.get(), b.get()));
    tabptr eq(tableau_2cmp(tctx(), TABCMP_EQ, a.get(), b.get()));
    EXPECT_EQ(dbls(eq.get()), (std::vector<double>{1, 1, 1}));
    EXPECT_TRUE(static_cast<t_idconstante*>(eq->elt(0).getData())->Visinteger());

    tabptr copy(static_cast<t_tableau*>(a->Vcopy()));
    EXPECT_TRUE(tableau_2cmpeq(tctx(), a.get(), copy.get()));
    EXPECT_EQ(kst_id_cmpop(tctx(), IDCMP_EQ, a.get(), copy.get()), 1);
    EXPECT_FALSE(tableau_2cmpeq(tctx(), a.get(), c.get()));

    tabptr lt(tableau_2cmp(tctx(), TABCMP_LT, a.get(), c.get()));
    EXPECT_EQ(dbls(lt.get()), (std::vector<double>{1, 0, 0}));
    tabptr ge(tableau_2cmp(tctx(), TABCMP_GE, a.get(), c.get()));
    tabptr both(tableau_2cmp(tctx(), TABCMP_AND, lt.get(), ge.get()));
    EXPECT_EQ(dbls(both.get()), (std::vector<double>{0, 0, 0}));
    tabptr either(tableau_2cmp(tctx(), TABCMP_OR, lt.get(), ge.get()));
    EXPECT_EQ(dbls(either.get()), (std::vector<double>{1, 1, 1}));

    idptr two(mknum(2));
    tabptr gt(tableauobj_2cmp(tctx(), TABCMP_GT, a.get(), two.get()));
    EXPECT_EQ(dbls(gt.get()), (std::vector<double>{0, 0, 1}));
    tabptr le(objtableau_2cmp(tctx(), TABCMP_LE, two.get(), a.get()));
    EXPECT_EQ(dbls(le.get()), (std::vector<double>{0, 1, 1}));
    expect_noerror();
}

TEST_F(TableauTest, ConditionalSelectionPicksElementByElement)
{
    tabptr cond = mkrow({1, 0, 1}), a = mkrow({10, 20, 30});
    idptr zero(mknum(0));
    tabptr r(tab_condternaire(tctx(), cond.get(), a.get(), zero.get()));
    EXPECT_EQ(dbls(r.get()), (std::vector<double>{10, 0, 30}));
    tabptr s(tab_condternaire(tctx(), cond.get(), zero.get(), a.get()));
    EXPECT_EQ(dbls(s.get()), (std::vector<double>{0, 20, 0}));

    EXPECT_EQ(tab_condternaire(tctx(), zero.get(), a.get(), a.get()), nullptr);
    expect_error(errtext(485));
    tabptr shorter = mkrow({1, 2});
    EXPECT_EQ(tab_condternaire(tctx(), cond.get(), shorter.get(), a.get()), nullptr);
    expect_error(errtext(549));
}

} // namespace

namespace {

// Strings have no arithmetic of their own yet: this addition stands in for any value class whose
// operations live in the operation table.
t_idcommon* concat(t_cctx*, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    auto* r = new t_chaine(static_cast<t_chaine*>(a)->text() + static_cast<t_chaine*>(b)->text());
    if (!ka) a->Vdelete();
    if (!kb) b->Vdelete();
    return r;
}

// The table's default: the operation is not defined.
t_idcommon* refuse(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    kst_runerror(ctx, 105);
    if (!ka) a->Vdelete();
    if (!kb) b->Vdelete();
    return nullptr;
}

TEST_F(TableauTest, OtherValuesCombineThroughTheOperationTable)
{
    kst_id_vtable_setbinop(IDOP_ADD, IDTYPE_CHAINE, IDTYPE_CHAINE, &concat);
    tabptr a(creeinit_tab(2)), b(creeinit_tab(2));
    for (long p = 0; p < 2; p++) {
        a->init_elt_tab_idc(p, new t_chaine(p ? "b" : "a"));
        b->init_elt_tab_idc(p, new t_chaine("!"));
    }
    tabptr s(tableau_2op(tctx(), IDOP_ADD, a.get(), 1, b.get(), 1));
    ASSERT_TRUE(s);
    EXPECT_EQ(static_cast<t_chaine*>(s->elt(1).getData())->text(), "b!");
    EXPECT_EQ(tableau_2op(tctx(), IDOP_SUB, a.get(), 1, b.get(), 1), nullptr);
    expect_error(errtext(105));
    kst_id_vtable_setbinop(IDOP_ADD, IDTYPE_CHAINE, IDTYPE_CHAINE, &refuse);
}

TEST_F(TableauTest, AnArrayOnBothSidesIsReadTwice)
{
    t_tableau* a = mkrow({1, 2, 3}).release();
    t_tableau* r = tableau_2op(tctx(), IDOP_MUL, a, 0, a, 0);
    EXPECT_EQ(r, a);
    EXPECT_EQ(dbls(r), (std::vector<double>{1, 4, 9}));
    t_idcommon* p = kst_id_binop(tctx(), IDOP_POW, r, 0, mkint(2), 0);
    EXPECT_EQ(dbls(static_cast<t_tableau*>(p)), (std::vector<double>{1, 16, 81}));
    p->Vdelete();
}

} // namespace
