// Identifiers: lookup through piles, private/public scopes, file-private names, deletion checks,
// macro argument bindings, the operation table by type codes, and host parameter bindings.
#include "coef/coef_init.h"
#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/kest.h"
#include "interp/runpile.h"
#include "interp/treeabs.h"
#include "interp/treeint.h"
#include "testhelp.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Ids : ::testing::Test {
    t_cctx ctx;
    void SetUp() override { Erreur_Execution = 0; }
    void TearDown() override { Erreur_Execution = 0; }

    elt_runpile* push(erunpile kind, const char* name = nullptr) { return tree_run_setpile(&ctx, kind, name, nullptr); }
    void pop() { tree_run_removepile(&ctx, ctx.pile); }
    void set(const char* name, const char* text) { insere_symbole(&ctx, name, 0, new t_chaine(text, name)); }
    std::string get(const char* name)
    {
        t_idcommon* v = valeur_id(&ctx, recherche_id(&ctx, name).entry);
        std::string out = "(none)";
        if (v) v->Vexport_str(&ctx, out);
        return out;
    }
    template <class F> bool errs(F f) { return reportserror(f); }
};

// A value built on another identifier's value, as a series is built on its variables.
class t_builton final : public t_idcommon_tmpl<t_builton> {
public:
    t_builton(const t_idcommon* base, const char* name) : t_idcommon_tmpl(name), m_base(base) {}
    int Vgettypeenum() const override { return IDTYPE_CHAINE; }
    bool Vdependon(const t_idcommon* other) const override { return other == m_base; }

private:
    const t_idcommon* m_base;
};

} // namespace

TEST_F(Ids, AReturnedValueMayNotBeBuiltOnAPrivateIdentifier)
{
    set("g", "global");
    push(RUNPILE_MACRO, "m");
    kst_private(&ctx, {"p"});
    set("p", "private");
    insere_symbole(&ctx, "onprivate", 0, new t_builton(recherche_id(&ctx, "p").entry->value, "onprivate"));
    insere_symbole(&ctx, "onglobal", 0, new t_builton(recherche_id(&ctx, "g").entry->value, "onglobal"));
    auto ret = [&](const char* name) {
        treeabs* node = treen_new(t_tree_loc{}, TREE_RETURN, 1, PARA_TREE, tree_symbole_new(t_tree_loc{}, strdup(name)));
        testing::internal::CaptureStderr();
        tree_int(&ctx, 0, node);
        std::string err = testing::internal::GetCapturedStderr();
        tree_delete(node);
        bool refused = Erreur_Execution != 0;
        Erreur_Execution = 0;
        EXPECT_EQ(refused, err.find(kst_getmsgerror(486)) != std::string::npos) << err;
        return refused;
    };
    EXPECT_FALSE(ret("onglobal"));
    EXPECT_NE(ctx.pile->retval, nullptr);
    EXPECT_TRUE(ret("onprivate"));             // refused: the earlier result stays
    EXPECT_NE(ctx.pile->retval, nullptr);
    // A loop inside the macro returns for the macro: the loop's private names count as well.
    push(RUNPILE_FOR, "j");
    kst_private(&ctx, {"q"});
    set("q", "loop private");
    insere_symbole(&ctx, "onloop", 0, new t_builton(recherche_id(&ctx, "q").entry->value, "onloop"));
    EXPECT_TRUE(ret("onloop"));
    EXPECT_FALSE(ret("onglobal"));
    pop();
    pop();
}

TEST_F(Ids, AMacroDoesNotSeeItsCallersPrivateIdentifiers)
{
    set("g", "global");
    push(RUNPILE_STRING);
    kst_private(&ctx, {"x", "g"});
    set("x", "caller's x");
    set("g", "caller's g");
    EXPECT_EQ(get("g"), "caller's g");
    push(RUNPILE_MACRO, "m");
    EXPECT_EQ(get("x"), "(none)");                // not visible, and...
    EXPECT_EQ(recherche_id(&ctx, "x").tree, kst_globaltree(&ctx));   // ...assigning makes a global
    EXPECT_EQ(get("g"), "global");
    set("fresh", "made in the macro");
    pop();
    pop();
    EXPECT_EQ(get("x"), "(none)");                // the caller's private x went with its pile
    EXPECT_EQ(get("g"), "global");
    EXPECT_EQ(get("fresh"), "made in the macro");
}

