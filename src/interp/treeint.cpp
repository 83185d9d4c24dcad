// The evaluator core: dispatch, value slots, statements and display, literals and names,
// assignment, arithmetic, conditions and control flow.
#include "interp/treeint.h"

#include "coef/modenum.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idclass.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/keywords.h"
#include "interp/kest.h"
#include "interp/libstlmacro.h"
#include "interp/macro.h"
#include "interp/parsestate.h"
#include "interp/rooms.h"
#include "interp/runpile.h"
#include "interp/treeint_omp.h"
#include "render/render.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <cstring>
#include <string>

namespace {
// The evaluator reads children and names at every node: the walk of the parameter list inlined
// here rather than called.
[[gnu::always_inline]] inline paraabs* para(const treeabs* node, int index)
{
    if (!node) return nullptr;
    lparaabs* c = node->params;
    while (c && index--) c = c->next;
    return c ? c->para : nullptr;
}
[[gnu::always_inline]] inline treeabs* kid(const treeabs* node, int index)
{
    paraabs* p = para(node, index);
    return p && p->tag == PARA_TREE ? p->value.tree : nullptr;
}
[[gnu::always_inline]] inline const char* kidname(const treeabs* node, int index)
{
    paraabs* p = para(node, index);
    return p && p->tag == PARA_STRING ? p->value.str : nullptr;
}

// A number constant's value in the mode in force, and a new value (owned) for it: a value stored
// in that very mode is read as it is, and a new value of the type already stored needs no
// conversion (a loop's counter and accumulators).
inline int modeof(const t_cctx* ctx) { return ctx->kc.num.modenum; }
// tree_flags, inlined: asked after nearly every node.
[[gnu::always_inline]] inline bool flagged(t_cctx* ctx) { return ctx->kc.stoprequested() || Erreur_Execution; }
const coef& numberof(t_cctx* ctx, const t_idconstante* k)
{
    return k->modenum() == modeof(ctx) ? k->rawvalue() : k->value(ctx);
}
// A number (owned) into the mode in force; a double in the double mode is already there.
inline void tomode(t_cctx* ctx, coef* c)
{
    if (c->type == BH_DBL && modeof(ctx) == NUMDBL) return;
    modenum_convert(ctx, c);
}
void setnumber(t_cctx* ctx, t_idconstante* k, coef c)
{
    if (k->modenum() == modeof(ctx) && c.type == k->rawvalue().type) k->setconverted(c);
    else k->setvalue(ctx, c);
}
} // namespace

void kst_time_statementstart();
void kst_time_statementend(t_cctx* ctx);

namespace {

constexpr int s_nkinds = 504;
t_treehandler s_handlers[s_nkinds];

struct {
    t_hookstatement before = nullptr, after = nullptr;
    void* user = nullptr;
    t_hooknode node = nullptr;
    void* nodeuser = nullptr;
} s_hooks;

absrunstack* stackof(t_cctx* ctx)
{
    elt_runpile* pile = tree_run_getpile(ctx);
    if (!pile->stack) {
        pile->stack = new absrunstack;
        pile->ownsstack = true;
        pile->stack->slots.reserve(200);
        pile->stack->slots.resize(200);
        pile->stack->limit = 190;
    }
    return pile->stack;
}

// Capacity doubles when an evaluation comes within 10 slots of it.
void ensureslot(t_cctx* ctx, int slot)
{
    absrunstack* st = stackof(ctx);
    size_t need = static_cast<size_t>(slot) + 10;
    if (need >= st->slots.size()) st->slots.resize(std::max(st->slots.size() * 2, need + 1));
    st->limit = st->slots.size() - 10;
}

} // namespace

// ---------------------------------------------------------------- slots

namespace {
[[gnu::noinline]] absrun_slot& growslot(t_cctx* ctx, int slot)
{
    ensureslot(ctx, slot);
    return stackof(ctx)->slots[slot];
}

// Every node asks for its slots several times: the common case, a stack that already has room,
// is inlined into the evaluator's handlers.
[[gnu::always_inline]] inline absrun_slot& slotat(t_cctx* ctx, int slot)
{
    if (elt_runpile* pile = ctx->pile) {
        absrunstack* st = pile->stack;
        if (st && static_cast<size_t>(slot) < st->limit) return st->slots.data()[slot];
    }
    return growslot(ctx, slot);
}
} // namespace

absrun_slot& tree_slot(t_cctx* ctx, int slot) { return slotat(ctx, slot); }

namespace {
void cleanslot(absrun_slot& s)
{
    switch (s.tag) {
    case kr_coef: deletecoef(&s.c); break;
    case kr_opaque: if (s.obj) s.obj->Vdelete(); break;
    case kr_id_elt_tab_nom: free(s.name); break;
    case kr_id_elt_tab:
        s.entry->inuse--;
        s.entry->held--;
        break;
    default: break;
    }
    s.tag = kr_end;
}

// A slot that names an identifier keeps it alive until the slot is cleaned.
void setentry(absrun_slot& s, t_identry* entry)
{
    cleanslot(s);
    s.tag = kr_id_elt_tab;
    s.entry = entry;
    entry->inuse++;
    entry->held++;
}
} // namespace

void tree_run_cleanres(t_cctx* ctx, int slot) { cleanslot(slotat(ctx, slot)); }

namespace {
// A slot that holds nothing needs no cleaning: most do, between the nodes of a statement.
[[gnu::always_inline]] inline void cleanat(t_cctx* ctx, int slot)
{
    absrun_slot& s = slotat(ctx, slot);
    if (s.tag != kr_end) cleanslot(s);
}
} // namespace

void absrunstack_release(absrunstack* stack)
{
    for (absrun_slot& s : stack->slots) cleanslot(s);
    delete stack;
}

void tree_slot_setobject(t_cctx* ctx, int slot, t_idcommon* owned)
{
    cleanat(ctx, slot);
    absrun_slot& s = slotat(ctx, slot);
    if (!owned) return;
    s.obj = owned;
    s.tag = kr_opaque;
}

void tree_slot_setcoef(t_cctx* ctx, int slot, coef owned)
{
    cleanat(ctx, slot);
    absrun_slot& s = slotat(ctx, slot);
    s.c = owned;
    s.tag = kr_coef;
}

bool tree_flags(t_cctx* ctx) { return ctx->kc.stoprequested() || Erreur_Execution; }

const t_idcommon* tree_slot_value(t_cctx* ctx, int slot)
{
    absrun_slot& s = slotat(ctx, slot);
    switch (s.tag) {
    case kr_coef: {
        // Numbers become objects when something needs them as values.
        coef c = s.c;
        s.tag = kr_end;
        tree_slot_setobject(ctx, slot, t_idconstante::make(ctx, "", c));
        return slotat(ctx, slot).obj;
    }
    case kr_opaque:
    case kr_nd_opaque: return s.obj ? s.obj->Vgetvalue() : nullptr;
    case kr_id_elt_tab: return valeur_id(ctx, s.entry);
    default: return nullptr;
    }
}

t_idcommon* tree_slot_takeobject(t_cctx* ctx, int slot)
{
    absrun_slot& s = slotat(ctx, slot);
    t_idcommon* out = nullptr;
    switch (s.tag) {
    case kr_coef: out = t_idconstante::make(ctx, "", s.c); s.tag = kr_end; return out;
    case kr_opaque:
        out = s.obj;
        if (out && out->getFlag() == KST_IDFLAG_MACROARG) {   // a binding gives a copy of its value
            t_idcommon* v = out->Vgetvalue();
            t_idcommon* copy = v ? v->Vcopy() : nullptr;
            out->Vdelete();
            out = copy;
        }
        s.tag = kr_end;
        return out;
    default: break;
    }
    const t_idcommon* v = tree_slot_value(ctx, slot);
    out = v ? v->Vcopy() : nullptr;
    cleanat(ctx, slot);
    return out;
}

bool tree_eval_subscripts(t_cctx* ctx, int slot, treeabs* args, std::vector<t_subscript>* out)
{
    int used = 0;
    for (int i = 0; treeabs* a = kid(args, i); i++) {
        t_subscript s;
        if (a->kind == TREE_ELLIPSIS) {
            s.kind = t_subscript::ellipsis;
        } else if (a->kind == TREE_BORNETAB) {
            s.kind = t_subscript::range;
            long* bounds[] = {&s.first, &s.last, &s.step};
            for (int k = 0; k < 3; k++) {
                treeabs* b = kid(a, k);
                if (!b) continue;
                tree_int(ctx, slot + used, b);
                bool ok = !flagged(ctx) && tree_slot_integer(ctx, slot + used, bounds[k]);
                cleanat(ctx, slot + used);
                if (!ok) return false;
            }
        } else {
            tree_int(ctx, slot + used, a);
            if (flagged(ctx)) return false;
            s.v = tree_slot_value(ctx, slot + used);
            if (!s.v) {
                kst_runerror(ctx, 105);
                return false;
            }
            s.v = const_cast<t_idcommon*>(s.v)->Vgetvalue();
            used++;
        }
        out->push_back(s);
    }
    return true;
}

int tree_eval_arguments(t_cctx* ctx, int slot, treeabs* node, int first)
{
    int n = 0;
    for (int i = first; treeabs* a = kid(node, i); i++, n++) {
        tree_int(ctx, slot + n, a);
        if (flagged(ctx)) {
            for (int k = 0; k <= n; k++) cleanat(ctx, slot + k);
            return -1;
        }
    }
    return n;
}

void tree_clean_arguments(t_cctx* ctx, int slot, int n)
{
    for (int i = 0; i < n; i++) cleanat(ctx, slot + i);
}

void tree_clean_subscripts(t_cctx* ctx, int slot, const std::vector<t_subscript>& subscripts)
{
    int used = 0;
    for (const t_subscript& s : subscripts)
        if (s.kind == t_subscript::value) used++;
    // A failed evaluation may have left its value in the next slot.
    for (int k = 0; k <= used; k++) cleanat(ctx, slot + k);
}

bool tree_slot_integer(t_cctx* ctx, int slot, long* out)
{
    const t_idcommon* v = tree_slot_value(ctx, slot);
    if (!v || !v->Vislonginteger()) {
        kst_runerror(ctx, 45);
        return false;
    }
    *out = v->Vgetlonginteger();
    return true;
}

bool tree_slot_string(t_cctx* ctx, int slot, std::string* out)
{
    const t_idcommon* v = tree_slot_value(ctx, slot);
    if (!v || !v->Visconvertibletochar() || !v->Vexport_str(ctx, *out)) {
        kst_runerror(ctx, 42);
        return false;
    }
    return true;
}

namespace {

// A number operand of an arithmetic node: the coefficient and whether it must be kept.
bool slotnumber(t_cctx* ctx, int slot, coef** c, int* keep)
{
    absrun_slot& s = slotat(ctx, slot);
    if (s.tag == kr_coef) {
        *c = &s.c;
        *keep = 0;
        return true;
    }
    const t_idcommon* v = tree_slot_value(ctx, slot);
    if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) return false;
    *c = const_cast<coef*>(&numberof(ctx, static_cast<const t_idconstante*>(v)));
    *keep = 1;
    return true;
}

// After an operation consumed a slot's own number, the slot owns nothing any more.
void consumed(t_cctx* ctx, int slot, int keep)
{
    if (!keep) slotat(ctx, slot).tag = kr_end;
    cleanat(ctx, slot);
}

int evalchildren(t_cctx* ctx, int slot, treeabs* node, int count)
{
    for (int k = 0; k < count; k++) {
        tree_int(ctx, slot + 1 + k, kid(node, k));
        if (flagged(ctx)) return 0;
    }
    return 1;
}

void cleanchildren(t_cctx* ctx, int slot, int count)
{
    for (int k = 0; k < count; k++) cleanat(ctx, slot + 1 + k);
}

// ---------------------------------------------------------------- structure

// The statement's text as written (for echo and history).
void echo_and_history(t_cctx* ctx, treeabs* node)
{
    if (!ctx->echo && !(ctx->historyfile && ctx->historywrite && ctx->hist)) return;
    elt_runpile* pile = tree_run_getpile(ctx);
    treesharedcode* code = pile ? pile->source : nullptr;
    if (!code || !node->loc.isvalid()) return;
    int from = node->loc.first_column, to = node->loc.last_column + 1;
    if (from < 0 || to > code->length || from >= to) return;
    int n = to - from;
    const char* text = code->text + from;
    if (ctx->echo) {
        fputs(" Commande >> ", g_stdout);
        if (n > 71) fprintf(g_stdout, "%.61s...%.9s", text, text + n - 9);
        else fprintf(g_stdout, "%.*s", n, text);
        fputc('\n', g_stdout);
    }
    if (!Erreur_Execution && ctx->historyfile && ctx->historywrite && ctx->hist) {
        fprintf(ctx->historyfile, "%.*s\n", n, text);
        fflush(ctx->historyfile);
    }
}

// _comment on: the comments written before a statement are shown, as written, before it runs.
void showcomments(t_cctx* ctx, treeabs* comments)
{
    elt_runpile* pile = tree_run_getpile(ctx);
    treesharedcode* code = pile ? pile->source : nullptr;
    for (int i = 0; treeabs* c = kid(comments, i); i++) {
        if (c->kind != TREE_COMMENT || !code || !c->loc.isvalid()) continue;
        int from = c->loc.first_column, to = c->loc.last_column + 1;
        if (from < 0 || to > code->length || from >= to) continue;
        while (to > from && (code->text[to - 1] == '\n' || code->text[to - 1] == '\r')) to--;
        fprintf(g_stdout, "%.*s\n", to - from, code->text + from);
    }
}

