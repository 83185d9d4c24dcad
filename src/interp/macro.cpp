// Macro definitions, the macro table, call resolution and argument binding.
#include "interp/macro.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/parsestate.h"
#include "interp/runpile.h"
#include "interp/treesharedcode.h"
#include "render/render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

struct t_macrotable {
    std::map<std::string, std::unique_ptr<t_macro_user>, std::less<>> byname;
};

namespace {
constexpr const char* s_ellipsis = "...";

t_macrotable* tableof(t_cctx* ctx)
{
    if (!ctx->macros) ctx->macros = new t_macrotable;
    return ctx->macros;
}

const char* innermostfile(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (p->kind == RUNPILE_FILE) return p->name;
    return nullptr;
}

bool samevisibility(const t_macro* a, const t_macro* b)
{
    return a->getstructure() == b->getstructure() &&
           (a->getFilename() ? std::string(a->getFilename()) : std::string()) ==
               (b->getFilename() ? std::string(b->getFilename()) : std::string());
}
} // namespace

// ---------------------------------------------------------------- parameter lists

cellule_parametre* cellule_parametre_new(const std::vector<std::string>& names)
{
    cellule_parametre* head = nullptr;
    for (auto it = names.rbegin(); it != names.rend(); ++it) head = new cellule_parametre{strdup(it->c_str()), head};
    return head;
}

void cellule_parametre_delete(cellule_parametre* list)
{
    while (list) {
        cellule_parametre* next = list->next;
        free(list->name);
        delete list;
        list = next;
    }
}

cellule_parametre* nom_in_parametre(const char* name, cellule_parametre* list)
{
    for (; list; list = list->next)
        if (strcmp(list->name, name) == 0) return list;
    return nullptr;
}

const char* macro_verif_parametre(cellule_parametre* list)
{
    for (; list; list = list->next)
        if (nom_in_parametre(list->name, list->next)) return list->name;
    return nullptr;
}

// ---------------------------------------------------------------- t_macro

t_macro::t_macro(const char* name, cellule_parametre* params, treesharedcode* code, treeabs* body,
                 const char* privatefile, const char* structure)
    : m_name(name), m_params(params), m_code(code), m_body(body), m_privatefile(privatefile ? privatefile : ""),
      m_structure(structure ? structure : "")
{
    treesharedcode_attach(m_code);
    for (cellule_parametre* p = m_params; p; p = p->next) {
        if (strcmp(p->name, s_ellipsis) == 0) m_optional = true;
        else m_nnamed++;
    }
    if (!m_optional && m_nnamed <= k_direct && !macro_verif_parametre(m_params)) {
        int k = 0;
        for (cellule_parametre* p = m_params; p; p = p->next, k++) {
            m_pnames[k] = p->name;
            m_plens[k] = strlen(p->name);
        }
        m_direct = m_nnamed;
    }
}

t_macro::~t_macro()
{
    cellule_parametre_delete(m_params);
    tree_delete(m_body);
    treesharedcode_detach(m_code);
}

void t_macro::leavelast()
{
    if (m_runninglocal == 0 && m_running == 0) delete this;
}

void t_macro::release(t_macro* m)
{
    if (m->m_running || m->m_runninglocal) m->m_retired = true;
    else delete m;
}

bool t_macro::canbecalledwith0arg() const { return getnbargs() == 0; }

void t_macro::display(t_cctx* ctx, FILE* stream) const
{
    t_render* r = kst_cctx_getrender(ctx, stream);
    r->Vrender_unsafe("macro ");
    r->Vname(m_name.c_str());
    r->Vcrochet_begin();
    for (cellule_parametre* p = m_params; p; p = p->next) {
        r->Vname(p->name);
        if (p->next) r->Vespacesigne_virgule();
    }
    r->Vcrochet_end();
    if (!m_privatefile.empty()) r->Vformat(" (%s)", m_privatefile.c_str());
    r->writenewline();
}

// ---------------------------------------------------------------- t_macro_user

t_macro_user::~t_macro_user()
{
    for (t_macro* m : m_variants) t_macro::release(m);
}