TEST_F(Ids, LoopsSeeTheirEnclosingScopesAndAllPrivateKeepsPublicNames)
{
    set("g", "global");
    push(RUNPILE_MACRO, "m");
    kst_private(&ctx, {"local"});
    set("local", "macro local");
    push(RUNPILE_FOR, "j");
    EXPECT_EQ(get("local"), "macro local");       // a loop is not a barrier
    kst_private_all(&ctx);
    kst_public(&ctx, {"g"});
    EXPECT_EQ(get("local"), "(none)");            // all-private loop: only public names go out
    EXPECT_EQ(get("g"), "global");
    set("inner", "loop only");
    pop();
    EXPECT_EQ(get("inner"), "(none)");
    pop();
}

TEST_F(Ids, PrivateErrorsAndTheInteractiveLevel)
{
    push(RUNPILE_INTERACTIVE);
    ctx.info = true;
    testing::internal::CaptureStdout();
    kst_private(&ctx, {"a", "b"});                // warning 4, nothing declared
    std::string warned = testing::internal::GetCapturedStdout();
    ctx.info = false;
    EXPECT_NE(warned.find("a, b"), std::string::npos) << warned;
    EXPECT_EQ(Erreur_Execution, 0);
    EXPECT_EQ(recherche_id(&ctx, "a").tree, kst_globaltree(&ctx));

    push(RUNPILE_MACRO, "m");
    EXPECT_FALSE(errs([&] { kst_private(&ctx, {"x"}); }));
    EXPECT_TRUE(errs([&] { kst_private(&ctx, {"x"}); }));                  // 380
    macro_affect_parametre_valeur(&ctx, "p", t_macroarg::newvalue(new t_chaine("arg")),
                                  &ctx.pile->parameters);
    push(RUNPILE_WHILE);
    EXPECT_TRUE(errs([&] { kst_private(&ctx, {"p"}); }));                  // 544: enclosing parameter
    EXPECT_FALSE(errs([&] { kst_private(&ctx, {"q"}); }));
    EXPECT_EQ(get("p"), "arg");
    pop();
    pop();
    pop();
}

TEST_F(Ids, FilePrivateNamesStayWithTheirFile)
{
    push(RUNPILE_FILE, "a.t");
    kst_private(&ctx, {"secret"});
    set("secret", "of a.t");
    set("shared", "global");
    EXPECT_EQ(recherche_id(&ctx, "secret").tree, kst_fileprivatetree(&ctx, "a.t", false));
    push(RUNPILE_FILE, "b.t");
    EXPECT_EQ(get("secret"), "(none)");
    EXPECT_EQ(get("shared"), "global");
    pop();
    EXPECT_EQ(get("secret"), "of a.t");
    pop();
    push(RUNPILE_FILE, "a.t");                    // the file runs again: its private names remain
    EXPECT_EQ(get("secret"), "of a.t");
    pop();
    EXPECT_EQ(get("secret"), "(none)");
}

TEST_F(Ids, DeletionAsksTheRegisteredChecks)
{
    static std::string protectedname;
    static bool registered = false;
    if (!registered) {
        add_functions_registered_candelete_arbre([](t_cctx*, const t_identry* e) { return e->name != protectedname; });
        registered = true;
    }
    set("keep", "k");
    set("drop", "d");
    protectedname = "keep";
    EXPECT_TRUE(errs([&] { kst_delete(&ctx, "keep"); }));                  // 97
    EXPECT_EQ(get("keep"), "k");
    EXPECT_FALSE(errs([&] { kst_delete(&ctx, "drop"); }));
    EXPECT_EQ(get("drop"), "(none)");
    EXPECT_TRUE(errs([&] { kst_delete(&ctx, "drop"); }));                  // 38
    protectedname.clear();
}

