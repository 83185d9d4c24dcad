// Arrays: shape and subscript checks, element names, extraction and assignment of sub-blocks,
// growth, realignment, deep copy, display, and the per-element parallel transformation.
#include <atomic>
#include <cstring>
#include <thread>

#include "parallel/parallel_init.h"
#include "render/render.h"
#include "tableautest.h"

namespace {

tabptr stepped(int lo, int hi, int step, const char* name = "T")
{
    return tabptr(creeinit_tab(IDTYPE_TABLEAU, name, 1, cree_dim_tab(lo, hi, step, nullptr)));
}

TEST_F(TableauTest, SubscriptsOutsideTheBoundsOrOffTheGridAreRefused)
{
    tabptr t(creeinit_tab(3));
    t->Vupdatename("T");
    int i = 4;
    EXPECT_FALSE(t->affect_elttab_valeur_wcheck(tctx(), &i, 1, mknum(1), 0));
    expect_error(errtext(29, 4, 1, "T"));
    i = 0;
    EXPECT_EQ(t->Vextract(tctx(), &i, 1), nullptr);
    expect_error(errtext(29, 0, 1, "T"));

    tabptr s = stepped(1, 5, 2);
    EXPECT_EQ(s->Vsize(), 3);
    i = 2;
    EXPECT_FALSE(s->affect_elttab_valeur_wcheck(tctx(), &i, 1, mknum(1), 0));
    expect_error(errtext(565, 2, 1, 5, 2));
    i = 5;
    EXPECT_TRUE(s->affect_elttab_valeur_wcheck(tctx(), &i, 1, mknum(7), 0));
    EXPECT_EQ(dblat(s.get(), 2), 7);   // 5 is the third subscript of 1, 3, 5

    // the second dimension is named in the message
    tabptr m(creeinit_tab2D(0, 1, -2, 2));
    m->Vupdatename("M");
    EXPECT_EQ(Mcalcul_adr_elt_tab(tctx(), m.get(), 2, 1, 3), nullptr);
    expect_error(errtext(29, 3, 2, "M"));
    EXPECT_EQ(Mcalcul_adr_elt_tab(tctx(), m.get(), 2, 1, -2), &m->elt(5));
    expect_noerror();
}

TEST_F(TableauTest, StorageIsRowMajorAndElementsAreNamedBySubscripts)
{
    tabptr m(creeinit_tab2D(0, 2, 1, 3));
    EXPECT_EQ(m->Vsize(), 9);
    EXPECT_EQ(m->Vinf(1), 0);
    EXPECT_EQ(m->Vsup(2), 3);
    for (long p = 0; p + 1 < m->Vsize(); p++) EXPECT_EQ(m->elt(p).next, &m->elt(p + 1));
    EXPECT_EQ(m->elt(8).next, nullptr);

    int subs[2] = {1, 2};
    m->Vupdatename("T");
    ASSERT_TRUE(m->affect_elttab_valeur_wcheck(tctx(), subs, 2, mknum(5), 0));
    EXPECT_EQ(m->position(tctx(), subs, 2), 4);
    EXPECT_STREQ(m->elt(4).getData()->getName(), "T[1,2]");
    EXPECT_EQ(m->subscripts(7), (std::vector<int>{2, 2}));

    // renaming the array renames what it holds
    m->Vupdatename("U");
    EXPECT_STREQ(m->elt(4).getData()->getName(), "U[1,2]");
    // an empty element reads as an empty value named after it
    idptr e(m->Vextract(tctx(), subs + 1, 0));
    expect_error(errtext(35));
    int other[2] = {0, 1};
    idptr empty(m->Vextract(tctx(), other, 2));
    EXPECT_EQ(empty->Vgettypeenum(), IDTYPE_EMPTY);
    EXPECT_STREQ(empty->getName(), "U[0,1]");
}

TEST_F(TableauTest, BadDimensionsAreRefused)
{
    EXPECT_EQ(cree_dim_tab(3, 1, 1, nullptr), nullptr);
    expect_error(errtext(35));
    EXPECT_EQ(cree_dim_tab(1, 3, 0, nullptr), nullptr);
    expect_error(errtext(35));
    list_dim_tab* d = cree_dim_tab(0, 10, 3, nullptr);
    EXPECT_EQ(d->count, 4);   // 0, 3, 6, 9
    delete_dim_tab(d);
}

TEST_F(TableauTest, ExtractionKeepsStepOneBoundsAndRenumbersLargerSteps)
{
    tabptr m(creeinit_tab2D(1, 3, 0, 4));
    m->Vupdatename("T");
    for (long p = 0; p < m->Vsize(); p++) m->init_elt_tab_idc(p, mknum(static_cast<double>(p)));

    tabptr a(m->tableau_extract(tctx(), {{2, 3, 1}, {0, 4, 2}}, false));
    ASSERT_TRUE(a);
    EXPECT_EQ(shape(a.get()), (std::vector<int>{2, 3, 1, 1, 3, 1}));
    EXPECT_EQ(dbls(a.get()), (std::vector<double>{5, 7, 9, 10, 12, 14}));
    EXPECT_STREQ(a->elt(0).getData()->getName(), "[2,1]");

    // an ellipsis takes the remaining dimensions whole
    tabptr b(m->tableau_extract(tctx(), {{3, 3, 1}}, true));
    ASSERT_TRUE(b);
    EXPECT_EQ(shape(b.get()), (std::vector<int>{3, 3, 1, 0, 4, 1}));
    EXPECT_EQ(dbls(b.get()), (std::vector<double>{10, 11, 12, 13, 14}));

    // the copy is deep: changing the block leaves the array alone
    b->init_elt_tab_idc(0, mknum(-1));
    EXPECT_EQ(dblat(m.get(), 10), 10);

    EXPECT_EQ(m->tableau_extract(tctx(), {{1, 3, 0}, {0, 4, 1}}, false), nullptr);
    expect_error(errtext(390, 0));
    EXPECT_EQ(m->tableau_extract(tctx(), {{1, 4, 1}, {0, 4, 1}}, false), nullptr);
    expect_error(errtext(29, 4, 1, "T"));
    EXPECT_EQ(m->tableau_extract(tctx(), {{1, 3, 1}}, false), nullptr);   // too few without ellipsis
    expect_error(errtext(35));
}

TEST_F(TableauTest, BlockAssignmentCopiesArraysOneToOneAndValuesEverywhere)
{
    tabptr m(creeinit_tab2D(1, 3, 1, 3));
    m->Vupdatename("T");
    t_idconstante* seven = mknum(7);
    ASSERT_TRUE(m->affect_tabelts(tctx(), {{1, 3, 2}, {1, 3, 2}}, false, seven, 0));
    EXPECT_EQ(dbls(m.get()), (std::vector<double>{7, -999, 7, -999, -999, -999, 7, -999, 7}));
    EXPECT_EQ(m->elt(8).getData(), seven);   // the handed-over value went into the last element

    tabptr src = mkrow({1, 2, 3});
    tabptr one(creeinit_tab2D(1, 1, 1, 3));
    for (long p = 0; p < 3; p++) one->init_elt_tab_idc(p, mknum(p + 1.0));
    ASSERT_TRUE(m->affect_tabelts(tctx(), {{2, 2, 1}, {1, 3, 1}}, false, one.get(), 1));
    EXPECT_EQ(dbls(m.get()), (std::vector<double>{7, -999, 7, 1, 2, 3, 7, -999, 7}));
    EXPECT_STREQ(m->elt(4).getData()->getName(), "T[2,2]");

    EXPECT_FALSE(m->affect_tabelts(tctx(), {{2, 2, 1}, {1, 3, 1}}, false, src.get(), 1));
    expect_error(errtext(166, 1));
    EXPECT_FALSE(m->affect_tabelts(tctx(), {{1, 2, 1}, {1, 3, 1}}, false, one.get(), 1));
    expect_error(errtext(167, 2, 1));
}

TEST_F(TableauTest, VectorSubscriptsNeedOneDimension)
{
    tabptr t = mkrow({0, 0, 0, 0}, 0);
    vecptr idx = mkdbl({3, 1});
    ASSERT_TRUE(t->assign_vnumindice(tctx(), idx.get(), mknum(9), 0));
    EXPECT_EQ(dbls(t.get()), (std::vector<double>{0, 9, 0, 9}));
    vecptr bad = mkdbl({1.5});
    EXPECT_FALSE(t->assign_vnumindice(tctx(), bad.get(), mknum(9), 0));
    expect_error(errtext(574, 1));

    tabptr m(creeinit_tab2D(1, 2, 1, 2));
    EXPECT_FALSE(m->assign_vnumindice(tctx(), idx.get(), mknum(9), 0));
    expect_error(errtext(539, 2));
}

TEST_F(TableauTest, GrowthAndRealignmentKeepValuesInStorageOrder)
{
    tabptr t = mkrow({1, 2, 3}, -1);
    t->Vupdatename("T");
    t->increasesize(2);
    EXPECT_EQ(shape(t.get()), (std::vector<int>{1, 5, 1}));
    EXPECT_EQ(dbls(t.get()), (std::vector<double>{1, 2, 3, -999, -999}));
    EXPECT_STREQ(t->elt(2).getData()->getName(), "T[3]");

    tabptr s = stepped(0, 8, 4, "S");
    for (long p = 0; p < 3; p++) s->init_elt_tab_idc(p, mknum(static_cast<double>(p)));
    s->realigntobinf1(true);
    EXPECT_EQ(shape(s.get()), (std::vector<int>{0, 8, 4}));
    s->realigntobinf1(false);
    EXPECT_EQ(shape(s.get()), (std::vector<int>{1, 3, 1}));
    EXPECT_STREQ(s->elt(2).getData()->getName(), "S[3]");
    EXPECT_TRUE(s->musthavestep1());
}

TEST_F(TableauTest, CopiesAreDeepAndDisplayShowsShapeThenElements)
{
    tabptr t = stepped(0, 4, 2);
    t->init_elt_tab_idc(0, mknum(1.5));
    tabptr c(static_cast<t_tableau*>(t->Vcopy()));
    ASSERT_NE(c->elt(0).getData(), t->elt(0).getData());
    EXPECT_EQ(dblat(c.get(), 0), 1.5);
    EXPECT_EQ(shape(c.get()), shape(t.get()));
    EXPECT_STREQ(c->Vgettypename(), "TAB");
    EXPECT_EQ(c->Vgettypeenum(), 7);

    t_render* saved = tctx()->getrender();
    tctx()->render = kst_newrender(0);
    char* text = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&text, &len);
    t->Vdisplay_resume(tctx(), out);
    fclose(out);
    delete tctx()->render;
    tctx()->render = saved;
    std::string shown(text);
    free(text);
    EXPECT_EQ(shown.substr(0, shown.find('\n')), "T = TAB[0..4:2]");
    EXPECT_NE(shown.find("T[0] = "), std::string::npos);
    EXPECT_EQ(shown.find("T[2]"), std::string::npos);   // empty elements are not shown
}