void t_macro_user::add(t_macro* m)
{
    for (t_macro*& v : m_variants) {
        if (samevisibility(v, m)) {
            t_macro::release(v);
            v = m;
            return;
        }
    }
    m_variants.push_back(m);
}

bool t_macro_user::remove(t_macro* m)
{
    for (auto it = m_variants.begin(); it != m_variants.end(); ++it) {
        if (*it == m) {
            t_macro::release(m);
            m_variants.erase(it);
            return true;
        }
    }
    return false;
}

// From the innermost pile outwards: the variant private to a running file, then, inside a method,
// a variant of the same structure; otherwise the public one.
t_macro* t_macro_user::findmacro(t_cctx* ctx) const
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if (p->kind == RUNPILE_FILE) {
            for (t_macro* v : m_variants)
                if (v->isprivateforfile(p->name)) return v;
        } else if (tree_run_getpile_isinmacroexecution(p) && p->name) {
            if (const char* at = strchr(p->name, '@')) {
                std::string structure(p->name, at - p->name);
                for (t_macro* v : m_variants)
                    if (v->ismemberofsamestructure(structure.c_str())) return v;
            }
        }
    }
    for (t_macro* v : m_variants)
        if (v->ispublic()) return v;
    return nullptr;
}

// ---------------------------------------------------------------- table

std::string macro_build_name(const char* structure, const char* macro) { return std::string(structure) + "@" + macro; }

t_macro* macro_lecture(t_cctx* ctx, const char* name, cellule_parametre* params, treesharedcode* code,
                       treeabs* body, bool privateforfile, const char* structure)
{
    auto refuse = [&]() -> t_macro* {
        cellule_parametre_delete(params);
        tree_delete(body);
        return nullptr;
    };
    if (structure) {
        if (!kst_struct_isdeclared(ctx, structure)) {
            kst_runerror(ctx, 535, structure);
            return refuse();
        }
        for (cellule_parametre* p = params; p; p = p->next) {
            if (kst_struct_hasfield(ctx, structure, p->name)) {
                kst_runerror(ctx, 632, p->name, structure);
                return refuse();
            }
        }
    }
    if (const char* twice = macro_verif_parametre(params)) {
        kst_runerror(ctx, 92, twice);
        return refuse();
    }
    std::string key = structure ? macro_build_name(structure, name) : std::string(name);
    auto& slot = tableof(ctx)->byname[key];
    if (!slot) slot = std::make_unique<t_macro_user>();
    const char* file = nullptr;
    if (privateforfile) {
        file = innermostfile(ctx);
        if (!file) kst_runwarning(ctx, 39, name);     // defined interactively: becomes public
    }
    auto* m = new t_macro(key.c_str(), params, code, body, file, structure);
    slot->add(m);
    kst_idgen_bump();   // calls remember the definition they resolved to
    return m;
}

t_macro_user* macro_find(t_cctx* ctx, const char* name)
{
    if (ctx->macros) {
        auto it = ctx->macros->byname.find(name);
        if (it != ctx->macros->byname.end()) return it->second.get();
    }
    // A parallel task calls the macros of the context that started it (they stay put meanwhile).
    return ctx->master ? macro_find(ctx->master, name) : nullptr;
}

t_macro* macro_resolve(t_cctx* ctx, const char* name, bool quiet)
{
    t_macro_user* user = macro_find(ctx, name);
    t_macro* m = user ? user->findmacro(ctx) : nullptr;
    if (!m && !quiet) kst_runerror(ctx, 10, name);
    return m;
}

t_macro* macro_find_struct(t_cctx* ctx, const char* structure, const char* name, bool quiet)
{
    return macro_resolve(ctx, macro_build_name(structure, name).c_str(), quiet);
}

bool enleve_macro(t_cctx* ctx, const char* name)
{
    t_macro_user* user = macro_find(ctx, name);
    t_macro* m = user ? user->findmacro(ctx) : nullptr;
    if (!m) {
        kst_runerror(ctx, 10, name);
        return false;
    }
    user->remove(m);
    kst_idgen_bump();
    if (user->variants().empty()) ctx->macros->byname.erase(std::string(name));
    return true;
}