TEST_F(Ids, MacroArgumentBindings)
{
    t_genarbre params;
    macro_affect_parametre_valeur(&ctx, "a", t_macroarg::newvalue(new t_chaine("one")), &params);
    EXPECT_TRUE(errs([&] { macro_affect_parametre_valeur(&ctx, "a", t_macroarg::newvalue(new t_chaine("two")), &params); }));
    EXPECT_EQ(params.size(), 1u);

    set("target", "before");
    t_identry* target = recherche_id(&ctx, "target").entry;
    t_macroarg* ref = t_macroarg::newreference(target);
    set("target", "after");                        // a reference sees the caller's new value
    std::string seen;
    ref->Vgetvalue()->Vexport_str(&ctx, seen);
    EXPECT_EQ(seen, "after");
    delete ref;

    t_macroarg* none = t_macroarg::newreference(nullptr);
    EXPECT_TRUE(errs([&] { EXPECT_EQ(none->Vgetvalue(), nullptr); }));   // 209
    EXPECT_EQ(none->getFlag(), KST_IDFLAG_MACROARG);
    delete none;
}

// Positional entries answer like named ones: found, refused twice, deleted (the name is free
// again, for the map), counted and visited; a deleted one is not found through its old name.
TEST_F(Ids, PositionalBindingsBehaveAsNamedOnes)
{
    alignas(t_identry) unsigned char store[2 * sizeof(t_identry)];
    t_genarbre params;
    params.usefixed(store, 2);
    ASSERT_NE(params.bind("self", 0, new t_chaine("s")), nullptr);
    auto* dup = new t_chaine("dup");
    EXPECT_EQ(params.bindfixed("self", 0, dup), nullptr);   // refused: the value stays the caller's
    dup->Vdelete();
    t_identry* a = params.bindfixed("a", 0, new t_chaine("one"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(params.bindfixed("bb", 0, new t_chaine("two")), nullptr);
    EXPECT_EQ(params.fixedroom(), 0);
    EXPECT_EQ(params.find("a"), a);
    EXPECT_EQ(params.find("b"), nullptr);
    EXPECT_EQ(params.bind("a", 0, nullptr), nullptr);
    EXPECT_EQ(params.size(), 3u);
    uint64_t gen = kst_idgen();
    EXPECT_TRUE(params.erase("a"));
    EXPECT_GT(kst_idgen(), gen);                   // lookups that remembered it are forgotten
    EXPECT_EQ(params.find("a"), nullptr);
    EXPECT_FALSE(params.erase("a"));
    EXPECT_EQ(params.size(), 2u);
    t_identry* again = params.insert("a", 0, new t_chaine("three"));
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, a);
    std::string seen;
    params.foreach([&](t_identry& e) { seen += e.name + ";"; });
    EXPECT_EQ(seen, "bb;a;self;");
    params.clear();
    EXPECT_EQ(params.size(), 0u);
    EXPECT_EQ(params.find("bb"), nullptr);
}

TEST_F(Ids, OperationTableDefaultsAndGrowth)
{
    id_vtable_init();
    kst_id_vtable_memorize_nbflag();
    t_chaine a("a"), b("b");
    EXPECT_TRUE(errs([&] { EXPECT_EQ(kst_id_binop(&ctx, IDOP_ADD, &a, 1, &b, 1), nullptr); }));   // 105
    EXPECT_TRUE(errs([&] { EXPECT_EQ(a.Vsqrt(&ctx, 0), nullptr); }));                             // 23

    kst_id_vtable_setbinop(IDOP_ADD, IDTYPE_CHAINE, IDTYPE_CHAINE,
                           [](t_cctx*, t_idcommon* x, int kx, t_idcommon* y, int ky) -> t_idcommon* {
                               auto* r = new t_chaine(static_cast<t_chaine*>(x)->text() + static_cast<t_chaine*>(y)->text());
                               if (!kx) x->Vdelete();
                               if (!ky) y->Vdelete();
                               return r;
                           });
    t_idcommon* ab = kst_id_binop(&ctx, IDOP_ADD, &a, 1, new t_chaine("b"), 0);   // b consumed
    ASSERT_NE(ab, nullptr);
    EXPECT_EQ(static_cast<t_chaine*>(ab)->text(), "ab");
    delete ab;

    int code = kst_id_getnewtypeflag();
    EXPECT_EQ(code, IDTYPE_BUILTIN_COUNT);
    EXPECT_EQ(kst_id_vtable_count(), IDTYPE_BUILTIN_COUNT + 1);
    t_idcommon* still = kst_id_binop(&ctx, IDOP_ADD, &a, 1, &b, 1);              // existing entries survive
    ASSERT_NE(still, nullptr);
    delete still;
    kst_id_vtable_reset();
    EXPECT_EQ(kst_id_vtable_count(), IDTYPE_BUILTIN_COUNT);
    id_vtable_init();
}

TEST_F(Ids, HostParametersAreBoundByValueAndReadBack)
{
    t_chaine value("from the host");
    t_cctx* session = t_cctx::getLocalCctx();
    t_idcommon* copy = Mkestparandreturnid("v", "_info off;", "v", 2, &value, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &value);
    EXPECT_EQ(static_cast<t_chaine*>(copy)->text(), "from the host");
    delete copy;
    EXPECT_EQ(recherche_symbole(session, "v"), nullptr);   // the bindings went with the pile
    EXPECT_EQ(Mkestparandreturnid("nothere", "_info off;", "v", 2, &value, nullptr), nullptr);
    EXPECT_EQ(value.text(), "from the host");              // the host's object is untouched
}

// What a remembered lookup relies on: a lookup made from a pile stays valid while that pile runs
// and the generation stands, so every change of what a name means must move the generation, and
// no pile may ever take the serial of one that went, even in the same memory.
TEST_F(Ids, PilesHaveSerialsOfTheirOwnAndOnlyChangesOfMeaningMoveTheGeneration)
{
    push(RUNPILE_FILE, "f.t");
    elt_runpile* first = push(RUNPILE_MACRO, "m");
    uint64_t serial = first->serial;
    uint64_t gen = kst_idgen();
    first->parameters.bind("a", 0, new t_chaine("1", "a"));   // a call's bindings
    EXPECT_EQ(kst_idgen(), gen);
    pop();
    EXPECT_EQ(kst_idgen(), gen);                  // popping the call changes no other pile's view
    elt_runpile* second = push(RUNPILE_MACRO, "m");
    EXPECT_NE(second->serial, serial);            // (its memory may well be the first one's)
    EXPECT_GT(second->serial, serial);
    set("g", "x");                                // a new identifier
    EXPECT_GT(kst_idgen(), gen);
    gen = kst_idgen();
    kst_private(&ctx, {"p"});
    EXPECT_GT(kst_idgen(), gen);
    gen = kst_idgen();
    EXPECT_TRUE(supprime_symbolenom(&ctx, "g", false));
    EXPECT_GT(kst_idgen(), gen);
    pop();
    pop();
}

// A number constant that goes is kept for the next one made: nothing of its former value, name,
// mode or converted view may show through.
TEST_F(Ids, ARecycledConstantCarriesNothingOfItsLastUse)
{
    kst_coef_inittables();
    modenum_init();
    t_cctx* session = t_cctx::getLocalCctx();
    modenum_set(session, NUMRAT);
    t_idconstante* old = t_idconstante::make(session, "first", coef_creenumlong_init(session, 7));
    const coef& seen = old->value(session);
    EXPECT_EQ(coef2ll(&seen), 7);
    modenum_set(session, NUMDBL);
    (void)old->value(session);                    // a converted view exists now
    old->Vdelete();
    t_idconstante* fresh = t_idconstante::make(session, "second", coef_fromdbl(2.5));
    EXPECT_STREQ(fresh->getName(), "second");
    EXPECT_EQ(fresh->modenum(), NUMDBL);
    EXPECT_EQ(coef2dbl(&fresh->value(session)), 2.5);
    EXPECT_EQ(coef2dbl(&fresh->rawvalue()), 2.5);
    t_idcommon* copy = fresh->Vcopy();
    EXPECT_STREQ(copy->getName(), "second");
    copy->Vdelete();
    fresh->Vdelete();
}

// Generations are per thread: a parallel task's declarations must neither move nor race with the
// session thread's count, which its remembered lookups are checked against.
TEST_F(Ids, EachThreadCountsGenerationsOfItsOwn)
{
    uint64_t mine = kst_idgen();
    uint64_t other = 0, otherafter = 0;
    std::thread task([&] {
        other = kst_idgen();
        kst_idgen_bump();
        otherafter = kst_idgen();
    });
    task.join();
    EXPECT_NE(mine >> 40, other >> 40);           // counted in a range of its own
    EXPECT_EQ(otherafter, other + 1);
    EXPECT_EQ(kst_idgen(), mine);                 // the task's bump did not move this thread's
}