// Statements being run by this thread: only the outermost one is timed, the statements of its
// blocks, loops, macro calls and included files being part of it.
thread_local int s_statementdepth __attribute__((tls_model("initial-exec"))) = 0;
// The expression of a statement ended by "$" being run straight by a block: an assignment there
// need not leave the identifier in its slot as its value, nothing will read it.
thread_local const treeabs* s_discarded __attribute__((tls_model("initial-exec"))) = nullptr;

int h_statement(t_cctx* ctx, int slot, treeabs* node)
{
    if (s_hooks.before) s_hooks.before(ctx, &node->loc, s_hooks.user);
    if (ctx->comment) showcomments(ctx, kid(node, 0));
    // Reading the process clock is a system call: only when _time asks for it.
    bool top = s_statementdepth++ == 0 && !ctx->master;   // parallel tasks time nothing
    bool started = top && ctx->time;
    if (started) kst_time_statementstart();
    int r = 0;
    if (!kid(node, 0) || !kst_omp_statement(ctx, slot, node, &r)) {
        treeabs* body = kid(node, 1);
        // A statement ended by "$" runs its expression and drops the value: done here (the
        // command node reports nothing of its own) unless a hook watches every node.
        if (body && (body->kind == TREE_COMMAND || body->kind == TREE_INSTRUCTION) && !s_hooks.node) body = kid(body, 0);
        r = tree_int(ctx, slot, body);
    }
    cleanat(ctx, slot);
    if (!flagged(ctx)) {
        echo_and_history(ctx, node);
        if (top && ctx->time) {
            if (!started) kst_time_statementstart();   // `_time on` itself: timed from its end
            kst_time_statementend(ctx);
        }
    }
    s_statementdepth--;
    if (s_hooks.after) s_hooks.after(ctx, &node->loc, s_hooks.user);
    return r;
}

// A statement inside a block (a loop's, a macro's, a branch's) with nothing around it to do:
// no comment, no parallel directive, no hook, no echo, no history, not timed since it is not
// the outermost. Its expression runs straight, in the statement's place.
bool plainstatement(t_cctx* ctx, const treeabs* node)
{
    return node->kind == TREE_STATEMENT && s_statementdepth > 0 && !kid(node, 0) && !s_hooks.before &&
           !s_hooks.after && !s_hooks.node && !ctx->comment && !ctx->echo && !(ctx->historyfile && ctx->historywrite && ctx->hist);
}

// Nothing around the statements of a block has work to do now (plainstatement without the
// statement's own part).
[[gnu::always_inline]] inline bool plainnow(const t_cctx* ctx)
{
    return s_statementdepth > 0 && !s_hooks.before && !s_hooks.after && !s_hooks.node && !ctx->comment && !ctx->echo &&
           !(ctx->historyfile && ctx->historywrite && ctx->hist);
}

// What a plain run of a statement takes from it, worked out at its first run by the session's
// context and kept in the node; null when the statement is not for it.
[[gnu::noinline]] const decltype(treeabs::cache.stmt)* stmtplan(treeabs* node)
{
    auto& p = node->cache.stmt;
    if (kid(node, 0)) {
        p.state = 2;
        return nullptr;
    }
    treeabs* body = kid(node, 1);
    if (body && (body->kind == TREE_COMMAND || body->kind == TREE_INSTRUCTION)) body = kid(body, 0);
    else if (body && body->kind == TREE_DISPLAY && kid(body, 0) && kid(body, 0)->kind == TREE_RETURN) body = kid(body, 0);
    p.expr = body;
    p.discard = body != kid(node, 1);
    p.loc = body && body->loc.isvalid() ? &body->loc : node->loc.isvalid() ? &node->loc : nullptr;
    p.state = 1;
    return &p;
}

int h_list(t_cctx* ctx, int slot, treeabs* node)
{
    for (lparaabs* c = node->params; c; c = c->next) {
        treeabs* child = c->para->tag == PARA_TREE ? c->para->value.tree : nullptr;
        if (!child) continue;
        int r;
        if (child->kind == TREE_STATEMENT && child->cache.stmt.state != 2 && !ctx->master && plainnow(ctx)) {
            // The statement's expression is run here, in its place, as tree_int would run it
            // after the checks that its enclosing nodes made already.
            const auto* p = child->cache.stmt.state == 1 ? &child->cache.stmt : stmtplan(child);
            if (!p) {
                r = tree_int(ctx, slot, child);
            } else {
                r = 0;
                if (treeabs* expr = p->expr) {
                    elt_runpile* pile = ctx->pile;
                    t_tree_loc saved = pile->loc;
                    if (p->loc) pile->loc = *p->loc;
                    const treeabs* outer = s_discarded;
                    if (p->discard) s_discarded = expr;
                    cleanat(ctx, slot);
                    if (!flagged(ctx)) r = s_handlers[tree_kindindex(expr->kind)](ctx, slot, expr);
                    s_discarded = outer;
                    if (ctx->pile == pile) pile->loc = saved;
                }
            }
        } else if (plainstatement(ctx, child)) {
            treeabs* body = kid(child, 1);
            if (body && (body->kind == TREE_COMMAND || body->kind == TREE_INSTRUCTION)) body = kid(body, 0);
            // `return x;` shows nothing: the value goes to the pile, the statement's slot stays empty.
            else if (body && body->kind == TREE_DISPLAY && kid(body, 0) && kid(body, 0)->kind == TREE_RETURN) body = kid(body, 0);
            elt_runpile* pile = ctx->pile;
            t_tree_loc saved = pile->loc;
            if (child->loc.isvalid()) pile->loc = child->loc;
            if (body != kid(child, 1)) s_discarded = body;
            r = tree_int(ctx, slot, body);
            s_discarded = nullptr;
            if (ctx->pile == pile) pile->loc = saved;
        } else {
            r = tree_int(ctx, slot, child);
        }
        cleanat(ctx, slot);
        if (r) return r;
        if (flagged(ctx)) break;
    }
    return 0;
}

int h_command(t_cctx* ctx, int slot, treeabs* node)
{
    int r = tree_int(ctx, slot, kid(node, 0));
    cleanat(ctx, slot);
    return r;
}

void display(t_cctx* ctx, int slot)
{
    absrun_slot& s = slotat(ctx, slot);
    switch (s.tag) {
    case kr_end: return;
    case kr_boolean: fprintf(g_stdout, "\t %d\n", s.b); return;
    case kr_entier: fprintf(g_stdout, "\t %d\n", s.i); return;
    case kr_id_elt_tab_nom: fprintf(g_stdout, "%s : %s !\n", s.name, kst_getmsginfo(74)); return;
    case kr_id_elt_tab:
        if (s.entry && s.entry->value) s.entry->value->Vgetvalue()->Vdisplay_resume(ctx, g_stdout);
        return;
    default:
        if (const t_idcommon* v = tree_slot_value(ctx, slot)) v->Vdisplay_resume(ctx, g_stdout);
        return;
    }
}

// Values stored under another numeric mode follow the mode when they are used. Slots hold the
// entry, not the value, so a pending operand sees the replacement too.
void followmode(t_cctx* ctx, t_identry* e)
{
    if (!e->value || e->borrowed) return;   // a task must not replace its caller's object
    if (t_idcommon* updated = e->value->Vupdatevalue(ctx)) {
        updated->Vupdatename(e->name.c_str());
        e->value->Vdelete();
        e->value = updated;
    }
}

int h_display(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* body = kid(node, 0);
    // A bare name with no identifier is shown as such rather than reported.
    if (body && body->kind == TREE_SYMBOL) {
        t_identificateur_syntaxe ref = recherche_id(ctx, kidname(body, 0));
        absrun_slot& s = slotat(ctx, slot);
        if (ref.entry) {
            followmode(ctx, ref.entry);
            setentry(s, ref.entry);
        } else {
            s.tag = kr_id_elt_tab_nom;
            s.name = strdup(kidname(body, 0));
        }
    } else {
        int r = tree_int(ctx, slot, body);
        if (r) return r;
    }
    if (!flagged(ctx)) display(ctx, slot);
    cleanat(ctx, slot);
    return 0;
}

// ---------------------------------------------------------------- literals and names

// A literal is read from its text once per numeric mode: a loop that adds 1 does not parse "1"
// at every turn. Only numbers that own no memory are remembered (doubles, 64-bit rationals).
int literal(t_cctx* ctx, int slot, treeabs* node, coef (*read)(t_cctx*, const char*))
{
    auto& m = node->cache.number;
    const int mode = ctx->master ? -1 : modeof(ctx) + 1;
    coef c{};
    if (mode > 0 && m.mode == mode) {
        memcpy(c.w, m.w, sizeof c.w);
        c.i32 = m.i32;
        c.type = static_cast<eBHTypeCoef>(m.type);
    } else {
        c = read(ctx, kidname(node, 0));
        if (mode > 0 && mode < 128 && (c.type == BH_DBL || c.type == BH_RAT || c.type == BH_ZERO)) {
            memcpy(m.w, c.w, sizeof c.w);
            m.i32 = c.i32;
            m.type = c.type;
            m.mode = static_cast<int8_t>(mode);
        }
    }
    tree_slot_setcoef(ctx, slot, c);
    return 0;
}

int h_integer(t_cctx* ctx, int slot, treeabs* node) { return literal(ctx, slot, node, strentierlong2coef); }
int h_real(t_cctx* ctx, int slot, treeabs* node) { return literal(ctx, slot, node, strreal2coef); }

int h_string(t_cctx* ctx, int slot, treeabs* node)
{
    tree_slot_setobject(ctx, slot, new t_chaine(kidname(node, 0) ? kidname(node, 0) : ""));
    return 0;
}

int h_filename(t_cctx* ctx, int slot, treeabs* node)
{
    tree_slot_setobject(ctx, slot, new t_filename(kidname(node, 0) ? kidname(node, 0) : ""));
    return 0;
}

int h_pi(t_cctx* ctx, int slot, treeabs*)
{
    tree_slot_setcoef(ctx, slot, coef_pi2coef(ctx));
    return 0;
}

int h_icomplex(t_cctx* ctx, int slot, treeabs*)
{
    tree_slot_setcoef(ctx, slot, coef_creenumcplx_init(0, 1));
    return 0;
}

// The entry a name node resolves to, remembered in the node for the session's own context (a
// parallel task resolves afresh: its lookups may copy from the starting context).
t_identry* lookupslow(t_cctx* ctx, treeabs* node, bool forassignment);

// The entry remembered for this pile under the current generation, else the lookup.
[[gnu::always_inline]] inline t_identry* lookupnode(t_cctx* ctx, treeabs* node, bool forassignment)
{
    auto& c = node->cache.name;
    elt_runpile* pile = ctx->pile;
    if (c.ctx == ctx && pile && c.gen == kst_idgen_now() && !ctx->master) {
        if (c.serial == pile->serial) return c.entry;
        // A parameter of the macro the body belongs to: the same position in this call.
        if (c.macro && c.macro == pile->macrodef && c.param < pile->nparams && pile->params[c.param]) {
            c.serial = pile->serial;
            c.entry = pile->params[c.param];
            return c.entry;
        }
    }
    return lookupslow(ctx, node, forassignment);
}

[[gnu::noinline]] t_identry* lookupslow(t_cctx* ctx, treeabs* node, bool forassignment)
{
    auto& c = node->cache.name;
    elt_runpile* pile = ctx->pile;
    if (!ctx->master && c.ctx == ctx && c.gen == kst_idgen() && pile) {
        if (c.serial == pile->serial) return c.entry;
        // A parameter of the macro the body belongs to: the same position in this call.
        if (c.macro && c.macro == pile->macrodef && c.param < pile->nparams && pile->params[c.param]) {
            c.serial = pile->serial;
            c.entry = pile->params[c.param];
            return c.entry;
        }
    }
    t_identificateur_syntaxe ref = recherche_id(ctx, kidname(node, 0), forassignment);
    t_identry* e = ref.entry;
    if (e && !ctx->master && pile) {
        c.gen = kst_idgen();
        c.serial = pile->serial;
        c.ctx = ctx;
        c.entry = e;
        c.macro = nullptr;
        if (pile->macrodef && ref.tree == &pile->parameters) {
            for (int k = 0; k < pile->nparams; k++) {
                if (pile->params[k] == e) {
                    c.macro = pile->macrodef;
                    c.param = k;
                }
            }
        }
    }
    return e;
}

int h_symbol(t_cctx* ctx, int slot, treeabs* node)
{
    t_identry* e = lookupnode(ctx, node, false);
    if (!e || !e->value) {
        kst_runerror(ctx, 38);
        return 0;
    }
    followmode(ctx, e);
    setentry(slotat(ctx, slot), e);
    return 0;
}

// ---------------------------------------------------------------- numbers read in place

// The number a literal was last read as under the mode in force, if it was.
bool cachedliteral(t_cctx* ctx, const treeabs* node, coef* out)
{
    auto& m = node->cache.number;
    if (ctx->master || m.mode != modeof(ctx) + 1) return false;
    memcpy(out->w, m.w, sizeof out->w);
    out->i32 = m.i32;
    out->type = static_cast<eBHTypeCoef>(m.type);
    return true;
}

