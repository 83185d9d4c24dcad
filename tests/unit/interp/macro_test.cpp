// Macros: definitions and their visibility, resolution of a call, argument binding with "...".
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/macro.h"
#include "interp/runpile.h"
#include "testhelp.h"

#include <gtest/gtest.h>

namespace {

struct Macros : ::testing::Test {
    t_cctx ctx;
    void SetUp() override { Erreur_Execution = 0; }
    void TearDown() override { Erreur_Execution = 0; }

    t_macro* define(const char* name, std::vector<std::string> params, bool privatefile = false,
                    const char* structure = nullptr)
    {
        return macro_lecture(&ctx, name, cellule_parametre_new(params), nullptr, nullptr, privatefile, structure);
    }
    template <class F> bool errs(F f) { return reportserror(f); }
    std::vector<t_macroarg*> args(std::vector<const char*> texts)
    {
        std::vector<t_macroarg*> out;
        for (const char* t : texts) out.push_back(t_macroarg::newvalue(new t_chaine(t)));
        return out;
    }
};

} // namespace

TEST_F(Macros, DefinitionsThatAreRefused)
{
    EXPECT_TRUE(errs([&] { EXPECT_EQ(define("f", {"a", "b", "a"}), nullptr); }));   // 92
    EXPECT_EQ(macro_find(&ctx, "f"), nullptr);
    EXPECT_TRUE(errs([&] { EXPECT_EQ(define("m", {"x"}, false, "planet"), nullptr); }));   // 535
    EXPECT_TRUE(errs([&] { macro_resolve(&ctx, "nothere", false); }));   // 10
    EXPECT_TRUE(errs([&] { enleve_macro(&ctx, "nothere"); }));
}

TEST_F(Macros, VisibilityDecidesWhichVariantACallRuns)
{
    t_macro* pub = define("f", {"a"});
    ASSERT_NE(pub, nullptr);
    t_macro* again = define("f", {"a", "b"});          // same visibility: replaces
    EXPECT_EQ(macro_find(&ctx, "f")->variants().size(), 1u);
    tree_run_setpile(&ctx, RUNPILE_FILE, "lib.t", nullptr);
    t_macro* priv = define("f", {}, true);
    EXPECT_EQ(macro_find(&ctx, "f")->variants().size(), 2u);
    EXPECT_EQ(macro_resolve(&ctx, "f", false), priv);  // inside lib.t its own variant wins
    tree_run_setpile(&ctx, RUNPILE_MACRO, "g", nullptr);
    EXPECT_EQ(macro_resolve(&ctx, "f", false), priv);  // also from a macro called there
    tree_run_removepile(&ctx, ctx.pile);
    tree_run_removepile(&ctx, ctx.pile);
    EXPECT_EQ(macro_resolve(&ctx, "f", false), again); // elsewhere the public one

    ctx.info = true;
    testing::internal::CaptureStdout();
    t_macro* interactive = define("h", {}, true);      // warning 39: becomes public
    std::string warned = testing::internal::GetCapturedStdout();
    ctx.info = false;
    EXPECT_NE(warned.find("h"), std::string::npos);
    EXPECT_TRUE(interactive->ispublic());
    EXPECT_TRUE(enleve_macro(&ctx, "h"));
    EXPECT_EQ(macro_find(&ctx, "h"), nullptr);
    macro_efface_tout(&ctx);
    EXPECT_EQ(macro_find(&ctx, "f"), nullptr);
}

TEST_F(Macros, ArgumentCountsAndOptionalArguments)
{
    t_macro* two = define("two", {"a", "b"});
    t_macro* opt = define("opt", {"a", "..."});
    t_macro* none = define("none", {});
    t_macro* onlyopt = define("onlyopt", {"..."});
    t_genarbre tree;
    EXPECT_TRUE(errs([&] { macro_affect_list_parametre_valeur(&ctx, two, args({"1"}), &tree); }));        // 11
    EXPECT_TRUE(errs([&] { macro_affect_list_parametre_valeur(&ctx, two, args({"1", "2", "3"}), &tree); }));
    EXPECT_TRUE(errs([&] { macro_affect_list_parametre_valeur(&ctx, opt, args({}), &tree); }));
    EXPECT_EQ(tree.size(), 0u);
    EXPECT_TRUE(macro_affect_list_parametre_valeur(&ctx, none, args({}), &tree));
    EXPECT_TRUE(macro_affect_list_parametre_valeur(&ctx, onlyopt, args({}), &tree));

    elt_runpile* pile = tree_run_setpile(&ctx, RUNPILE_MACRO, "opt", nullptr);
    ASSERT_TRUE(macro_affect_list_parametre_valeur(&ctx, opt, args({"x", "y", "z"}), &pile->parameters));
    EXPECT_NE(pile->parameters.find("a"), nullptr);
    EXPECT_NE(pile->parameters.find("macro_optargs[1]"), nullptr);
    tree_run_setpile(&ctx, RUNPILE_FOR, "i", nullptr);      // a loop inside the macro sees them too
    EXPECT_EQ(macro_getsizeoptionalarg(&ctx), 2);
    std::string second;
    macro_getoptionalarg(&ctx, 2)->Vgetvalue()->Vexport_str(&ctx, second);
    EXPECT_EQ(second, "z");
    EXPECT_EQ(macro_getoptionalarg(&ctx, 3), nullptr);
}

TEST(MacroParameters, DuplicateAndLookup)
{
    cellule_parametre* list = cellule_parametre_new({"a", "b", "c", "b"});
    EXPECT_STREQ(macro_verif_parametre(list), "b");
    EXPECT_STREQ(nom_in_parametre("c", list)->name, "c");
    EXPECT_EQ(nom_in_parametre("d", list), nullptr);
    cellule_parametre_delete(list);
    EXPECT_EQ(macro_verif_parametre(nullptr), nullptr);
}
