// Truncations in the language. A group is written {x, 3} (one variable) or {[x, y], 4} (a total
// degree in several variables); groups join with +: {x, 3} + {y, 2}. The truncation in force is
// the value of the identifier _tronc, the monomial truncation that of _trmon; `delete _tronc;`
// lifts it. Every product and power of series reads them.
#include "series/serie.h"
#include "series/tronc.h"
#include "series/variable.h"

#include "interp/error.h"
#include "interp/ids.h"
#include "interp/treeabs.h"
#include "interp/treeint.h"

#include <algorithm>
#include <cstring>

namespace {

t_variable* variablenamed(t_cctx* ctx, treeabs* a)
{
    if (!a || a->kind != TREE_SYMBOL) return nullptr;
    t_identificateur_syntaxe ref = recherche_id(ctx, tree_string(a, 0));
    if (!ref.entry || !ref.entry->value || ref.entry->value->Vgettypeenum() != IDTYPE_VARIABLE) return nullptr;
    return static_cast<t_variable*>(ref.entry->value);
}

// {x, n} and {[x, y, ...], n}: a truncation of one group. Any other pair has no operator.
int h_group(t_cctx* ctx, int slot, treeabs* node)
{
    treeabs* what = tree_child(node, 0);
    troncature g;
    if (t_variable* v = variablenamed(ctx, what)) {
        g.variables.push_back(v);
    } else if (what && what->kind == TREE_VECTOR) {
        for (int i = 0; treeabs* e = tree_child(what, i); i++) {
            t_variable* v = variablenamed(ctx, e);
            if (!v) {
                kst_runerror(ctx, 27);
                return 0;
            }
            if (std::find(g.variables.begin(), g.variables.end(), v) == g.variables.end()) g.variables.push_back(v);
        }
    }
    if (g.variables.empty()) {
        kst_runerror(ctx, 105);
        return 0;
    }
    int r = tree_int(ctx, slot + 1, tree_child(node, 1));
    if (r) return r;
    long level = 0;
    if (!tree_flags(ctx) && tree_slot_integer(ctx, slot + 1, &level)) {
        g.level = static_cast<int32_t>(level);
        auto* t = new t_tronc();
        t->groups.push_back(g);
        tree_slot_setobject(ctx, slot, t);
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

// Two truncations joined: the groups of both, in order. Among single-variable groups a variable
// may occur once only (error 266, nothing is made).
t_idcommon* op_join(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    auto* ta = static_cast<t_tronc*>(a->Vgetvalue());
    auto* tb = static_cast<t_tronc*>(b->Vgetvalue());
    auto* r = new t_tronc();
    r->groups = ta->groups;
    r->groups.insert(r->groups.end(), tb->groups.begin(), tb->groups.end());
    bool allsingle = std::all_of(r->groups.begin(), r->groups.end(),
                                 [](const troncature& g) { return g.variables.size() == 1; });
    bool repeated = false;
    for (size_t i = 0; allsingle && i < r->groups.size(); i++)
        for (size_t j = i + 1; j < r->groups.size(); j++)
            if (r->groups[i].variables[0] == r->groups[j].variables[0]) repeated = true;
    if (repeated) {
        delete r;
        r = nullptr;
        kst_runerror(ctx, 266);
    }
    if (!ka) a->Vdelete();
    if (!kb && b != a) b->Vdelete();
    return r;
}

const t_tronc* inforce(t_cctx* ctx, const char* name)
{
    t_identificateur_syntaxe ref = recherche_id(ctx, name);
    if (!ref.entry || !ref.entry->value) return nullptr;
    t_idcommon* v = ref.entry->value->Vgetvalue();
    return v->Vgettypeenum() == IDTYPE_TRONC ? static_cast<const t_tronc*>(v) : nullptr;
}

// Deleting a variable. A truncation in force that names it refuses (error 97: the variable is in
// use). Otherwise the global series that hold it are emptied, each with information message 52:
// the name may come back as a new variable, and a series still holding the old one would show
// two different variables under one name. The variable object itself lives on (series held by
// local scopes, named truncations and angular variables may still point at it).
const t_variable* s_deleting = nullptr;

bool candeletevariable(t_cctx* ctx, const t_identry* e)
{
    if (!e->value || e->value->Vgettypeenum() != IDTYPE_VARIABLE) return true;
    const t_idcommon* v = e->value;
    for (const char* name : {"_tronc", "_trmon"})
        if (const t_tronc* t = inforce(ctx, name); t && t->Vdependon(v)) return false;
    s_deleting = static_cast<const t_variable*>(v);
    return true;
}

void ondeletevariable(t_cctx* ctx, const char* name)
{
    const t_variable* v = s_deleting;
    if (!v || strcmp(v->getName(), name) != 0) return;
    s_deleting = nullptr;
    kst_globaltree(ctx)->foreach([&](t_identry& e) {
        if (!e.value || e.value->Vgettypeenum() != IDTYPE_SERIE || !e.value->Vdependon(v)) return;
        deletecoef(&static_cast<t_serie*>(e.value)->value());
        kst_runinfo(52, e.name.c_str());
    });
}

} // namespace

const t_troncwork* kst_serie_truncations(t_cctx* ctx, const t_tronc** trmon)
{
    const t_tronc* tr = inforce(ctx, "_tronc");
    *trmon = inforce(ctx, "_trmon");
    if (*trmon && (*trmon)->groups.empty()) *trmon = nullptr;
    if (tr && tr->groups.empty()) tr = nullptr;
    t_kctx& k = kst_kctx(ctx);
    k.tronc = tr;
    k.trmon = *trmon;
    return tr ? &tr->work() : nullptr;
}

// stat x: its rank, and under the truncation in force its levels and the variables sharing its
// groups.
void t_variable::Vstat(t_cctx* ctx, FILE* stream) const
{
    fprintf(stream, "%s : %s %d\n", getName(), "variable", getOrder(ctx, this));
    const t_tronc* tr = inforce(ctx, "_tronc");
    if (!tr || !tr->Vdependon(this)) return;
    t_troncwork w;
    w.init(*tr);
    fprintf(stream, " troncature aux niveaux %d , %d \n", lowerlevel, w.getnivh(this));
    std::vector<const t_variable*> linked;
    for (const troncature& g : tr->groups) {
        if (std::find(g.variables.begin(), g.variables.end(), this) == g.variables.end()) continue;
        for (const t_variable* v : g.variables)
            if (v != this && std::find(linked.begin(), linked.end(), v) == linked.end()) linked.push_back(v);
    }
    if (linked.empty()) return;
    fputs(" variables liees : ", stream);
    for (size_t i = 0; i < linked.size(); i++) fprintf(stream, "%s%s", i ? ", " : "", linked[i]->getName());
    fputs("\n", stream);
}

void kst_tronc_registerlanguage()
{
    kst_tree_sethandler(TREE_POISSON, h_group);
    kst_id_vtable_setbinop(IDOP_ADD, IDTYPE_TRONC, IDTYPE_TRONC, op_join);
    add_functions_registered_candelete_arbre(candeletevariable);
    add_functions_registered_delete_arbre(ondeletevariable);
}