// The number a name holds, its value first following the mode as h_symbol has it follow; null
// when the name holds anything else (or nothing: the general path reports it).
const coef* namenumber(t_cctx* ctx, treeabs* node)
{
    t_identry* e = lookupnode(ctx, node, false);
    if (!e || !e->value) return nullptr;
    t_idcommon* v = e->value;
    // (a constant follows the mode as it is read: nothing to replace)
    if (v->Vgettypeenum() == IDTYPE_CONSTANTE) return &numberof(ctx, static_cast<t_idconstante*>(v));
    followmode(ctx, e);
    v = e->value;
    if (v->getFlag() == KST_IDFLAG_MACROARG) v = static_cast<t_macroarg*>(v)->peek();
    if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) return nullptr;
    return &numberof(ctx, static_cast<t_idconstante*>(v));
}

// ---------------------------------------------------------------- subscripts

// The only subscript of a list when it is a plain expression (no range, no "..."), else null.
treeabs* plainsubscript(treeabs* args)
{
    treeabs* only = kid(args, 0);
    if (!only || kid(args, 1) || only->kind == TREE_ELLIPSIS || only->kind == TREE_BORNETAB) return nullptr;
    return only;
}

// The whole number an evaluated subscript holds, read as the general path reads it (a number
// becomes a constant of the context's mode first); false for anything else.
bool slotsubscript(t_cctx* ctx, int slot, long* out)
{
    absrun_slot& s = slotat(ctx, slot);
    if (s.tag == kr_coef) {
        modenum_convert(ctx, &s.c);
        if (coef_iszero(&s.c)) {
            *out = 0;
            return true;
        }
        if (!coef_vt(&s.c).isentierlong(&s.c)) return false;
        long long v = coef2ll(&s.c);
        if (v < INT32_MIN || v > INT32_MAX) return false;
        *out = static_cast<long>(v);
        return true;
    }
    if (s.tag != kr_id_elt_tab) return false;
    const t_idcommon* v = valeur_id(ctx, s.entry);
    if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE || !v->Visinteger()) return false;
    *out = v->Vgetlonginteger();
    return true;
}

// The whole number held by a subscript that is a name or a literal, read in place with the
// checks of slotsubscript; false for anything else (the general path then evaluates it).
bool directsubscript(t_cctx* ctx, treeabs* node, long* out)
{
    coef buf;
    const coef* c = nullptr;
    if (node->kind == TREE_SYMBOL) {
        c = namenumber(ctx, node);
    } else if ((node->kind == TREE_INTEGER || node->kind == TREE_REAL || node->kind == TREE_REAL_OR_INTEGER) &&
               cachedliteral(ctx, node, &buf)) {
        tomode(ctx, &buf);
        c = &buf;
    }
    if (!c) return false;
    bool ok = true;
    if (c->type == BH_DBL) {
        // A double: a whole number within 32 bits, as the type's own test and conversion find it
        // (without calling floor).
        double v = c->d;
        ok = v >= INT32_MIN && v <= INT32_MAX && static_cast<double>(static_cast<long>(v)) == v;
        if (ok) *out = static_cast<long>(v);
    } else if (coef_iszero(c)) {
        *out = 0;
    } else if (!coef_vt(c).isentierlong(c)) {
        ok = false;
    } else {
        long long v = coef2ll(c);
        ok = v >= INT32_MIN && v <= INT32_MAX;
        if (ok) *out = static_cast<long>(v);
    }
    if (c == &buf) deletecoef(&buf);
    return ok;
}

// The value a name of a subscripted read or write stands for (through a macro's binding), its
// value first following the mode; null when it holds nothing.
t_idcommon* subscripted(t_cctx* ctx, t_identry* e)
{
    if (!e || !e->value) return nullptr;
    followmode(ctx, e);
    t_idcommon* v = e->value;
    if (v->getFlag() == KST_IDFLAG_MACROARG) v = static_cast<t_macroarg*>(v)->peek();
    return v ? v->Vgetvalue() : nullptr;
}

// x[k] with x a name and k a name or a literal, the element a number: read into *out (owned, in
// the mode in force) with no slot and no value object. False when anything differs: the general
// path then evaluates it (and reports what is wrong).
bool elementshape(treeabs* node, treeabs** name, treeabs** only)
{
    *name = kid(node, 0);
    *only = plainsubscript(kid(node, 1));
    if (!*name || (*name)->kind != TREE_SYMBOL || !*only) return false;
    const char* text = kidname(*name, 0);
    return !(text[0] == 'm' && strcmp(text, "macro_optargs") == 0);
}

bool elementnumber(t_cctx* ctx, treeabs* node, coef* out)
{
    // The shape of the node is worked out once (by the session's context, which alone writes it).
    auto& m = node->cache.element;
    treeabs *name, *only;
    if (ctx->master) {
        if (!elementshape(node, &name, &only)) return false;
    } else if (m.state == 1) {
        name = m.name;
        only = m.subscript;
    } else if (m.state == 2) {
        return false;
    } else {
        bool plain = elementshape(node, &name, &only);
        m.state = plain ? 1 : 2;
        m.name = name;
        m.subscript = only;
        if (!plain) return false;
    }
    long i;
    if (!directsubscript(ctx, only, &i)) return false;
    const t_idcommon* v = subscripted(ctx, lookupnode(ctx, name, false));
    if (!v || !v->Vextract_number(ctx, i, out)) return false;
    tomode(ctx, out);
    return true;
}

// One operand read in place: a name or a literal (borrowed, keep 1) or an element x[k] (owned,
// in *buf, keep 0).
bool directoperand(t_cctx* ctx, treeabs* n, coef* buf, coef** out, int* keep)
{
    *keep = 1;
    switch (n->kind) {
    case TREE_SYMBOL: *out = const_cast<coef*>(namenumber(ctx, n)); return *out != nullptr;
    case TREE_INTEGER:
    case TREE_REAL:
    case TREE_REAL_OR_INTEGER: *out = buf; return cachedliteral(ctx, n, buf);
    case TREE_INDEX:
        *out = buf;
        *keep = 0;
        return elementnumber(ctx, n, buf);
    default: return false;
    }
}

// Both operands of a binary node names, literals or elements holding numbers: nothing evaluated
// between reading one and the other can change either, so both are read where they are, with no
// slot holding an identifier. False: take the general path (which also reports what is wrong).
// Not while a node hook watches every node.
// (x + x: the second read finds the value already following the mode, so the first stays.)
bool directoperands(t_cctx* ctx, treeabs* node, coef** a, coef* abuf, int* ka, coef** b, coef* bbuf, int* kb)
{
    if (s_hooks.node) return false;
    treeabs* x = kid(node, 0);
    treeabs* y = kid(node, 1);
    if (!x || !y || !directoperand(ctx, x, abuf, a, ka)) return false;
    if (directoperand(ctx, y, bbuf, b, kb)) return true;
    if (!*ka) deletecoef(abuf);
    return false;
}

// ---------------------------------------------------------------- assignment

// Stores `value` (owned) under `name` following the lookup; a by-reference macro argument passes
// the assignment on to the caller's identifier.
// A pending operand of an enclosing expression reads the identifier it holds after the assignment
// ends (y = x + %setx), so replacing that value under it is refused.
bool assignable(t_cctx* ctx, const t_identry* e)
{
    if (!e || !e->held) return true;
    kst_runerror(ctx, 98, e->name.c_str());
    return false;
}

// A number stored in place into an identifier's constant. A parameter's first assignment names
// the constant after the parameter, as storing a new value would (a number passed by value
// arrives under the caller's name).
[[gnu::always_inline]] inline void storedinplace(t_identry* e)
{
    if (e->flag == KST_IDFLAG_MACROARG) e->value->Vupdatename(e->name.c_str());
    e->flag = 0;
}

void assignname(t_cctx* ctx, const char* name, t_idcommon* value)
{
    t_identificateur_syntaxe ref = recherche_id(ctx, name, true);
    if (!assignable(ctx, ref.entry)) {
        value->Vdelete();
        return;
    }
    if (ref.entry && ref.entry->value && ref.entry->value->getFlag() == KST_IDFLAG_MACROARG) {
        auto* arg = static_cast<t_macroarg*>(ref.entry->value);
        if (arg->getkind() == t_macroarg::byreference && arg->getreference()) {
            t_identry* target = arg->getreference();
            if (!assignable(ctx, target)) {
                value->Vdelete();
                return;
            }
            value->Vupdatename(target->name.c_str());
            kst_identry_setvalue(target, value);
            return;
        }
    }
    value->Vupdatename(name);
    insere_elt_arbre_id(ctx, name, 0, value, ref.tree);
}

int assignindexed(t_cctx* ctx, int slot, treeabs* target, t_idcommon* value);
int directarithmetic(t_cctx* ctx, int slot, treeabs* node, treeabs* target);
int h_macrocall(t_cctx* ctx, int slot, treeabs* node);

// x = %f[...]: the call node entered as tree_int enters it, without its depth check (the call
// makes its own, exact one) and its dispatch.
void callnode(t_cctx* ctx, int slot, treeabs* node)
{
    cleanat(ctx, slot);
    if (flagged(ctx)) return;
    elt_runpile* pile = ctx->pile;
    if (!node->loc.isvalid()) {
        h_macrocall(ctx, slot, node);
        return;
    }
    t_tree_loc saved = pile->loc;
    pile->loc = node->loc;
    h_macrocall(ctx, slot, node);
    if (ctx->pile == pile) pile->loc = saved;
}

// name[i] = number, the number in slot + 1: stored straight into a number element when the
// class allows it, else through Vassign as assignindexed does (the subscript evaluated once).
int assignelement(t_cctx* ctx, int slot, treeabs* name, treeabs* subscript)
{
    t_identry* e = lookupnode(ctx, name, false);
    if (e && e->value && e->value->getFlag() == KST_IDFLAG_MACROARG) {   // through a reference argument
        auto* arg = static_cast<t_macroarg*>(e->value);
        if (arg->getkind() == t_macroarg::byreference) e = arg->getreference();
    }
    if (!e || !e->value) {
        cleanat(ctx, slot + 1);
        kst_runerror(ctx, 38);
        return 0;
    }
    if (!assignable(ctx, e)) {
        cleanat(ctx, slot + 1);
        return 0;
    }
    long i;
    bool direct = !s_hooks.node && directsubscript(ctx, subscript, &i);
    if (!direct) tree_int(ctx, slot + 2, subscript);
    if (direct || (!flagged(ctx) && slotsubscript(ctx, slot + 2, &i))) {
        absrun_slot& v = slotat(ctx, slot + 1);
        tomode(ctx, &v.c);
        if (e->value && e->value->Vassign_number(ctx, i, &v.c)) {
            cleanat(ctx, slot + 1);
            cleanat(ctx, slot + 2);
            return 0;
        }
    }
    if (direct) tree_int(ctx, slot + 2, subscript);   // the general path wants it in its slot
    if (flagged(ctx) || !e->value) {
        cleanat(ctx, slot + 1);
        cleanat(ctx, slot + 2);
        return 0;
    }
    t_idcommon* value = tree_slot_takeobject(ctx, slot + 1);
    std::vector<t_subscript> one(1);
    one[0].v = tree_slot_value(ctx, slot + 2);
    if (!one[0].v) {
        value->Vdelete();
        kst_runerror(ctx, 105);
    } else {
        one[0].v = const_cast<t_idcommon*>(one[0].v)->Vgetvalue();
        e->value->Vassign(ctx, one, value);
    }
    cleanat(ctx, slot + 2);
    return 0;
}

int h_assign(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* target = kid(node, 0);
    if (!target || (target->kind != TREE_SYMBOL && target->kind != TREE_FIELD && target->kind != TREE_INDEX)) {
        kst_runerror(ctx, 374, tree_kindname(target ? target->kind : TREE_ASSIGN));
        return 0;
    }
    // A number read in place from a name, a literal or an element goes into the value slot as a
    // number of its own: the stores below then take it without a value object.
    treeabs* source = kid(node, 1);
    coef buf, *c;
    int keep;
    if (source && source->kind == TREE_MACROCALL && !s_hooks.node) {
        callnode(ctx, slot + 1, source);
        if (flagged(ctx)) {
            cleanat(ctx, slot + 1);
            return 0;
        }
    } else if (!s_hooks.node && source && target->kind != TREE_FIELD && directoperand(ctx, source, &buf, &c, &keep)) {
        tree_slot_setcoef(ctx, slot + 1, keep ? copycoef(c) : *c);
    } else if (int how = !s_hooks.node && source && target->kind != TREE_FIELD ? directarithmetic(ctx, slot + 1, source, target) : 0) {
        if (how == 2) {   // done in place
            if (s_discarded != node) setentry(slotat(ctx, slot), lookupnode(ctx, target, true));
            return 0;
        }
        if (flagged(ctx)) {
            cleanat(ctx, slot + 1);
            return 0;
        }
    } else {
        tree_int(ctx, slot + 1, source);
        if (flagged(ctx)) {
            cleanat(ctx, slot + 1);
            return 0;
        }
    }
    if (target->kind == TREE_SYMBOL && slotat(ctx, slot + 1).tag == kr_coef) {
        // A number into an identifier that holds a number: the value changes in place, so a loop
        // that updates a counter or an accumulator allocates nothing.
        t_identry* e = lookupnode(ctx, target, true);
        if (e && e->value && !e->borrowed && !e->held && e->value->Vgettypeenum() == IDTYPE_CONSTANTE) {
            absrun_slot& v = slotat(ctx, slot + 1);
            setnumber(ctx, static_cast<t_idconstante*>(e->value), v.c);
            v.tag = kr_end;
            storedinplace(e);
            if (s_discarded != node) setentry(slotat(ctx, slot), e);
            return 0;
        }
    }
    if (target->kind == TREE_INDEX && slotat(ctx, slot + 1).tag == kr_coef) {
        treeabs* name = kid(target, 0);
        treeabs* only = plainsubscript(kid(target, 1));
        if (name && name->kind == TREE_SYMBOL && only) return assignelement(ctx, slot, name, only);
    }
    t_idcommon* value = tree_slot_takeobject(ctx, slot + 1);
    if (!value) {
        kst_runerror(ctx, 102);
        return 0;
    }
    if (target->kind == TREE_FIELD) {
        kst_idclass_assignfield(ctx, slot + 2, target, value);
        return 0;
    }
    if (target->kind == TREE_INDEX) return assignindexed(ctx, slot, target, value);
    const char* name = kidname(target, 0);
    assignname(ctx, name, value);
    if (flagged(ctx)) return 0;
    if (t_identry* e = lookupnode(ctx, target, false)) setentry(slotat(ctx, slot), e);
    return 0;
}