// x -> x*x + 1 on a number, refused on -1000.
t_idcommon* square_plus_one(t_cctx* ctx, t_idcommon* v, int keep)
{
    double x = v->Vgetdbl();
    if (!keep) v->Vdelete();
    if (x == -1000) {
        kst_runerror(ctx, 58);
        return nullptr;
    }
    return new t_idconstante(ctx, "", coef_dbl2coef(x * x + 1));
}

TEST_F(TableauTest, ElementLoopGivesTheSameResultForOneAndTwoThreads)
{
    const int cpus = kst_get_gcpu();
    std::vector<double> input(300);
    for (size_t p = 0; p < input.size(); p++) input[p] = static_cast<double>(p) - 100;
    input[5] = 0;   // a hole to keep empty
    std::vector<std::vector<double>> results;
    for (int cpu : {1, 2}) {
        ASSERT_TRUE(kst_parallel_setcpu(std::min(cpu, kst_parallel_cpucount())));
        kst_kctx(tctx()).cpu = cpu;
        tabptr t = mkrow(input, 0);
        t->init_elt_tab_idc(5, nullptr);
        t->Vupdatename("T");
        tabptr r(t->applyall_elt_id(tctx(), square_plus_one, false));
        ASSERT_TRUE(r);
        EXPECT_STREQ(r->elt(7).getData()->getName(), "[7]");   // a new, unnamed array
        EXPECT_EQ(r->elt(5).getData(), nullptr);
        results.push_back(dbls(r.get()));

        // one failing element drops the whole result, whatever the thread count
        t->init_elt_tab_idc(250, mknum(-1000));
        EXPECT_EQ(t->applyall_elt_id(tctx(), square_plus_one, false), nullptr);
        EXPECT_EQ(Erreur_Execution, 1);
        Erreur_Execution = 0;
        reported_errors().clear();
        // consumed: the array is the result
        t->init_elt_tab_idc(250, mknum(2));
        t_tableau* self = t.release();
        tabptr c(self->applyall_elt_id(tctx(), square_plus_one, true));
        EXPECT_EQ(c.get(), self);
        EXPECT_EQ(dblat(c.get(), 250), 5);
    }
    kst_parallel_setcpu(cpus);
    kst_kctx(tctx()).cpu = 1;
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0][0], 100.0 * 100 + 1);
}

// Values that count how often they are deleted, to see that each is freed exactly once.
struct t_counted : t_idcommon {
    static std::atomic<int> alive;
    t_counted() { alive.fetch_add(1); }
    ~t_counted() override { alive.fetch_sub(1); }
    int Vgettypeenum() const override { return IDTYPE_EMPTY; }
};
std::atomic<int> t_counted::alive{0};

TEST_F(TableauTest, ThreadsStoringIntoOneElementFreeEveryReplacedValueOnce)
{
    tabptr t(creeinit_tab(4));
    t->Vupdatename("T");
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; k++)
        threads.emplace_back([&, k] {
            while (!go.load()) std::this_thread::yield();
            for (int n = 0; n < 20000; n++) {
                t->init_elt_tab_idc(0, new t_counted);        // every thread, one element
                t->init_elt_tab_idc(1 + k % 3, new t_counted);
            }
        });
    go.store(true);
    for (std::thread& th : threads) th.join();
    // one value left per written element: none leaked, none freed twice
    EXPECT_EQ(t_counted::alive.load(), 4);
    EXPECT_STREQ(t->elt(0).getData()->getName(), "T[1]");
    t.reset();
    EXPECT_EQ(t_counted::alive.load(), 0);
}

} // namespace