void macro_efface_tout(t_cctx* ctx)
{
    kst_idgen_bump();
    if (ctx->macros) ctx->macros->byname.clear();
}

void macro_listall(t_cctx* ctx, FILE* stream)
{
    if (!ctx->macros) return;
    for (auto& [name, user] : ctx->macros->byname)
        for (t_macro* m : user->variants()) m->display(ctx, stream);
}

void kst_macros_release(t_cctx* ctx)
{
    kst_idgen_bump();
    delete ctx->macros;
    ctx->macros = nullptr;
}

void kst_macro_deleteall() { macro_efface_tout(t_cctx::getLocalCctx()); }

// ---------------------------------------------------------------- binding

namespace {
// Optional arguments are read as bindings (macro_optargs[k], passed on by a call).
t_macroarg* asbinding(t_idcommon* v)
{
    return v->getFlag() == KST_IDFLAG_MACROARG ? static_cast<t_macroarg*>(v) : t_macroarg::newvalue(v);
}

t_identry* bindnamed(t_cctx* ctx, const char* name, t_idcommon* v, t_genarbre* tree)
{
    t_identry* e = tree->bind(name, KST_IDFLAG_MACROARG, v);
    if (!e) {
        kst_runerror(ctx, 86, name);
        v->Vdelete();
    }
    return e;
}
} // namespace

bool macro_affect_list_parametre_valeur(t_cctx* ctx, const t_macro* macro, const std::vector<t_macroarg*>& args,
                                        t_genarbre* tree)
{
    std::vector<t_idcommon*> values(args.begin(), args.end());
    return macro_affect_list_parametre_valeur(ctx, macro, values.data(), values.size(), tree);
}

bool macro_affect_list_parametre_valeur(t_cctx* ctx, const t_macro* macro, t_idcommon* const* args, size_t given,
                                        t_genarbre* tree, elt_runpile* pile)
{
    size_t named = static_cast<size_t>(macro->getnbargs());
    bool optional = macro->hasoptionalargs();
    if (given < named || (given > named && !optional) || (given == 0 && !macro->canbecalledwith0arg())) {
        kst_runerror(ctx, 11, macro->getname().c_str());
        for (size_t k = 0; k < given; k++) args[k]->Vdelete();
        return false;
    }
    size_t next = 0;
    for (cellule_parametre* p = macro->getparameters(); p; p = p->next) {
        if (p->name[0] == '.' && strcmp(p->name, s_ellipsis) == 0) continue;
        t_identry* e;
        if (pile && next < k_pileparams && tree == &pile->parameters && tree->fixedroom() > 0) {
            e = tree->bindfixed(p->name, KST_IDFLAG_MACROARG, args[next]);
            if (!e) {
                kst_runerror(ctx, 86, p->name);
                args[next]->Vdelete();
            }
        } else {
            e = bindnamed(ctx, p->name, args[next], tree);
        }
        if (pile && next < k_pileparams) pile->params[next] = e;
        next++;
    }
    if (pile) {
        pile->nparams = static_cast<int>(std::min(next, static_cast<size_t>(k_pileparams)));
        pile->macrodef = macro;
    }
    for (int k = 1; next < given; k++) {
        char name[64];
        snprintf(name, sizeof name, "%s[%d]", "macro_optargs", k);
        macro_affect_parametre_valeur(ctx, name, asbinding(args[next++]), tree);
    }
    return !Erreur_Execution;
}

namespace {
t_genarbre* runningmacroscope(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (tree_run_getpile_isinmacroexecution(p)) return &p->parameters;
    return nullptr;
}
} // namespace

int macro_getsizeoptionalarg(t_cctx* ctx)
{
    t_genarbre* s = runningmacroscope(ctx);
    int n = 0;
    while (s && macro_getoptionalarg(ctx, n + 1)) n++;
    return n;
}

t_macroarg* macro_getoptionalarg(t_cctx* ctx, int k)
{
    t_genarbre* s = runningmacroscope(ctx);
    if (!s) return nullptr;
    char name[64];
    snprintf(name, sizeof name, "%s[%d]", "macro_optargs", k);
    t_identry* e = s->find(name);
    return e ? static_cast<t_macroarg*>(e->value) : nullptr;
}