// name[subscripts] = value: the identifier's class stores the value.
int assignindexed(t_cctx* ctx, int slot, treeabs* target, t_idcommon* value)
{
    treeabs* name = kid(target, 0);
    if (name && name->kind == TREE_FIELD) {
        // p@v[i] = value, T[2]@v[i] = value: the value held by the field takes the subscripts.
        t_idcommon* container = kst_lvalue_value(ctx, slot + 2, name);
        std::vector<t_subscript> subscripts;
        if (container && tree_eval_subscripts(ctx, slot + 2, kid(target, 1), &subscripts))
            container->Vassign(ctx, subscripts, value);
        else value->Vdelete();
        tree_clean_subscripts(ctx, slot + 2, subscripts);
        return 0;
    }
    if (!name || name->kind != TREE_SYMBOL) {
        value->Vdelete();
        kst_runerror(ctx, 23);
        return 0;
    }
    t_identificateur_syntaxe ref = recherche_id(ctx, kidname(name, 0));
    t_identry* e = ref.entry;
    if (e && e->value && e->value->getFlag() == KST_IDFLAG_MACROARG) {   // through a reference argument
        auto* arg = static_cast<t_macroarg*>(e->value);
        if (arg->getkind() == t_macroarg::byreference) e = arg->getreference();
    }
    if (!e || !e->value) {
        value->Vdelete();
        kst_runerror(ctx, 38);
        return 0;
    }
    if (!assignable(ctx, e)) {
        value->Vdelete();
        return 0;
    }
    std::vector<t_subscript> subscripts;
    if (tree_eval_subscripts(ctx, slot + 2, kid(target, 1), &subscripts)) e->value->Vassign(ctx, subscripts, value);
    else value->Vdelete();
    tree_clean_subscripts(ctx, slot + 2, subscripts);
    return 0;
}

// ---------------------------------------------------------------- arithmetic

enum arith { A_ADD, A_SUB, A_MUL, A_DIV, A_POW };

coef numberop(t_cctx* ctx, arith op, coef* a, int ka, coef* b, int kb)
{
    if (a->type == BH_DBL && b->type == BH_DBL && op <= A_MUL) {
        // Two doubles: what the double type's own operations do (a zero result is the zero
        // number; operands own nothing, a handed-over one just loses its tag), without the calls.
        double r = op == A_ADD ? a->d + b->d : op == A_SUB ? a->d - b->d : a->d * b->d;
        if (!ka) a->type = BH_ZERO;
        if (!kb) b->type = BH_ZERO;
        return r == 0.0 ? coef{} : coef_fromdbl(r);
    }
    switch (op) {
    case A_ADD: return coef_addition(ctx, a, ka, b, kb);
    case A_SUB: return coef_soustraction(ctx, a, ka, b, kb);
    case A_MUL: return coef_multiplication(ctx, a, ka, b, kb);
    case A_DIV: return coef_division(ctx, a, ka, b, kb);
    case A_POW:
        if (coef_iszero(b) || coef_vt(b).isentierlong(b)) {
            long n = coef_iszero(b) ? 0 : static_cast<long>(coef2ll(b));
            if (!kb) deletecoef(b);
            return coef_power_int(ctx, a, ka, n);
        }
        return coef_vt(a).exponentiation(ctx, a, ka, b, kb);
    }
    return coef{};
}

// s = s + j and the like: a sum, difference, product or quotient of operands read in place,
// computed into `slot` without a node of its own being entered (its place stands for errors): 1,
// or 0 when the operands are not for this. 2: the assignment to `target` is done, the result a
// nonzero double written over the double that the target's constant holds in the mode in force
// (no number is passed around: the loop's accumulator stays where it is).
bool arithof(const treeabs* node, arith* op)
{
    switch (node->kind) {
    case TREE_ADD: *op = A_ADD; return true;
    case TREE_SUB: *op = A_SUB; return true;
    case TREE_MUL: *op = A_MUL; return true;
    case TREE_DIV: *op = A_DIV; return true;
    default: return false;
    }
}

// The number of such a node computed into *out (owned): false when its operands are not for it.
bool directnumber(t_cctx* ctx, treeabs* node, coef* out)
{
    arith op;
    coef *a, *b, abuf, bbuf;
    int ka, kb;
    if (!arithof(node, &op) || !directoperands(ctx, node, &a, &abuf, &ka, &b, &bbuf, &kb)) return false;
    elt_runpile* pile = ctx->pile;
    t_tree_loc saved = pile->loc;
    if (node->loc.isvalid()) pile->loc = node->loc;
    *out = numberop(ctx, op, a, ka, b, kb);
    pile->loc = saved;
    return true;
}

int directarithmetic(t_cctx* ctx, int slot, treeabs* node, treeabs* target)
{
    arith op;
    if (!arithof(node, &op)) return 0;
    coef *a, *b, abuf, bbuf;
    int ka, kb;
    if (!directoperands(ctx, node, &a, &abuf, &ka, &b, &bbuf, &kb)) return 0;
    if (target && target->kind == TREE_SYMBOL && op != A_DIV && a->type == BH_DBL && b->type == BH_DBL) {
        double r = op == A_ADD ? a->d + b->d : op == A_SUB ? a->d - b->d : a->d * b->d;
        t_identry* e = r != 0.0 ? lookupnode(ctx, target, true) : nullptr;
        if (e && e->value && !e->borrowed && !e->held && e->value->Vgettypeenum() == IDTYPE_CONSTANTE) {
            auto* k = static_cast<t_idconstante*>(e->value);
            double* d = k->modenum() == modeof(ctx) ? k->inplacedouble() : nullptr;
            if (d) {
                *d = r;
                storedinplace(e);
                return 2;
            }
        }
    }
    elt_runpile* pile = ctx->pile;
    t_tree_loc saved = pile->loc;
    if (node->loc.isvalid()) pile->loc = node->loc;
    tree_slot_setcoef(ctx, slot, numberop(ctx, op, a, ka, b, kb));
    pile->loc = saved;
    return 1;
}

int arithmetic(t_cctx* ctx, int slot, treeabs* node, arith op)
{
    coef *a, *b, abuf, bbuf;
    int ka, kb;
    if (directoperands(ctx, node, &a, &abuf, &ka, &b, &bbuf, &kb)) {
        tree_slot_setcoef(ctx, slot, numberop(ctx, op, a, ka, b, kb));
        return 0;
    }
    if (!evalchildren(ctx, slot, node, 2)) {
        cleanchildren(ctx, slot, 2);
        return 0;
    }
    if (slotnumber(ctx, slot + 1, &a, &ka) && slotnumber(ctx, slot + 2, &b, &kb)) {
        coef r = numberop(ctx, op, a, ka, b, kb);
        consumed(ctx, slot + 1, ka);
        consumed(ctx, slot + 2, kb);
        tree_slot_setcoef(ctx, slot, r);
        return 0;
    }
    static const t_idbinop ops[] = {IDOP_ADD, IDOP_SUB, IDOP_MUL, IDOP_DIV, IDOP_POW};
    const t_idcommon* x = tree_slot_value(ctx, slot + 1);
    const t_idcommon* y = tree_slot_value(ctx, slot + 2);
    if (!x || !y) kst_runerror(ctx, 105);
    else tree_slot_setobject(ctx, slot, kst_id_binop(ctx, ops[op], const_cast<t_idcommon*>(x), 1, const_cast<t_idcommon*>(y), 1));
    cleanchildren(ctx, slot, 2);
    return 0;
}

int h_add(t_cctx* ctx, int slot, treeabs* n) { return arithmetic(ctx, slot, n, A_ADD); }
int h_sub(t_cctx* ctx, int slot, treeabs* n) { return arithmetic(ctx, slot, n, A_SUB); }
int h_mul(t_cctx* ctx, int slot, treeabs* n) { return arithmetic(ctx, slot, n, A_MUL); }
int h_div(t_cctx* ctx, int slot, treeabs* n) { return arithmetic(ctx, slot, n, A_DIV); }
int h_pow(t_cctx* ctx, int slot, treeabs* n) { return arithmetic(ctx, slot, n, A_POW); }

int h_neg(t_cctx* ctx, int slot, treeabs* node)
{
    if (!evalchildren(ctx, slot, node, 1)) {
        cleanchildren(ctx, slot, 1);
        return 0;
    }
    coef* a;
    int ka;
    if (slotnumber(ctx, slot + 1, &a, &ka)) {
        coef r = coef_neg(ctx, a, ka);
        consumed(ctx, slot + 1, ka);
        tree_slot_setcoef(ctx, slot, r);
        return 0;
    }
    const t_idcommon* x = tree_slot_value(ctx, slot + 1);
    if (x) tree_slot_setobject(ctx, slot, const_cast<t_idcommon*>(x)->Vneg(ctx, 0));
    else kst_runerror(ctx, 105);
    cleanchildren(ctx, slot, 1);
    return 0;
}

// ---------------------------------------------------------------- one-argument functions

// abs, sin, ... nint: a number goes through its type's operation, any other value through its
// class's (which reports the function as not applicable when it has none).
struct t_func1 {
    const char* keyword;
    coef_unop_fn coefvtable::*number;                  // null: computed here from the value
    t_idcommon* (t_idcommon::*object)(t_cctx*, int);   // null: no object form
};
const t_func1 s_func1[] = {
    {"abs", &coefvtable::abs, &t_idcommon::Vabs},       {"acos", &coefvtable::acos, &t_idcommon::Vacos},
    {"acosh", &coefvtable::acosh, &t_idcommon::Vacosh}, {"arg", &coefvtable::arg, &t_idcommon::Varg},
    {"asin", &coefvtable::asin, &t_idcommon::Vasin},    {"asinh", &coefvtable::asinh, &t_idcommon::Vasinh},
    {"atan", &coefvtable::atan, &t_idcommon::Vatan},    {"atanh", &coefvtable::atanh, &t_idcommon::Vatanh},
    {"conj", &coefvtable::conj, &t_idcommon::Vconj},    {"cos", &coefvtable::cos, &t_idcommon::Vcos},
    {"cosh", &coefvtable::cosh, &t_idcommon::Vcosh},    {"erf", nullptr, &t_idcommon::Verf},
    {"erfc", nullptr, &t_idcommon::Verfc},              {"exp", &coefvtable::exp, &t_idcommon::Vexp},
    {"fac", nullptr, &t_idcommon::Vfac},                {"imag", &coefvtable::imag, &t_idcommon::Vimag},
    {"log", &coefvtable::log, &t_idcommon::Vlog},       {"log10", &coefvtable::log10, &t_idcommon::Vlog10},
    {"nint", &coefvtable::nint, &t_idcommon::Vnint},    {"real", &coefvtable::real, &t_idcommon::Vreal},
    {"sign", nullptr, &t_idcommon::Vsign},              {"sin", &coefvtable::sin, &t_idcommon::Vsin},
    {"sinh", &coefvtable::sinh, &t_idcommon::Vsinh},    {"sqrt", &coefvtable::sqrt, &t_idcommon::Vsqrt},
    {"tan", &coefvtable::tan, &t_idcommon::Vtan},       {"tanh", &coefvtable::tanh, &t_idcommon::Vtanh},
    {"inf", &coefvtable::inf, nullptr},                 {"sup", &coefvtable::sup, nullptr},
};

// The functions without a number operation of their own; real arguments only.
bool specialfunction(t_cctx* ctx, const char* keyword, const coef* a, coef* out)
{
    if (!coef_vt(a).isreal(a)) return false;
    double x = coef2dbl(a);
    if (strcmp(keyword, "erf") == 0) *out = coef_fromdbl(std::erf(x));
    else if (strcmp(keyword, "erfc") == 0) *out = coef_fromdbl(std::erfc(x));
    else if (strcmp(keyword, "sign") == 0) *out = coef_creenumlong_init(ctx, x > 0 ? 1 : x < 0 ? -1 : 0);
    else {   // fac: exact, for the natural integers only
        if (!coef_iszero(a) && (!coef_vt(a).isentierlong(a) || x < 0)) return false;
        long n = coef_iszero(a) ? 0 : static_cast<long>(coef2ll(a));
        coef r = coef_creenumlong_init(ctx, 1);
        for (long k = 2; k <= n && !Erreur_Execution; k++) {
            coef f = coef_creenumlong_init(ctx, k);
            r = coef_multiplication(ctx, &r, 0, &f, 0);
        }
        *out = r;
    }
    return true;
}

