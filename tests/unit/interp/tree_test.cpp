// Syntax-tree nodes: constructors and their one-block layout, copies, the macro-body passes, and
// the provisional statement runner.
#include "interp/cctx.h"
#include "interp/keywords.h"
#include "interp/runpile.h"
#include "treetesthelp.h"

using treetest::FrontEnd;

namespace {
using Tree = FrontEnd;

t_tree_loc at(int col)
{
    t_tree_loc l;
    l.first_line = l.last_line = 1;
    l.start_offset = 0;
    l.first_column = l.last_column = col;
    return l;
}

std::string dumped(const treeabs* t)
{
    char buf[2048];
    tree_dump(t, buf, sizeof buf);
    return buf;
}
} // namespace

TEST(TreeNodes, KindsAndTagsHaveTheirNumbers)
{
    EXPECT_EQ(TREE_LIST, 0x3FFFFFFF);
    EXPECT_EQ(tree_kindindex(TREE_STATEMENT), 1);
    EXPECT_EQ(tree_kindindex(TREE_COMMAND), 3);
    EXPECT_EQ(PARA_TREE, 0x40000000);
    EXPECT_EQ(PARA_OPAQUE_MOVEABLE, 0x40000009);
    EXPECT_LE(tree_kindindex(tree_keywordkind(kst_keywordcount - 1)), 503);
    EXPECT_EQ(sizeof(t_tree_loc), 20u);
}

TEST(TreeNodes, BlockNodesHoldTheirParametersInOneAllocation)
{
    treeabs* a = tree_symbole_new(at(0), strdup("a"));
    treeabs* b = tree_entier_new(at(4), strdup("2"));
    treeabs* sum = tree_add_new(at(0), a, b);
    EXPECT_TRUE(sum->flags & TREEFLAG_BLOCK);
    EXPECT_EQ(sum->size, sizeof(treeabs) + 2 * (sizeof(lparaabs) + sizeof(paraabs)));
    EXPECT_EQ(tree_paracount(sum), 2);
    EXPECT_EQ(tree_child(sum, 0), a);
    EXPECT_EQ(tree_child(sum, 2), nullptr);
    EXPECT_STREQ(tree_string(a, 0), "a");
    // Growing a block node appends separately allocated cells; release handles both.
    tree_addtree(sum, tree_pi_new(at(6)));
    EXPECT_EQ(dumped(sum), "add(id(\"a\"), int(\"2\"), PI)");
    tree_delete(sum);
}

TEST(TreeNodes, VariadicConstructorsReadTagValuePairs)
{
    treeabs* t = tree_new(at(0), TREE_FOR, PARA_STRING, strdup("k"), PARA_INT, -7, PARA_BOOL, 1,
                          PARA_TREE, nullptr, PARA_EMPTY);
    EXPECT_FALSE(t->flags & TREEFLAG_BLOCK);
    EXPECT_EQ(dumped(t), "for(\"k\", -7, 1, null)");
    EXPECT_EQ(tree_paraint(t, 1), -7);
    EXPECT_EQ(tree_paraint(t, 0, 99), 99);      // not an integer parameter
    tree_delete(t);

    treeabs* n = treen_new15(at(0), TREE_LIST, PARA_INT, 1, PARA_INT, 2, PARA_INT, 3, PARA_INT, 4, PARA_INT, 5,
                             PARA_INT, 6, PARA_INT, 7, PARA_INT, 8, PARA_INT, 9, PARA_INT, 10, PARA_INT, 11,
                             PARA_INT, 12, PARA_INT, 13, PARA_INT, 14, PARA_INT, 15);
    EXPECT_EQ(tree_paracount(n), 15);
    EXPECT_EQ(tree_paraint(n, 14), 15);
    tree_delete(n);
}

