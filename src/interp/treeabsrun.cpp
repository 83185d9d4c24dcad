// A provisional statement runner: the session statements (quit, error, stop, reset, include,
// pause, cls and a few switches) run; everything else parses but is refused with a message
// until the evaluator takes over.
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/keywords.h"
#include "interp/kest.h"
#include "interp/parsestate.h"
#include "interp/runpile.h"
#include "interp/treeabs.h"

#include <cstring>

namespace {
const char* s_notyet = "this statement cannot run yet";

bool iskeyword(const treeabs* t, const char* word)
{
    if (t->kind < TREE_KEYWORD_FIRST || t->kind > TREE_KIND_LAST) return false;
    int k = t->kind - TREE_KEYWORD_FIRST;
    return k < kst_keywordcount && strcmp(kst_keywordtable()[k].text, word) == 0;
}

// The text of a string literal argument, or null.
const char* stringarg(const treeabs* t, int index)
{
    treeabs* a = tree_child(t, index);
    return (a && a->kind == TREE_STRING) ? tree_string(a, 0) : nullptr;
}

int runbody(t_cctx* ctx, treeabs* body)
{
    if (!body) return 0;
    switch (body->kind) {
    case TREE_QUIT: return 1;
    case TREE_STOP: kst_stop(); return 0;
    case TREE_INCLUDE: kst_include(ctx, tree_string(body, 0), false); return 0;
    default: break;
    }
    if (iskeyword(body, "error") && stringarg(body, 0) && tree_paracount(body) == 1) {
        kst_runerror(ctx, stringarg(body, 0));
    } else if (iskeyword(body, "reset") && !body->params) {
        kst_reset();
    } else if (iskeyword(body, "pause") && !body->params) {
        kst_pause();
    } else if (iskeyword(body, "cls") && !body->params) {
        clrscr();
    } else if ((iskeyword(body, "_info") || iskeyword(body, "_echo")) &&
               (tree_paraint(body, 0) == TREE_OPTION_ON || tree_paraint(body, 0) == TREE_OPTION_OFF)) {
        bool on = tree_paraint(body, 0) == TREE_OPTION_ON;
        if (iskeyword(body, "_info")) ctx->info = on;
        else ctx->echo = on;
    } else if (iskeyword(body, "_language") && tree_paraint(body, 0) == TREE_OPTION_SET &&
               stringarg(body, 1)) {
        set_language(stringarg(body, 1), false);
    } else {
        kst_runerror(ctx, s_notyet);
    }
    return 0;
}

int runstatement(t_cctx* ctx, treeabs* stmt)
{
    if (elt_runpile* pile = tree_run_getpile(ctx)) pile->loc = stmt->loc;
    treeabs* inner = tree_child(stmt, 1);
    return runbody(ctx, tree_child(inner, 0));
}
} // namespace

int tree_run_statement(t_cctx* ctx, treeabs* tree)
{
    if (!tree) return 0;
    if (tree->kind == TREE_STATEMENT) return runstatement(ctx, tree);
    for (lparaabs* c = tree->params; c && !Erreur_Execution; c = c->next) {
        treeabs* stmt = c->para->tag == PARA_TREE ? c->para->value.tree : nullptr;
        if (stmt && stmt->kind == TREE_STATEMENT && runstatement(ctx, stmt)) return 1;
    }
    return 0;
}