int h_func1(t_cctx* ctx, int slot, treeabs* node)
{
    const char* keyword = kst_keywordtable()[tree_kindindex(node->kind) - tree_kindindex(TREE_KEYWORD_FIRST)].text;
    const t_func1* f = nullptr;
    for (const t_func1& e : s_func1)
        if (strcmp(e.keyword, keyword) == 0) f = &e;
    if (!f || tree_paracount(node) != 1) {
        kst_runerror(ctx, 53);
        return 0;
    }
    if (!evalchildren(ctx, slot, node, 1)) {
        cleanchildren(ctx, slot, 1);
        return 0;
    }
    coef* a;
    int ka;
    if (slotnumber(ctx, slot + 1, &a, &ka)) {
        coef r{};
        if (f->number && coef_vt(a).*(f->number)) {
            r = (coef_vt(a).*(f->number))(ctx, a, ka);
            consumed(ctx, slot + 1, ka);
            if (!flagged(ctx)) tree_slot_setcoef(ctx, slot, r);
            else deletecoef(&r);
            return 0;
        }
        if (!f->number && specialfunction(ctx, keyword, a, &r)) {
            if (!flagged(ctx)) tree_slot_setcoef(ctx, slot, r);
            else deletecoef(&r);
        } else if (!flagged(ctx)) {
            kst_runerror(ctx, 23);
        }
        cleanchildren(ctx, slot, 1);
        return 0;
    }
    const t_idcommon* x = tree_slot_value(ctx, slot + 1);
    if (!x) kst_runerror(ctx, 105);
    else if (!f->object) kst_runerror(ctx, 23);
    else tree_slot_setobject(ctx, slot, (const_cast<t_idcommon*>(x)->*(f->object))(ctx, 0));
    cleanchildren(ctx, slot, 1);
    return 0;
}

// ---------------------------------------------------------------- conditions

void setboolean(t_cctx* ctx, int slot, bool v)
{
    cleanat(ctx, slot);
    absrun_slot& s = slotat(ctx, slot);
    s.tag = kr_boolean;
    s.b = v ? 1 : 0;
}

// A comparison of two numbers: 1, 0, or -1 for an operation that is none; two doubles compared
// as their type compares them, without the calls.
int comparenumbers(t_idcmpop op, const coef* a, const coef* b)
{
    if (a->type == BH_DBL && b->type == BH_DBL) {
        switch (op) {
        case IDCMP_EQ: return a->d == b->d;
        case IDCMP_NE: return !(a->d == b->d);
        case IDCMP_LT: return a->d < b->d;
        case IDCMP_LE: return a->d <= b->d;
        case IDCMP_GT: return a->d > b->d;
        case IDCMP_GE: return a->d >= b->d;
        default: return -1;
        }
    }
    switch (op) {
    case IDCMP_EQ: return coef_cmp_egal(a, b);
    case IDCMP_NE: return !coef_cmp_egal(a, b);
    case IDCMP_LT: return coef_cmp_lt(a, b);
    case IDCMP_LE: return coef_cmp_le(a, b);
    case IDCMP_GT: return coef_cmp_gt(a, b);
    case IDCMP_GE: return coef_cmp_ge(a, b);
    default: return -1;
    }
}

int comparison(t_cctx* ctx, int slot, treeabs* node, t_idcmpop op)
{
    coef *a, *b, abuf, bbuf;
    int ka, kb, r = -1;
    bool direct = directoperands(ctx, node, &a, &abuf, &ka, &b, &bbuf, &kb);
    if (!direct && !evalchildren(ctx, slot, node, 2)) {
        cleanchildren(ctx, slot, 2);
        return 0;
    }
    if (direct || (slotnumber(ctx, slot + 1, &a, &ka) && slotnumber(ctx, slot + 2, &b, &kb))) {
        r = comparenumbers(op, a, b);
    } else {
        const t_idcommon* x = tree_slot_value(ctx, slot + 1);
        const t_idcommon* y = tree_slot_value(ctx, slot + 2);
        if (!x || !y) kst_runerror(ctx, 105);
        else r = kst_id_cmpop(ctx, op, x, y);
    }
    if (direct && !ka) deletecoef(a);
    if (direct && !kb) deletecoef(b);
    cleanchildren(ctx, slot, 2);
    if (r >= 0 && !flagged(ctx)) setboolean(ctx, slot, r != 0);
    return 0;
}

int h_eq(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_EQ); }
int h_ne(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_NE); }
int h_lt(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_LT); }
int h_le(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_LE); }
int h_gt(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_GT); }
int h_ge(t_cctx* ctx, int slot, treeabs* n) { return comparison(ctx, slot, n, IDCMP_GE); }

// The boolean of a condition node; false with the flag set when it is not one (error 103).
bool condition(t_cctx* ctx, int slot, treeabs* node)
{
    tree_int(ctx, slot, node);
    if (flagged(ctx)) {
        cleanat(ctx, slot);
        return false;
    }
    absrun_slot& s = slotat(ctx, slot);
    if (s.tag != kr_boolean) {
        cleanat(ctx, slot);
        kst_runerror(ctx, 103);
        return false;
    }
    return s.b != 0;
}

int h_and(t_cctx* ctx, int slot, treeabs* node)
{
    bool v = condition(ctx, slot + 1, kid(node, 0)) && condition(ctx, slot + 1, kid(node, 1));
    if (!flagged(ctx)) setboolean(ctx, slot, v);
    return 0;
}

int h_or(t_cctx* ctx, int slot, treeabs* node)
{
    bool v = condition(ctx, slot + 1, kid(node, 0));
    if (!flagged(ctx) && !v) v = condition(ctx, slot + 1, kid(node, 1));
    if (!flagged(ctx)) setboolean(ctx, slot, v);
    return 0;
}

// ---------------------------------------------------------------- control flow

int h_if(t_cctx* ctx, int slot, treeabs* node)
{
    bool v = condition(ctx, slot + 1, kid(node, 0));
    if (flagged(ctx)) return 0;
    return tree_int(ctx, slot, kid(node, v ? 1 : 2));
}

// Runs `body` in a new loop pile; history writing is suspended meanwhile.
struct loopscope {
    t_cctx* ctx;
    elt_runpile* pile;
    bool history;
    loopscope(t_cctx* c, erunpile kind, const char* name) : ctx(c), history(c->historywrite)
    {
        elt_runpile* outer = tree_run_getpile(c);
        pile = tree_run_setpile(c, kind, name, outer ? outer->source : nullptr);
        c->historywrite = false;
    }
    ~loopscope()
    {
        tree_run_removepile(ctx, pile);
        ctx->kc.stopflag = 0;
        ctx->historywrite = history;
    }
};

int h_while(t_cctx* ctx, int slot, treeabs* node)
{
    loopscope loop(ctx, RUNPILE_WHILE, nullptr);
    int r = 0;
    while (!flagged(ctx) && !r) {
        bool v = condition(ctx, slot + 1, kid(node, 0));
        if (!v || flagged(ctx)) break;
        r = tree_int(ctx, slot + 1, kid(node, 1));
        cleanat(ctx, slot + 1);
        loop.pile->parameters.clear();
    }
    return r;
}

// Evaluates a number operand into an owned coefficient (a copy when it is borrowed).
bool ownednumber(t_cctx* ctx, int slot, treeabs* node, coef* out)
{
    tree_int(ctx, slot, node);
    if (flagged(ctx)) {
        cleanat(ctx, slot);
        return false;
    }
    coef* c;
    int keep;
    if (!slotnumber(ctx, slot, &c, &keep)) {
        cleanat(ctx, slot);
        kst_runerror(ctx, 40);
        return false;
    }
    *out = keep ? copycoef(c) : *c;
    if (!keep) slotat(ctx, slot).tag = kr_end;
    cleanat(ctx, slot);
    return true;
}

// A loop's body, turn after turn: a block is entered without the checks of a node that the
// loop's own node made (stack depth), in its place; anything else, or with a node hook, as a node.
int runblock(t_cctx* ctx, int slot, treeabs* body)
{
    if (!body || body->kind != TREE_LIST || s_hooks.node) return tree_int(ctx, slot, body);
    if (flagged(ctx)) return 0;
    cleanat(ctx, slot);
    elt_runpile* pile = ctx->pile;
    // A block of one statement already worked out (a loop's or a macro's body, turn after turn):
    // its expression runs here as h_list would run it.
    lparaabs* only = body->params;
    treeabs* child = only && !only->next && only->para->tag == PARA_TREE ? only->para->value.tree : nullptr;
    if (child && child->kind == TREE_STATEMENT && child->cache.stmt.state == 1 && !ctx->master && plainnow(ctx)) {
        const auto& p = child->cache.stmt;
        treeabs* expr = p.expr;
        if (!expr) return 0;
        t_tree_loc saved = pile->loc;
        if (p.loc) pile->loc = *p.loc;
        else if (body->loc.isvalid()) pile->loc = body->loc;
        const treeabs* outer = s_discarded;
        if (p.discard) s_discarded = expr;
        int r = s_handlers[tree_kindindex(expr->kind)](ctx, slot, expr);
        s_discarded = outer;
        if (ctx->pile == pile) pile->loc = saved;
        cleanat(ctx, slot);
        return r;
    }
    if (!body->loc.isvalid()) return h_list(ctx, slot, body);
    t_tree_loc saved = pile->loc;
    pile->loc = body->loc;
    int r = h_list(ctx, slot, body);
    if (ctx->pile == pile) pile->loc = saved;
    return r;
}

enum looptype { L_FOR, L_SUM, L_PROD, L_SUMFMA };

int forloop(t_cctx* ctx, int slot, treeabs* node, looptype type)
{
    const char* var = kidname(node, 0);
    coef start, end, step = coef_creenum_init(ctx, 1);
    if (!ownednumber(ctx, slot + 1, kid(node, 1), &start)) {
        deletecoef(&step);
        return 0;
    }
    if (!ownednumber(ctx, slot + 1, kid(node, 2), &end)) {
        deletecoef(&start);
        deletecoef(&step);
        return 0;
    }
    if (kid(node, 3)) {
        deletecoef(&step);
        if (!ownednumber(ctx, slot + 1, kid(node, 3), &step)) {
            deletecoef(&start);
            deletecoef(&end);
            return 0;
        }
    }
    // A zero step counts as upward: the loop runs until the end is passed, which with a start at
    // most the end means until stop or an interrupt ends it.
    coef zero{};
    bool up = coef_cmp_ge(&step, &zero) == 1;
    coef acc = type == L_PROD ? coef_creenum_init(ctx, 1) : coef{};
    int r = 0;
    {
        loopscope loop(ctx, RUNPILE_FOR, var);
        loop.pile->collectsreturn = type != L_FOR;
        if (type == L_SUMFMA) loop.pile->fusedacc = &acc;
        t_pilescope* scope = kst_pilescope(loop.pile);
        t_identry* entry = scope->locals.bind(var, 0, new t_idconstante(ctx, var, start));
        treeabs* body = kid(node, 4);
        entry->inuse++;   // the loop steps it: delete(j) in the body is refused (error 97)
        while (!flagged(ctx) && !r) {
            if (!entry->value || entry->value->Vgettypeenum() != IDTYPE_CONSTANTE) {
                kst_runerror(ctx, 40);   // the body gave the counter a value that is no number
                break;
            }
            auto* counter = static_cast<t_idconstante*>(entry->value);
            const coef& v = numberof(ctx, counter);
            if (v.type == BH_DBL && end.type == BH_DBL) {
                if (!(up ? v.d <= end.d : v.d >= end.d)) break;
            } else if (comparenumbers(up ? IDCMP_LE : IDCMP_GE, &v, &end) != 1) {
                break;
            }
            r = runblock(ctx, slot + 1, body);
            cleanat(ctx, slot + 1);
            if (type == L_SUMFMA && loop.pile->fusedreturned && !loop.pile->retval && !loop.pile->hasretnumber) {
                loop.pile->fusedreturned = false;   // the term went straight into acc
            } else if (type != L_FOR && !flagged(ctx) && loop.pile->hasretnumber) {
                loop.pile->fusedreturned = false;
                coef t = loop.pile->retnumber;
                loop.pile->hasretnumber = false;
                acc = numberop(ctx, type != L_PROD ? A_ADD : A_MUL, &acc, 0, &t, 0);
            } else if (type != L_FOR && !flagged(ctx)) {
                loop.pile->fusedreturned = false;
                auto* term = static_cast<t_idcommon*>(loop.pile->retval);
                loop.pile->retval = nullptr;
                if (!term || term->Vgettypeenum() != IDTYPE_CONSTANTE) {
                    if (term) term->Vdelete();
                    kst_runerror(ctx, term ? 40 : 543);
                    break;
                }
                coef t = static_cast<t_idconstante*>(term)->takevalue();
                term->Vdelete();
                acc = type != L_PROD ? coef_addition(ctx, &acc, 0, &t, 0) : coef_multiplication(ctx, &acc, 0, &t, 0);
            }
            if (!entry->value || entry->value->Vgettypeenum() != IDTYPE_CONSTANTE) {
                if (!flagged(ctx)) kst_runerror(ctx, 40);
                break;
            }
            counter = static_cast<t_idconstante*>(entry->value);
            double* d = step.type == BH_DBL && counter->modenum() == modeof(ctx) ? counter->inplacedouble() : nullptr;
            if (d && *d + step.d != 0.0) {
                *d += step.d;   // a double counter steps in place
            } else {
                coef next = numberop(ctx, A_ADD, const_cast<coef*>(&numberof(ctx, counter)), 1, &step, 1);
                setnumber(ctx, counter, next);
            }
            if (!loop.pile->parameters.empty()) loop.pile->parameters.clear();
        }
        entry->inuse--;
        tree_run_clearreturn(loop.pile);
        loop.pile->fusedacc = nullptr;
    }
    deletecoef(&end);
    deletecoef(&step);
    if (type != L_FOR && !flagged(ctx)) tree_slot_setcoef(ctx, slot, acc);
    else deletecoef(&acc);
    return r;
}

