// Arrays and numeric vectors converted both ways, and array files: byte layout of the binary
// form, the text form, round trips, empty and unsaved elements, truncated files.
#include <cstring>
#include <map>

#include "tableautest.h"

namespace {

TEST_F(TableauTest, VectorsBecomeColumnsAndBack)
{
    tabptr cols(creeinit_tab(2));
    cols->init_elt_tab_idc(0, mkdbl({1, 2, 3}).release());
    cols->init_elt_tab_idc(1, mkdbl({4, 5, 6}).release());
    EXPECT_TRUE(tableau_havetabnum(cols.get()));
    tabptr m(vnum2dimn(tctx(), cols.get()));
    ASSERT_TRUE(m);
    EXPECT_EQ(shape(m.get()), (std::vector<int>{1, 3, 1, 1, 2, 1}));
    EXPECT_EQ(dbls(m.get()), (std::vector<double>{1, 4, 2, 5, 3, 6}));

    tabptr back(dim2vnumR(tctx(), m.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(values(static_cast<t_vecnum*>(back->elt(1).getData())), (std::vector<double>{4, 5, 6}));

    cols->init_elt_tab_idc(1, mkdbl({4, 5}).release());
    EXPECT_EQ(vnum2dimn(tctx(), cols.get()), nullptr);
    expect_error(errtext(259));
    cols->init_elt_tab_idc(1, mkvec(VECNUM_ZDBL, {1, 2, 3}, {0, 0, 0}).release());
    EXPECT_EQ(vnum2dimn(tctx(), cols.get()), nullptr);
    expect_error(errtext(259));
    cols->init_elt_tab_idc(0, mkdbl({}).release());
    cols->init_elt_tab_idc(1, mkdbl({}).release());
    EXPECT_EQ(vnum2dimn(tctx(), cols.get()), nullptr);
    expect_error(errtext(258));
    cols->init_elt_tab_idc(1, mknum(1));
    EXPECT_EQ(vnum2dimn(tctx(), cols.get()), nullptr);
    expect_error(errtext(256));
    tabptr square(creeinit_tab2D(1, 1, 1, 1));
    square->init_elt_tab_idc(0, mkdbl({1}).release());
    EXPECT_EQ(vnum2dimn(tctx(), square.get()), nullptr);
    expect_error(errtext(257));
}

// Element files kept in memory: numbers by element name; "fail" refuses one name.
struct t_memstore {
    std::map<std::string, double> files;
    std::string fail;
    t_tabelt_io io()
    {
        return {[this](t_cctx*, const t_idcommon* v, const char* name) {
                    if (name == fail) return false;
                    files[name] = v->Vgetdbl();
                    return true;
                },
                [this](t_cctx*, const char* name) -> t_idcommon* {
                    auto it = files.find(name);
                    return it == files.end() ? nullptr : mknum(it->second);
                }};
    }
};

std::vector<int32_t> ints(const std::vector<char>& bytes)
{
    std::vector<int32_t> out(bytes.size() / 4);
    memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

TEST_F(TableauTest, BinaryFormHoldsShapeAndFlagsAndReloads)
{
    tabptr t(creeinit_tab2D(0, 1, 1, 2));
    t->Vupdatename("T");
    t->init_elt_tab_idc(0, mknum(1.5));
    t->init_elt_tab_idc(3, mknum(-2));
    t->init_elt_tab_idc(2, mknum(7));
    t_memstore store;
    store.fail = "T[1,1]";

    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    ASSERT_TRUE(savetab(tctx(), t.get(), f, store.io()));
    fclose(f);
    std::vector<char> bytes(buf, buf + len);
    free(buf);
    EXPECT_EQ(ints(bytes), (std::vector<int32_t>{2, 0, 1, 2, 1, 2, 2, 4, 1, 0, 0, 1}));
    EXPECT_EQ(store.files.size(), 2u);
    EXPECT_EQ(store.files["T[1,2]"], -2);

    FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
    tabptr back(loadtab(tctx(), in, "T", store.io()));
    fclose(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(shape(back.get()), shape(t.get()));
    EXPECT_EQ(dbls(back.get()), (std::vector<double>{1.5, -999, -999, -2}));
    EXPECT_STREQ(back->elt(3).getData()->getName(), "T[1,2]");

    // cut inside the flags
    FILE* cut = fmemopen(bytes.data(), bytes.size() - 2, "rb");
    EXPECT_EQ(loadtab(tctx(), cut, "T", store.io()), nullptr);
    fclose(cut);
    expect_error(errtext(336, "T"));
}

TEST_F(TableauTest, TextFormNamesEveryElementAndItsState)
{
    tabptr t(creeinit_tab(IDTYPE_TABLEAU, "V", 1, cree_dim_tab(0, 4, 2, nullptr)));
    t->init_elt_tab_idc(0, mknum(3));
    t->init_elt_tab_idc(2, mknum(4));
    t_memstore store;
    store.fail = "V[4]";
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    ASSERT_TRUE(savetabF(tctx(), t.get(), f, store.io()));
    fclose(f);
    std::string text(buf, len);
    free(buf);
    EXPECT_EQ(text, "1\n0 4 3\n3\nV[0] SAVE\nV[2] EMPTY\nV[4] CANTSAVE\n");

    // the step is not stored: the dimension reloads as three contiguous subscripts
    FILE* in = fmemopen(text.data(), text.size(), "r");
    tabptr back(loadtabF(tctx(), in, "V", store.io()));
    fclose(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(shape(back.get()), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(dbls(back.get()), (std::vector<double>{3, -999, -999}));

    std::string shortened = "1\n0 4 3\n3\nV[0] SAVE\n";
    FILE* cut = fmemopen(shortened.data(), shortened.size(), "r");
    EXPECT_EQ(loadtabF(tctx(), cut, "V", store.io()), nullptr);
    fclose(cut);
    expect_error(errtext(336, "V"));
}

} // namespace