TEST(TreeNodes, ListsGrowByAppendingNodes)
{
    treeabs* l = tree_newlist(at(0), nullptr, tree_pi_new(at(0)), tree_nan_new(at(1)), nullptr);
    l = tree_newlist(at(0), l, tree_infinite_new(at(2)), nullptr);
    EXPECT_EQ(dumped(l), "list(PI, nan, inf)");
    treeabs* typed = tree_newlisttypedn(at(0), TREE_ARGLIST, nullptr, 2, tree_pi_new(at(0)), tree_icomplexe_new(at(1)));
    EXPECT_EQ(dumped(typed), "args(PI, I)");
    tree_delete(l);
    tree_delete(typed);
}

TEST(TreeNodes, NamedFunctionConstructorsUseTheKeywordKind)
{
    treeabs* s = tree_sin_new(at(0), tree_pi_new(at(4)));
    EXPECT_EQ(s->kind, tree_keywordkind(kst_lookupkeyword("sin", 3)));
    EXPECT_EQ(dumped(s), "sin(PI)");
    tree_delete(s);
}

TEST_F(Tree, CopiesAreDeepAndIndependent)
{
    ASSERT_EQ(parsewhole("macro f[a] { s = sum k = 1 to a { return k*x; }; if (a==1) then { b = \"t\"; }; };"), 0);
    treeabs* copy = tree_dup(st.tree);
    EXPECT_EQ(dump(copy), dump(st.tree));
    EXPECT_EQ(copy->loc.last_column, st.tree->loc.last_column);
    EXPECT_NE(tree_child(copy, 0), tree_child(st.tree, 0));
    tree_delete(st.tree);
    st.tree = nullptr;
    EXPECT_NE(dump(copy).find("str(\"t\")"), std::string::npos);   // survives the original
    treeabs* shallow = tree_dup_childempty(tree_child(tree_child(tree_child(copy, 0), 1), 0));
    EXPECT_EQ(dump(shallow), "macro(\"f\")");
    tree_delete(shallow);
    tree_delete(copy);
}

TEST_F(Tree, FusionNeedsExactlyOneReturnOfAProduct)
{
    auto fused = [&](const char* text) {
        EXPECT_EQ(parsewhole(text), 0) << text;
        tree_opt3(st.tree);
        std::string d = dump(st.tree);
        return d.find("sumfma(") != std::string::npos && d.find("returnfma(") != std::string::npos;
    };
    EXPECT_TRUE(fused("s = sum k = 1 to n { t = k + 1; return t*x; };"));
    EXPECT_FALSE(fused("s = sum k = 1 to n { return k + x; };"));
    EXPECT_FALSE(fused("s = sum k = 1 to n { return k*x; return k; };"));
    EXPECT_FALSE(fused("s = sum k = 1 to n { if (k==1) then { }; return k*x; };"));
    EXPECT_FALSE(fused("s = prod k = 1 to n { return k*x; };"));
    // A nested sum is fused on its own; the outer one holds two counted statements.
    ASSERT_EQ(parsewhole("s = sum j = 1 to n { return sum k = 1 to j { return k*j; }; };"), 0);
    tree_opt3(st.tree);
    EXPECT_NE(dump(st.tree).find("sum(\"j\""), std::string::npos);
    EXPECT_NE(dump(st.tree).find("sumfma(\"k\""), std::string::npos);
}

TEST_F(Tree, QuietTurnsDisplayingStatementsSilentUntilSwitchedOff)
{
    ASSERT_EQ(parsewhole("a; _quiet on; b; if (a==b) then { c; }; _quiet off; d; e$"), 0);
    tree_opt5(st.tree);
    std::vector<etreeabs> kinds;
    for (int i = 0; treeabs* s = tree_child(st.tree, i); i++) kinds.push_back(tree_child(s, 1)->kind);
    EXPECT_EQ(kinds, (std::vector<etreeabs>{TREE_DISPLAY, TREE_DISPLAY, TREE_COMMAND, TREE_COMMAND, TREE_DISPLAY,
                                            TREE_DISPLAY, TREE_COMMAND}));
    EXPECT_NE(dump(st.tree).find("list(stmt(null, cmd(id(\"c\"))))"), std::string::npos);
}

// ---------------------------------------------------------------- provisional runner