int h_for(t_cctx* ctx, int slot, treeabs* n) { return forloop(ctx, slot, n, L_FOR); }
int h_sum(t_cctx* ctx, int slot, treeabs* n) { return forloop(ctx, slot, n, L_SUM); }
int h_prod(t_cctx* ctx, int slot, treeabs* n) { return forloop(ctx, slot, n, L_PROD); }
int h_sumfma(t_cctx* ctx, int slot, treeabs* n) { return forloop(ctx, slot, n, L_SUMFMA); }

// A returned value built on an identifier private to the returning context would outlive it.
bool returnsprivate(elt_runpile* from, elt_runpile* to, const t_idcommon* value)
{
    for (elt_runpile* p = from; p; p = p->next) {
        bool depends = false;
        if (p->scope)
            p->scope->locals.foreach([&](t_identry& e) { depends = depends || (e.value && value->Vdependon(e.value)); });
        if (depends) return true;
        if (p == to) break;
    }
    return false;
}

// The construct that collects what `return` gives: the innermost sum/prod or macro call.
elt_runpile* returntarget(t_cctx* ctx)
{
    elt_runpile* target = ctx->pile;
    for (elt_runpile* p = target; p; p = p->next) {
        if (p->collectsreturn || p->kind == RUNPILE_MACRO || p->kind == RUNPILE_LIBMACRO) return p;
    }
    return target;
}

// A number (owned) returned stays a number, in the context's mode as a returned constant would
// hold it: a turn of sum or a macro call that returns one makes no value object.
int returnnumber(t_cctx* ctx, coef c)
{
    tomode(ctx, &c);
    elt_runpile* target = returntarget(ctx);
    if (target->retval || target->hasretnumber) tree_run_clearreturn(target);
    target->retnumber = c;
    target->hasretnumber = true;
    return 0;
}

int h_return(t_cctx* ctx, int slot, treeabs* node)
{
    // A literal, an element or a sum of such is a number read or computed in place, as its node
    // would leave it (a name is not: what it holds goes back as a value, with its name).
    treeabs* expr = kid(node, 0);
    coef buf, *c;
    int keep;
    if (!s_hooks.node && expr && expr->kind != TREE_SYMBOL && directoperand(ctx, expr, &buf, &c, &keep)) {
        if (!flagged(ctx)) return returnnumber(ctx, keep ? copycoef(c) : *c);
        if (!keep) deletecoef(c);
        return 0;
    }
    if (!s_hooks.node && expr && directnumber(ctx, expr, &buf)) {
        if (!flagged(ctx)) return returnnumber(ctx, buf);
        deletecoef(&buf);
        return 0;
    }
    tree_int(ctx, slot + 1, expr);
    if (flagged(ctx)) {
        cleanat(ctx, slot + 1);
        return 0;
    }
    elt_runpile* target = returntarget(ctx);
    absrun_slot& s = slotat(ctx, slot + 1);
    if (s.tag == kr_coef) {
        coef c = s.c;
        s.tag = kr_end;
        return returnnumber(ctx, c);
    }
    t_idcommon* value = tree_slot_takeobject(ctx, slot + 1);
    if (value && returnsprivate(tree_run_getpile(ctx), target, value)) {
        value->Vdelete();
        kst_runerror(ctx, 486);
        return 0;
    }
    tree_run_clearreturn(target);
    target->retval = value;
    return 0;
}

// `return a*b` of a fused sum: two numbers are multiplied into the sum's accumulator without a
// temporary product; any other operands take the plain path (the product, then the sum).
int h_returnfma(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* product = kid(node, 0);
    elt_runpile* target = nullptr;
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if (p->collectsreturn || tree_run_getpile_isinmacroexecution(p)) {
            target = p;
            break;
        }
    }
    if (!target || !target->fusedacc || !product || product->kind != TREE_MUL) return h_return(ctx, slot, node);
    if (!evalchildren(ctx, slot + 1, product, 2)) {
        cleanchildren(ctx, slot + 1, 2);
        return 0;
    }
    coef *a, *b;
    int ka, kb;
    if (!slotnumber(ctx, slot + 2, &a, &ka) || !slotnumber(ctx, slot + 3, &b, &kb)) {
        const t_idcommon* x = tree_slot_value(ctx, slot + 2);
        const t_idcommon* y = tree_slot_value(ctx, slot + 3);
        t_idcommon* r = nullptr;
        if (!x || !y) kst_runerror(ctx, 105);
        else r = kst_id_binop(ctx, IDOP_MUL, const_cast<t_idcommon*>(x), 1, const_cast<t_idcommon*>(y), 1);
        cleanchildren(ctx, slot + 1, 2);
        if (!r) return 0;
        tree_run_clearreturn(target);
        target->retval = r;
        return 0;
    }
    tree_run_clearreturn(target);
    coef_fmaccnotr(ctx, target->fusedacc, *a, ka, *b, kb);
    consumed(ctx, slot + 2, ka);
    consumed(ctx, slot + 3, kb);
    target->fusedreturned = true;
    return 0;
}

int h_switch(t_cctx* ctx, int slot, treeabs* node)
{
    tree_int(ctx, slot + 1, kid(node, 0));
    const t_idcommon* selector = flagged(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
    int r = 0;
    bool matched = false;
    treeabs* cases = kid(node, 1);
    for (int i = 0; selector && !matched && !flagged(ctx); i++) {
        treeabs* c = kid(cases, i);
        if (!c) break;
        treeabs* values = kid(c, 0);
        for (int k = 0; !matched && !flagged(ctx); k++) {
            treeabs* v = kid(values, k);
            if (!v) break;
            tree_int(ctx, slot + 2, v);
            const t_idcommon* value = flagged(ctx) ? nullptr : tree_slot_value(ctx, slot + 2);
            matched = value && selector->Vswitchcase(ctx, value);
            cleanat(ctx, slot + 2);
        }
        if (matched) r = tree_int(ctx, slot + 2, kid(c, 1));
    }
    if (selector && !matched && !flagged(ctx) && kid(node, 2)) r = tree_int(ctx, slot + 2, kid(node, 2));
    cleanat(ctx, slot + 2);
    cleanat(ctx, slot + 1);
    return r;
}

int h_try(t_cctx* ctx, int slot, treeabs* node)
{
    elt_runpile* pile = tree_run_getpile(ctx);
    tree_run_setpile_entertry(pile);
    int r = tree_int(ctx, slot, kid(node, 0));
    tree_run_setpile_exittry(pile);
    cleanat(ctx, slot);
    if (r || !Erreur_Execution) return r;
    kst_runwarning(ctx, 22);
    Erreur_Execution = 0;
    return tree_int(ctx, slot, kid(node, 1));
}

// ---------------------------------------------------------------- macros

cellule_parametre* parameterlist(treeabs* params)
{
    std::vector<std::string> names;
    for (int i = 0; treeabs* p = kid(params, i); i++)
        names.push_back(p->kind == TREE_ELLIPSIS ? "..." : kidname(p, 0));
    return cellule_parametre_new(names);
}

int h_macrodef(t_cctx* ctx, int, treeabs* node)
{
    bool method = node->kind == TREE_METHODDEF;
    const char* structure = method ? kidname(node, 0) : nullptr;
    const char* name = kidname(node, method ? 1 : 0);
    treeabs* params = kid(node, method ? 2 : 1);
    treeabs* body = tree_opt_macro(tree_dup(kid(node, method ? 3 : 2)));
    if (method) {
        std::set<std::string> names;
        for (int i = 0; treeabs* p = kid(params, i); i++)
            if (p->kind == TREE_SYMBOL) names.insert(kidname(p, 0));
        macro_add_implicitself(structure, body, names);
    }
    elt_runpile* pile = tree_run_getpile(ctx);
    bool privateforfile = !method && tree_paraint(node, 3) != 0;
    macro_lecture(ctx, name, parameterlist(params), pile ? pile->source : nullptr, body, privateforfile, structure);
    return 0;
}

// One argument of a call: [x] passes the identifier itself, anything else its value. A number
// passed by value is bound as the constant it is (the binding's own copy, nothing wraps it):
// what the body does to it, in place or not, stays in the call.
t_idcommon* macroargument(t_cctx* ctx, int slot, treeabs* arg)
{
    if (arg->kind == TREE_VECTOR && tree_paracount(arg) == 1 && kid(arg, 0) &&
        kid(arg, 0)->kind == TREE_SYMBOL) {
        const char* name = kidname(kid(arg, 0), 0);
        t_identry* e = lookupnode(ctx, kid(arg, 0), false);
        if (!e) {
            t_identificateur_syntaxe ref = recherche_id(ctx, name);
            e = ref.entry ? ref.entry : insere_elt_arbre_id(ctx, name, 0, nullptr, ref.tree);
        }
        // A reference to a by-reference parameter is a reference to what that one names.
        if (e->value && e->value->getFlag() == KST_IDFLAG_MACROARG) {
            auto* inner = static_cast<t_macroarg*>(e->value);
            if (inner->getkind() == t_macroarg::byreference) e = inner->getreference();
        }
        return t_macroarg::newreference(e);
    }
    if (arg->kind == TREE_SYMBOL && !s_hooks.node) {
        // A name holding a number: its copy, as the general way below would make it.
        t_identry* e = lookupnode(ctx, arg, false);
        t_idcommon* v = e ? e->value : nullptr;
        if (v && v->getFlag() == KST_IDFLAG_MACROARG) v = static_cast<t_macroarg*>(v)->peek();
        if (v && v->Vgettypeenum() == IDTYPE_CONSTANTE) return static_cast<t_idconstante*>(v)->copyin(ctx);
    }
    tree_int(ctx, slot, arg);
    if (flagged(ctx)) {
        cleanat(ctx, slot);
        return nullptr;
    }
    t_idcommon* value = tree_slot_takeobject(ctx, slot);
    if (!value) {
        kst_runerror(ctx, 102);
        return nullptr;
    }
    if (value->Vgettypeenum() == IDTYPE_CONSTANTE) return value;
    return t_macroarg::newvalue(value);
}

bool isoptargs(const treeabs* arg)
{
    static const int k = kst_lookupkeyword("macro_optargs", 13);
    return arg->kind == TREE_KEYWORDVALUE && tree_paraint(arg, 0, -1) == k;
}

// [T[i]]: an array element passed by reference. The parameter starts with the element's value,
// and the value it holds when the macro ends is stored back into the element.
struct t_elementref {
    size_t argindex;
    std::string array;
    std::vector<t_idcommon*> subscripts;   // owned copies, evaluated once, at the call
};

bool iselementref(const treeabs* arg)
{
    const treeabs* inner = kid(arg, 0);
    return arg->kind == TREE_VECTOR && tree_paracount(arg) == 1 && inner && inner->kind == TREE_INDEX &&
           kid(inner, 0) && kid(inner, 0)->kind == TREE_SYMBOL;
}

bool elementref(t_cctx* ctx, int slot, treeabs* arg, size_t index, t_elementref* out)
{
    treeabs* element = kid(arg, 0);
    std::vector<t_subscript> subscripts;
    bool ok = tree_eval_subscripts(ctx, slot, kid(element, 1), &subscripts);
    for (const t_subscript& sub : subscripts) {
        if (sub.kind != t_subscript::value) ok = false;
        else if (ok) out->subscripts.push_back(sub.v->Vcopy());
    }
    tree_clean_subscripts(ctx, slot, subscripts);
    if (!ok) {
        if (!flagged(ctx)) kst_runerror(ctx, 214);
        return false;
    }
    out->argindex = index;
    out->array = kidname(kid(element, 0), 0);
    return true;
}

void writeback(t_cctx* ctx, t_elementref& ref, t_idcommon* value)
{
    t_identry* e = recherche_id(ctx, ref.array.c_str()).entry;
    if (e && e->value && e->value->getFlag() == KST_IDFLAG_MACROARG) {
        auto* arg = static_cast<t_macroarg*>(e->value);
        if (arg->getkind() == t_macroarg::byreference) e = arg->getreference();
    }
    if (!e || !e->value) {
        value->Vdelete();
        kst_runerror(ctx, 38);
        return;
    }
    std::vector<t_subscript> subscripts;
    for (t_idcommon* v : ref.subscripts) {
        t_subscript sub;
        sub.v = v;
        subscripts.push_back(sub);
    }
    if (assignable(ctx, e)) e->value->Vassign(ctx, subscripts, value);
    else value->Vdelete();
}

// The name under which the argument in position `index` is bound.
std::string bindingname(const t_macro* macro, size_t index)
{
    size_t k = 0;
    for (cellule_parametre* p = macro->getparameters(); p; p = p->next) {
        if (strcmp(p->name, "...") == 0) break;
        if (k++ == index) return p->name;
    }
    return "macro_optargs[" + std::to_string(index - k + 1) + "]";
}

// The arguments of one call, held inline up to a few: a call allocates nothing for them.
class t_callargs {
public:
    t_callargs() = default;
    t_callargs(const t_callargs&) = delete;
    t_callargs& operator=(const t_callargs&) = delete;
    ~t_callargs() { delete[] m_heap; }
    void push_back(t_idcommon* a)
    {
        if (m_n == m_cap) {
            auto* bigger = new t_idcommon*[m_cap * 2];
            std::copy(data(), data() + m_n, bigger);
            delete[] m_heap;
            m_heap = bigger;
            m_cap *= 2;
        }
        data()[m_n++] = a;
    }
    t_idcommon** data() { return m_heap ? m_heap : m_inline; }
    size_t size() const { return m_n; }
    t_idcommon** begin() { return data(); }
    t_idcommon** end() { return data() + m_n; }

private:
    t_idcommon* m_inline[8];
    t_idcommon** m_heap = nullptr;
    size_t m_n = 0, m_cap = 8;
};

// Runs a macro with the arguments of `list` on a new pile of `kind` (a user or library macro).
// What a call's pile returned (owned), once the pile is removed and the definition left.
struct t_callend {
    t_idcommon* result;
    coef number;
    bool isnumber;
};
[[gnu::always_inline]] inline t_callend endcall(t_cctx* ctx, elt_runpile* pile, t_macro* macro, bool local, bool history)
{
    t_callend done{static_cast<t_idcommon*>(pile->retval), pile->retnumber, pile->hasretnumber};
    pile->retval = nullptr;
    pile->hasretnumber = false;
    tree_run_removepile(ctx, pile);
    macro->leave(local);
    ctx->kc.stopflag = 0;
    ctx->historywrite = history;
    return done;
}

int callmacro(t_cctx* ctx, int slot, t_macro* macro, treeabs* list, erunpile kind, t_identry* self = nullptr)
{
    if (kst_stack_exhausted(256u << 10)) {   // the call itself reports runaway recursion
        kst_runerror(ctx, 19);
        return 0;
    }
    t_callargs args;
    std::vector<t_elementref> elements;
    auto fail = [&]() {
        for (t_idcommon* x : args) x->Vdelete();
        for (t_elementref& r : elements)
            for (t_idcommon* v : r.subscripts) v->Vdelete();
        return 0;
    };
    for (int i = 0; treeabs* a = kid(list, i); i++) {
        if (isoptargs(a)) {   // the running macro's own optional arguments, passed on as they came
            for (int k = 1; t_macroarg* opt = macro_getoptionalarg(ctx, k); k++) {
                if (opt->getkind() == t_macroarg::byvalue) {
                    t_idcommon* v = opt->Vgetvalue();
                    if (!v) return fail();
                    args.push_back(t_macroarg::newvalue(v->Vcopy()));
                } else {
                    args.push_back(static_cast<t_macroarg*>(opt->Vcopy()));
                }
            }
            continue;
        }
        if (iselementref(a)) {
            t_elementref ref;
            bool ok = elementref(ctx, slot + 1, a, args.size(), &ref);
            if (ok) elements.push_back(std::move(ref));
            else for (t_idcommon* v : ref.subscripts) v->Vdelete();
            if (!ok) return fail();
            a = kid(a, 0);   // the element's value starts the parameter
        }
        t_idcommon* arg = macroargument(ctx, slot + 1, a);
        if (!arg) return fail();
        args.push_back(arg);
    }
    bool history = ctx->historywrite;
    ctx->historywrite = false;
    const bool local = !ctx->master;
    macro->enter(local);   // the body may redefine or delete this very macro
    elt_runpile* pile = tree_run_setpile(ctx, kind, macro->getname().c_str(), macro->getcode());
    int r = 0;
    t_genarbre* bindings = &pile->parameters;
    if (self) macro_affect_parametre_valeur(ctx, "self", t_macroarg::newreference(self), bindings);
    if (macro_affect_list_parametre_valeur(ctx, macro, args.data(), args.size(), bindings, pile)) {
        r = tree_int(ctx, slot + 1, macro->getbody());
        cleanat(ctx, slot + 1);
    }
    std::vector<t_idcommon*> finals;
    for (t_elementref& ref : elements) {
        t_identry* e = Erreur_Execution ? nullptr : bindings->find(bindingname(macro, ref.argindex).c_str());
        t_idcommon* v = e && e->value ? e->value->Vgetvalue() : nullptr;
        finals.push_back(v ? v->Vcopy() : nullptr);
    }
    const t_callend done = endcall(ctx, pile, macro, local, history);
    t_idcommon* result = done.result;
    coef number = done.number;
    const bool isnumber = done.isnumber;
    for (size_t k = 0; k < elements.size(); k++) {
        if (finals[k] && !Erreur_Execution) writeback(ctx, elements[k], finals[k]);
        else if (finals[k]) finals[k]->Vdelete();
        for (t_idcommon* v : elements[k].subscripts) v->Vdelete();
    }
    if (result && !Erreur_Execution) tree_slot_setobject(ctx, slot, result);
    else if (result) result->Vdelete();
    if (isnumber && !Erreur_Execution) tree_slot_setcoef(ctx, slot, number);
    else if (isnumber) deletecoef(&number);
    return r;
}

// The number of arguments of a call's list when each is passed by value (neither [x], nor an
// element [T[i]], nor macro_optargs), else -1.
int byvaluearguments(treeabs* list)
{
    int n = 0;
    for (treeabs* a; (a = kid(list, n)); n++) {
        if (isoptargs(a) || iselementref(a)) return -1;
        if (a->kind == TREE_VECTOR && tree_paracount(a) == 1 && kid(a, 0) && kid(a, 0)->kind == TREE_SYMBOL) return -1;
    }
    return n;
}

// An argument that is a name holding a number: its copy in `*k`, the constant a pile keeps for
// its position (made on the pile's first such call); null for any other argument.
t_idconstante* keptnumber(t_cctx* ctx, treeabs* arg, t_idconstante** k)
{
    if (arg->kind != TREE_SYMBOL || s_hooks.node) return nullptr;
    t_identry* e = lookupnode(ctx, arg, false);
    t_idcommon* v = e ? e->value : nullptr;
    if (v && v->getFlag() == KST_IDFLAG_MACROARG) v = static_cast<t_macroarg*>(v)->peek();
    if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) return nullptr;
    auto* from = static_cast<t_idconstante*>(v);
    if (!*k) *k = from->copyin(ctx);
    else from->copyinto(ctx, *k);
    return *k;
}

