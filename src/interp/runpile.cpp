// Push and pop of run piles, and the questions asked of the pile chain.
#include "interp/runpile.h"
#include "coef/blockpool.h"
#include "interp/cctx.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/treeint.h"

#include <cstdlib>
#include <cstring>

namespace {
// A macro call or a loop turn pushes and pops a pile: piles that go wait, emptied, in a short
// per-thread list, and the next push takes one from there with only the fields it sets afresh
// (building one zeroes several hundred bytes of parameter room that a call mostly leaves unused).
// Popped piles wait here for the next push.
using t_sparepiles = t_sparelist<elt_runpile, 16>;

elt_runpile* takepile()
{
    elt_runpile* pile = t_sparepiles::take();
    if (!pile) return new elt_runpile;
    // What removal left behind: no name, no scope, no return, no stack, no bindings.
    pile->macrodef = nullptr;
    pile->nparams = 0;
    pile->ownsstack = false;
    pile->stack = nullptr;
    pile->parse = nullptr;
    pile->loc = t_tree_loc{};
    pile->trydepth = 0;
    pile->collectsreturn = false;
    pile->fusedacc = nullptr;
    pile->fusedreturned = false;
    return pile;
}

void givepile(elt_runpile* pile)
{
    if (!t_sparepiles::canhold()) {
        delete pile;
        return;
    }
    pile->parameters.release();
    t_sparepiles::keep(pile);
}
} // namespace

namespace {
elt_runpile* pushpile(t_cctx* ctx, erunpile kind, treesharedcode* code, t_pilescope* scope, elt_runpile* pile)
{
    pile->serial = kst_pileserial();
    pile->kind = kind;
    pile->source = code;
    // A macro call's text is held by its running definition (entered before the pile, left after
    // it) and needs no reference of its own: a call counts no atomic more than it must.
    if (!tree_run_getpile_isinmacroexecution(pile)) treesharedcode_attach(code);
    pile->scope = scope;
    pile->parameters.usefixed(pile->paramstore, k_pileparams);
    pile->next = ctx->pile;
    // Loops and macro calls continue the enclosing evaluation on its value stack; a file, a host
    // text or the interactive level starts an evaluation of its own (created on first use).
    bool nested = kind != RUNPILE_FILE && kind != RUNPILE_STRING && kind != RUNPILE_INTERACTIVE;
    if (pile->next && nested) pile->stack = pile->next->stack;
    ctx->pile = pile;
    return pile;
}
} // namespace

elt_runpile* tree_run_setpile(t_cctx* ctx, erunpile kind, const char* name, treesharedcode* code,
                              t_pilescope* scope)
{
    elt_runpile* pile = takepile();
    if (name) {
        size_t n = strlen(name);
        pile->name = n < sizeof pile->namebuf ? static_cast<char*>(memcpy(pile->namebuf, name, n + 1)) : strdup(name);
        pile->ownsname = pile->name != pile->namebuf;
    }
    return pushpile(ctx, kind, code, scope, pile);
}

elt_runpile* tree_run_setmacropile(t_cctx* ctx, const char* name, treesharedcode* code)
{
    elt_runpile* pile = takepile();
    pile->name = const_cast<char*>(name);
    return pushpile(ctx, RUNPILE_MACRO, code, nullptr, pile);
}

elt_runpile* tree_run_takepile() { return takepile(); }

void tree_run_pushmacropile(t_cctx* ctx, elt_runpile* pile, const char* name, treesharedcode* code)
{
    pile->name = const_cast<char*>(name);
    pushpile(ctx, RUNPILE_MACRO, code, nullptr, pile);
}

void tree_run_giveunpushed(elt_runpile* pile) { givepile(pile); }

elt_runpile::~elt_runpile()
{
    for (t_idconstante* k : kept) delete k;
}

void tree_run_removepile(t_cctx* ctx, elt_runpile* pile)
{
    if (!pile) return;
    if (pile->scope) kst_pilescope_release(pile);
    if (ctx->pile == pile) ctx->pile = pile->next;
    if (!tree_run_getpile_isinmacroexecution(pile)) treesharedcode_detach(pile->source);
    if (pile->ownsstack) absrunstack_release(pile->stack);
    if (pile->retval || pile->hasretnumber) tree_run_clearreturn(pile);
    if (pile->ownsname) free(pile->name);
    pile->name = nullptr;
    pile->ownsname = false;
    givepile(pile);
}

void tree_run_clearreturn(elt_runpile* pile)
{
    if (pile->retval) static_cast<t_idcommon*>(pile->retval)->Vdelete();
    pile->retval = nullptr;
    if (pile->hasretnumber) deletecoef(&pile->retnumber);
    pile->hasretnumber = false;
}

elt_runpile* tree_run_getpile(t_cctx* ctx) { return ctx ? ctx->pile : nullptr; }

bool tree_run_getpile_isinmacroexecution(const elt_runpile* pile)
{
    return pile && (pile->kind == RUNPILE_MACRO || pile->kind == RUNPILE_LIBMACRO);
}

bool tree_run_getpile_isintrystatement(const elt_runpile* pile)
{
    for (; pile; pile = pile->next)
        if (pile->trydepth) return true;
    return false;
}

void tree_run_setpile_entertry(elt_runpile* pile) { pile->trydepth++; }
void tree_run_setpile_exittry(elt_runpile* pile) { pile->trydepth--; }

const char* kst_run_getcurrentfilename(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (p->kind == RUNPILE_FILE) return p->name;
    return nullptr;
}

void tree_run_init() {}

// A reset runs only from file, text or interactive piles, each popped by the code that pushed
// it; what the run stack keeps beyond the piles is reset by the rooms that own it.
void tree_run_reset(t_cctx*) {}