// A call whose arguments all go by value to a macro that binds them all by position: callmacro
// without what it needs for references, elements, optional arguments and self. The same steps
// in the same order (arguments, then the pile, the bindings, the body, the result).
int callbyvalue(t_cctx* ctx, int slot, t_macro* macro, treeabs* list, int given)
{
    static_assert(t_macro::k_direct <= k_pileparams, "a pile holds every parameter bound by position");
    if (kst_stack_exhausted_fast(256u << 10)) {
        kst_runerror(ctx, 19);
        return 0;
    }
    // The pile is taken first: a name holding a number is copied straight into the constant
    // the pile keeps for that position (as macroargument would copy it, name included).
    elt_runpile* pile = tree_run_takepile();
    t_idcommon* args[t_macro::k_direct];
    bool kept[t_macro::k_direct];
    lparaabs* cell = list ? list->params : nullptr;
    for (int i = 0; i < given; i++, cell = cell->next) {
        treeabs* a = cell->para->value.tree;
        if (t_idconstante* k = keptnumber(ctx, a, &pile->kept[i])) {
            args[i] = k;
            kept[i] = true;
            continue;
        }
        t_idcommon* arg = macroargument(ctx, slot + 1, a);
        if (!arg) {
            for (int k = 0; k < i; k++)
                if (!kept[k]) args[k]->Vdelete();
            tree_run_giveunpushed(pile);
            return 0;
        }
        args[i] = arg;
        kept[i] = false;
    }
    bool history = ctx->historywrite;
    ctx->historywrite = false;
    const bool local = !ctx->master;
    macro->enter(local);
    tree_run_pushmacropile(ctx, pile, macro->getname().c_str(), macro->getcode());
    t_genarbre& bindings = pile->parameters;
    for (int i = 0; i < given; i++) {
        t_identry* e = bindings.bindfixednew(macro->paramname(i), macro->paramlength(i), KST_IDFLAG_MACROARG, args[i]);
        e->borrowed = kept[i];
        pile->params[i] = e;
    }
    pile->nparams = given;
    pile->macrodef = macro;
    int r = runblock(ctx, slot + 1, macro->getbody());
    cleanat(ctx, slot + 1);
    const t_callend done = endcall(ctx, pile, macro, local, history);
    t_idcommon* result = done.result;
    coef number = done.number;
    const bool isnumber = done.isnumber;
    if (result && !Erreur_Execution) tree_slot_setobject(ctx, slot, result);
    else if (result) result->Vdelete();
    if (isnumber && !Erreur_Execution) {
        absrun_slot& s = slotat(ctx, slot);
        if (s.tag != kr_end) cleanslot(s);
        s.c = number;
        s.tag = kr_coef;
    } else if (isnumber) {
        deletecoef(&number);
    }
    return r;
}

// Inside a method, %name first means the method name of the same structure, on the same self.
t_macro* siblingmethod(t_cctx* ctx, const char* name, t_identry** self)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if (!tree_run_getpile_isinmacroexecution(p)) continue;
        const char* at = p->name ? strchr(p->name, '@') : nullptr;
        if (!at) return nullptr;
        t_identry* e = p->parameters.find("self");
        if (!e || !e->value) return nullptr;
        t_macro* m = macro_find_struct(ctx, std::string(p->name, at - p->name).c_str(), name, true);
        if (m) *self = static_cast<t_macroarg*>(e->value)->getreference();
        return m;
    }
    return nullptr;
}

int h_macrocall(t_cctx* ctx, int slot, treeabs* node)
{
    // What a call resolves to depends on the piles it is made from (a running file's private
    // macros, the structure of a running method) and on the macro table: remembered for the pile.
    auto& c = node->cache.call;
    elt_runpile* pile = ctx->pile;
    if (!ctx->master && pile && c.ctx == ctx && c.serial == pile->serial && c.gen == kst_idgen_now()) {
        auto* macro = static_cast<t_macro*>(c.macro);
        if (c.byvalue >= 0 && !c.self && c.byvalue == macro->directparams() && !s_hooks.node)
            return callbyvalue(ctx, slot, macro, kid(node, 1), c.byvalue);
        return callmacro(ctx, slot, macro, kid(node, 1), RUNPILE_MACRO, c.self);
    }
    const char* name = kidname(node, 0);
    t_identry* self = nullptr;
    t_macro* macro = siblingmethod(ctx, name, &self);
    if (!macro) macro = macro_resolve(ctx, name, false);
    if (!macro) return 0;
    if (!ctx->master && pile) {
        c.gen = kst_idgen();
        c.serial = pile->serial;
        c.ctx = ctx;
        c.macro = macro;
        c.self = self;
        c.byvalue = byvaluearguments(kid(node, 1));
    }
    return callmacro(ctx, slot, macro, kid(node, 1), RUNPILE_MACRO, self);
}

// object%name[args]: the method name of the object's structure, with self bound to the object.
int h_methodcall(t_cctx* ctx, int slot, treeabs* node)
{
    std::string type;
    t_identry* self = kst_idclass_methodtarget(ctx, slot + 1, kid(node, 0), &type);
    if (!self) return 0;
    t_macro* method = macro_find_struct(ctx, type.c_str(), kidname(node, 1), false);
    return method ? callmacro(ctx, slot, method, kid(node, 2), RUNPILE_MACRO, self) : 0;
}

// name(args): an external function (none can be declared yet) or a library macro whose variant
// accepts that many arguments.
int h_call(t_cctx* ctx, int slot, treeabs* node)
{
    const char* name = kidname(node, 0);
    treeabs* list = kid(node, 1);
    bool exists = false;
    int externmin = -1;
    t_macro* macro = kst_libstlmacro_find(ctx, name, tree_paracount(list), &exists, &externmin);
    if (!macro) {
        if (externmin >= 0) kst_runerror(ctx, 640, name, externmin);
        else kst_runerror(ctx, exists ? 11 : 374, name);
        return 0;
    }
    return callmacro(ctx, slot, macro, list, RUNPILE_LIBMACRO);
}

// ---------------------------------------------------------------- session statements

std::vector<std::string> names(treeabs* node)
{
    std::vector<std::string> out;
    for (int i = 0; const char* s = kidname(node, i); i++) out.push_back(s);
    return out;
}

int h_private(t_cctx* ctx, int, treeabs* node)
{
    std::vector<std::string> n = names(node);
    if (n.size() == 1 && n[0] == "_ALL") kst_private_all(ctx);
    else kst_private(ctx, n);
    return 0;
}

int h_public(t_cctx* ctx, int, treeabs* node)
{
    kst_public(ctx, names(node));
    return 0;
}

int h_stop(t_cctx*, int, treeabs*)
{
    kst_stop();
    return 0;
}

int h_quit(t_cctx* ctx, int, treeabs*)
{
    ctx->kc.stopflag = 1;
    return 1;
}

int h_include(t_cctx* ctx, int, treeabs* node)
{
    kst_include(ctx, kidname(node, 0), false);
    return 0;
}

// name[i, ...]: only macro_optargs[k] until arrays exist (the k-th argument after the named
// parameters of the running macro; error 102 when there is none).
// macro_optargs[k]: the running macro's k-th optional argument.
int optionalargument(t_cctx* ctx, int slot, treeabs* args)
{
    tree_int(ctx, slot + 1, kid(args, 0));
    long k = 0;
    bool ok = !flagged(ctx) && tree_slot_integer(ctx, slot + 1, &k);
    cleanat(ctx, slot + 1);
    if (!ok) return 0;
    t_macroarg* arg = k >= 1 && k <= INT_MAX ? macro_getoptionalarg(ctx, static_cast<int>(k)) : nullptr;
    t_idcommon* value = arg ? arg->Vgetvalue() : nullptr;
    if (!value) {
        if (!Erreur_Execution) kst_runerror(ctx, 102);
        return 0;
    }
    tree_slot_setobject(ctx, slot, value->Vcopy());
    return 0;
}

// name[subscripts]: an element or a part of the value, through its class.
int h_index(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* name = kid(node, 0);
    treeabs* args = kid(node, 1);
    // (the first letter spares the common x[k] a comparison of texts)
    if (name && name->kind == TREE_SYMBOL && kidname(name, 0)[0] == 'm' &&
        strcmp(kidname(name, 0), "macro_optargs") == 0 && tree_paracount(args) == 1)
        return optionalargument(ctx, slot, args);
    coef element;
    if (!s_hooks.node && elementnumber(ctx, node, &element)) {
        tree_slot_setcoef(ctx, slot, element);
        return 0;
    }
    tree_int(ctx, slot + 1, name);
    const t_idcommon* value = flagged(ctx) ? nullptr : tree_slot_value(ctx, slot + 1);
    if (treeabs* only = value ? plainsubscript(args) : nullptr) {
        // One plain subscript: a number element is read straight into the slot.
        tree_int(ctx, slot + 2, only);
        const t_idcommon* held = flagged(ctx) ? nullptr : const_cast<t_idcommon*>(value)->Vgetvalue();
        long i;
        coef c;
        if (held && slotsubscript(ctx, slot + 2, &i) && held->Vextract_number(ctx, i, &c)) {
            modenum_convert(ctx, &c);
            tree_slot_setcoef(ctx, slot, c);
        } else if (held) {
            std::vector<t_subscript> one(1);
            one[0].v = tree_slot_value(ctx, slot + 2);
            if (!one[0].v) {
                kst_runerror(ctx, 105);
            } else {
                one[0].v = const_cast<t_idcommon*>(one[0].v)->Vgetvalue();
                t_idcommon* part = held->Vextract(ctx, one);
                if (part && !flagged(ctx)) tree_slot_setobject(ctx, slot, part);
                else if (part) part->Vdelete();
            }
        }
        cleanat(ctx, slot + 2);
        cleanat(ctx, slot + 1);
        return 0;
    }
    std::vector<t_subscript> subscripts;
    if (value && tree_eval_subscripts(ctx, slot + 2, args, &subscripts)) {
        const t_idcommon* held = const_cast<t_idcommon*>(value)->Vgetvalue();
        t_idcommon* part = held ? held->Vextract(ctx, subscripts) : nullptr;
        if (part && !flagged(ctx)) tree_slot_setobject(ctx, slot, part);
        else if (part) part->Vdelete();
    }
    tree_clean_subscripts(ctx, slot + 2, subscripts);
    cleanat(ctx, slot + 1);
    return 0;
}

// A statement whose room is not built yet.
int h_unavailable(t_cctx* ctx, int, treeabs* node)
{
    kst_runerror(ctx, 374, tree_kindname(node->kind));
    return 0;
}

int h_infinite(t_cctx* ctx, int slot, treeabs*)
{
    tree_slot_setcoef(ctx, slot, coef_fromdbl(HUGE_VAL));
    return 0;
}

// A value word (NUMDBL, LINEAR, write, macro_optargs...) means something only as the argument
// of the command that reads it.
int h_keywordvalue(t_cctx* ctx, int, treeabs*)
{
    kst_runerror(ctx, 478);
    return 0;
}

// "..." stands for the remaining dimensions of a subscript and for nothing else.
int h_ellipsis(t_cctx* ctx, int, treeabs*)
{
    kst_runerror(ctx, 214);
    return 0;
}

// &, &* and {a, b}: no value class of the core defines them; the series room replaces these.
int h_nooperator(t_cctx* ctx, int slot, treeabs* node)
{
    if (evalchildren(ctx, slot, node, 2)) kst_runerror(ctx, 105);
    cleanchildren(ctx, slot, 2);
    return 0;
}

// Lines for gnuplot, maple, mathematica or grace, with no external session to take them.
int h_passthrough(t_cctx* ctx, int, treeabs*)
{
    kst_runerror(ctx, 109);
    return 0;
}

void registercore()
{
    static bool done = false;
    if (done) return;
    done = true;
    struct later {   // the keyword statements register once the core table exists
        ~later() { kst_tree_init_statements(); }
    } registerkeywords;
    for (auto& h : s_handlers) h = h_unavailable;
    struct { etreeabs kind; t_treehandler h; } table[] = {
        {TREE_LIST, h_list},         {TREE_STATEMENT, h_statement}, {TREE_INSTRUCTION, h_command},
        {TREE_COMMAND, h_command},   {TREE_DISPLAY, h_display},     {TREE_INTEGER, h_integer},
        {TREE_REAL, h_real},         {TREE_REAL_OR_INTEGER, h_real}, {TREE_STRING, h_string},
        {TREE_PI, h_pi},             {TREE_ICOMPLEX, h_icomplex},   {TREE_SYMBOL, h_symbol},
        {TREE_ASSIGN, h_assign},     {TREE_ADD, h_add},             {TREE_SUB, h_sub},
        {TREE_MUL, h_mul},           {TREE_DIV, h_div},             {TREE_POW, h_pow},
        {TREE_NEG, h_neg},           {TREE_CONDEQ, h_eq},           {TREE_CONDNE, h_ne},
        {TREE_CONDLT, h_lt},         {TREE_CONDGT, h_gt},           {TREE_CONDLE, h_le},
        {TREE_CONDGE, h_ge},         {TREE_CONDAND, h_and},         {TREE_CONDOR, h_or},
        {TREE_IF, h_if},             {TREE_WHILE, h_while},         {TREE_FOR, h_for},
        {TREE_SUM, h_sum},           {TREE_PROD, h_prod},           {TREE_RETURN, h_return},
        {TREE_SWITCH, h_switch},     {TREE_TRY, h_try},             {TREE_MACRODEF, h_macrodef},
        {TREE_METHODDEF, h_macrodef}, {TREE_MACROCALL, h_macrocall}, {TREE_CALL, h_call},
        {TREE_PRIVATE, h_private},   {TREE_PUBLIC, h_public},       {TREE_STOP, h_stop},
        {TREE_QUIT, h_quit},         {TREE_INCLUDE, h_include},     {TREE_METHODCALL, h_methodcall},
        {TREE_INDEX, h_index},       {TREE_FILENAME, h_filename},   {TREE_SUM_FMA, h_sumfma},
        {TREE_RETURN_FMA, h_returnfma}, {TREE_INFINITE, h_infinite}, {TREE_KEYWORDVALUE, h_keywordvalue},
        {TREE_ELLIPSIS, h_ellipsis}, {TREE_EXTMUL, h_nooperator},   {TREE_LIEMUL, h_nooperator},
        {TREE_POISSON, h_nooperator}, {TREE_GNUPLOT, h_passthrough}, {TREE_MAPLE, h_passthrough},
        {TREE_MATHEMATICA, h_passthrough}, {TREE_GRACE, h_passthrough},
    };
    for (auto& e : table) s_handlers[tree_kindindex(e.kind)] = e.h;
    for (const t_func1& f : s_func1) kst_tree_setkeywordhandler(f.keyword, h_func1);
}

} // namespace

void kst_assign(t_cctx* ctx, const char* name, t_idcommon* owned) { assignname(ctx, name, owned); }

// ---------------------------------------------------------------- dispatch

void kst_tree_sethandler(etreeabs kind, t_treehandler h)
{
    registercore();
    int k = tree_kindindex(kind);
    if (k < 0 || k >= s_nkinds) kst_iceerror(1022, "kst_tree_sethandler", k);
    s_handlers[k] = h ? h : h_unavailable;
}

int kst_tree_missinghandler()
{
    registercore();
    int count = 0;
    const etreeabs* kinds = tree_evaluatedkinds(&count);
    for (int i = 0; i < count; i++)
        if (s_handlers[tree_kindindex(kinds[i])] == h_unavailable) return tree_kindindex(kinds[i]);
    return -1;
}

void kst_tree_checkhandlers()
{
    int k = kst_tree_missinghandler();
    if (k < 0) return;
    char text[128];
    snprintf(text, sizeof text, "aucun traitement pour le noeud %s (%d)", tree_kindname(etreeabs(TREEK(k))), k);
    kst_iceerror(1000, "kst_tree_checkhandlers", text);
}

bool kst_tree_setkeywordhandler(const char* keyword, t_treehandler h)
{
    const t_keyword* table = kst_keywordtable();
    for (int i = 0; i < kst_keywordcount; i++) {
        if (strcmp(table[i].text, keyword) == 0) {
            kst_tree_sethandler(tree_keywordkind(kst_findkeyword(table[i].token)), h);
            return true;
        }
    }
    return false;
}

int tree_int(t_cctx* ctx, int slot, treeabs* node)
{
    registercore();
    absrun_slot& s = slotat(ctx, slot);
    if (s.tag != kr_end) cleanat(ctx, slot);
    if (!node || ctx->kc.stoprequested() || Erreur_Execution) return 0;
    if (kst_stack_exhausted_fast()) {   // runaway recursion ends as an error, not a crash
        kst_runerror(ctx, 19);
        return 0;
    }
    if (s_hooks.node) s_hooks.node(ctx, &node->loc, node, s_hooks.nodeuser);
    elt_runpile* pile = ctx->pile;
    int k = tree_kindindex(node->kind);
    if (static_cast<unsigned>(k) >= static_cast<unsigned>(s_nkinds)) kst_iceerror(1022, "tree_int", k);
    if (!node->loc.isvalid()) return s_handlers[k](ctx, slot, node);   // the enclosing node's place stands
    t_tree_loc saved = pile->loc;
    pile->loc = node->loc;
    int r = s_handlers[k](ctx, slot, node);
    if (ctx->pile == pile) pile->loc = saved;
    return r;
}

int tree_run_statement(t_cctx* ctx, treeabs* tree)
{
    if (!tree) return 0;
    if (!tree_run_getpile(ctx)) return tree_int_int(ctx, tree);
    int r = tree_int(ctx, 0, tree);
    cleanat(ctx, 0);
    ctx->kc.stopflag = 0;   // quit, or a stop that found nothing to stop, ends here
    return r;
}

int kst_callmethod(t_cctx* ctx, int slot, t_macro* macro, treeabs* args, t_identry* self)
{
    return callmacro(ctx, slot, macro, args, RUNPILE_MACRO, self);
}

int tree_int_int(t_cctx* ctx, treeabs* tree)
{
    elt_runpile* pile = tree_run_setpile(ctx, RUNPILE_STRING, nullptr, nullptr);
    int r = tree_run_statement(ctx, tree);
    tree_run_removepile(ctx, pile);
    return r;
}

void kst_set_funchookint(t_hookstatement before, t_hookstatement after, void* user)
{
    s_hooks.before = before;
    s_hooks.after = after;
    s_hooks.user = user;
}

void kst_set_funchooknodeint(t_hooknode hook, void* user)
{
    s_hooks.node = hook;
    s_hooks.nodeuser = user;
}

// The one-argument function `keyword` of a number (sin, abs, fac, ...), as the evaluator computes
// it; false after an error (23 when the function does not apply to the number).
bool kst_number_function(t_cctx* ctx, const char* keyword, const coef* a, coef* out)
{
    for (const t_func1& f : s_func1) {
        if (strcmp(f.keyword, keyword) != 0) continue;
        coef c = copycoef(a);
        bool ok = false;
        if (f.number && coef_vt(&c).*(f.number)) {
            *out = (coef_vt(&c).*(f.number))(ctx, &c, 0);
            ok = !flagged(ctx);
        } else if (!f.number) {
            ok = specialfunction(ctx, keyword, &c, out);
        }
        deletecoef(&c);
        if (!ok && !flagged(ctx)) kst_runerror(ctx, 23);
        if (!ok) deletecoef(out);
        return ok;
    }
    kst_runerror(ctx, 23);
    return false;
}
