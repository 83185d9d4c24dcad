// Identifier trees and the lookup through run piles, file-private and global identifiers.
#include "interp/ids.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/runpile.h"
#include "render/render.h"

#include <atomic>
#include <cstring>
#include <memory>

struct t_ids_ctx {
    t_genarbre global;
    std::map<std::string, std::unique_ptr<t_genarbre>, std::less<>> fileprivate;
    std::set<std::string, std::less<>> allprivatefiles;   // files under `private _ALL`
};

namespace {
std::vector<t_candelete_func> s_candelete;
std::vector<t_notify_func> s_oninsert;
std::vector<t_notify_func> s_ondelete;

t_ids_ctx* idsof(t_cctx* ctx)
{
    if (!ctx->ids) ctx->ids = new t_ids_ctx;
    return ctx->ids;
}

bool ismacropile(const elt_runpile* p) { return p->kind == RUNPILE_MACRO || p->kind == RUNPILE_LIBMACRO; }
bool isloop(const elt_runpile* p) { return p->kind == RUNPILE_FOR || p->kind == RUNPILE_WHILE; }

// The innermost file pile below the first macro pile (a macro sees the private identifiers of the
// file it runs from, not those of its caller's caller).
const char* currentfile(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (p->kind == RUNPILE_FILE) return p->name;
    return nullptr;
}

void notify(const std::vector<t_notify_func>& fs, t_cctx* ctx, const char* name)
{
    for (t_notify_func f : fs) f(ctx, name);
}
} // namespace

// ---------------------------------------------------------------- generations

thread_local uint64_t kst_idgen_tls __attribute__((tls_model("initial-exec"))) = 0;

namespace {
std::atomic<uint64_t> s_idgenthreads{0};

thread_local uint64_t s_pileserial __attribute__((tls_model("initial-exec"))) = 0;

uint64_t threadrange() { return (s_idgenthreads.fetch_add(1) + 1) << 40; }

uint64_t& idgen()
{
    if (__builtin_expect(kst_idgen_tls == 0, 0)) kst_idgen_tls = threadrange() + 1;
    return kst_idgen_tls;
}
} // namespace

uint64_t kst_idgen() { return idgen(); }
void kst_idgen_bump() { idgen()++; }

uint64_t kst_pileserial()
{
    if (__builtin_expect(s_pileserial == 0, 0)) s_pileserial = threadrange();
    return ++s_pileserial;
}

// ---------------------------------------------------------------- t_genarbre

// A tree that goes is either a pile's (whose serial never comes back) or goes with the context's
// identifiers (kst_ids_release moves the generation): no lookup needs to be forgotten here.
t_genarbre::~t_genarbre() { drop(false); }

t_identry* t_genarbre::findfixed(const char* name, size_t len)
{
    for (int k = 0; k < m_nfixed; k++) {
        const std::string& n = m_fixed[k].name;
        if (n.size() == len && len && memcmp(n.data(), name, len) == 0) return &m_fixed[k];
    }
    return nullptr;
}

t_identry* t_genarbre::find(const std::string& name)
{
    if (m_nfixed)
        if (t_identry* e = findfixed(name.data(), name.size())) return e;
    if (m_entries.empty()) return nullptr;
    auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : &it->second;
}

t_identry* t_genarbre::insert(const std::string& name, int flag, t_idcommon* value) { return add(name, flag, value, true); }
t_identry* t_genarbre::bind(const std::string& name, int flag, t_idcommon* value) { return add(name, flag, value, false); }

size_t t_genarbre::size() const
{
    size_t n = m_entries.size();
    for (int k = 0; k < m_nfixed; k++) n += !m_fixed[k].name.empty();
    return n;
}

t_identry* t_genarbre::bindfixed(const char* name, int flag, t_idcommon* value)
{
    size_t len = strlen(name);
    if (findfixed(name, len) || (!m_entries.empty() && m_entries.count(std::string_view(name, len)))) return nullptr;
    return new (&m_fixed[m_nfixed++]) t_identry{std::string(name, len), value, flag};
}

t_identry* t_genarbre::add(const std::string& name, int flag, t_idcommon* value, bool bump)
{
    if (m_nfixed && findfixed(name.data(), name.size())) return nullptr;
    auto [it, fresh] = m_entries.try_emplace(name);
    if (!fresh) return nullptr;
    if (bump) kst_idgen_bump();
    it->second.name = name;
    it->second.flag = flag;
    it->second.value = value;
    return &it->second;
}

bool t_genarbre::erase(const std::string& name)
{
    if (t_identry* e = m_nfixed ? findfixed(name.data(), name.size()) : nullptr) {
        kst_idgen_bump();
        t_idcommon* value = e->borrowed ? nullptr : e->value;
        e->value = nullptr;
        e->name.clear();
        if (value) value->Vdelete();
        return true;
    }
    auto it = m_entries.find(name);
    if (it == m_entries.end()) return false;
    kst_idgen_bump();
    t_idcommon* value = it->second.borrowed ? nullptr : it->second.value;
    m_entries.erase(it);
    if (value) value->Vdelete();
    return true;
}

void t_genarbre::clear() { drop(true); }

void t_genarbre::drop(bool bump)
{
    if (m_nfixed) {
        if (bump) kst_idgen_bump();
        bump = false;
        for (int k = 0; k < m_nfixed; k++) {
            t_identry& e = m_fixed[k];
            if (e.value && !e.borrowed) e.value->Vdelete();
            e.~t_identry();
        }
        m_nfixed = 0;
    }
    if (m_entries.empty()) return;
    if (bump) kst_idgen_bump();
    for (auto& [name, e] : m_entries)
        if (e.value && !e.borrowed) e.value->Vdelete();
    m_entries.clear();
}

// ---------------------------------------------------------------- piles and context

t_pilescope* kst_pilescope(elt_runpile* pile)
{
    if (!pile->scope) pile->scope = new t_pilescope;
    return pile->scope;
}

void kst_pilescope_release(elt_runpile* pile)
{
    delete pile->scope;
    pile->scope = nullptr;
}

t_genarbre* kst_globaltree(t_cctx* ctx) { return &idsof(ctx)->global; }

t_genarbre* kst_fileprivatetree(t_cctx* ctx, const char* file, bool create)
{
    if (!file) return nullptr;
    auto& files = idsof(ctx)->fileprivate;
    auto it = files.find(file);
    if (it != files.end()) return it->second.get();
    if (!create) return nullptr;
    return files.emplace(file, std::make_unique<t_genarbre>()).first->second.get();
}

void kst_ids_release(t_cctx* ctx)
{
    kst_idgen_bump();
    delete ctx->ids;
    ctx->ids = nullptr;
}

// ---------------------------------------------------------------- lookup

t_identificateur_syntaxe recherche_id(t_cctx* ctx, const char* name, bool forassignment)
{
    t_identificateur_syntaxe ref;
    ref.name = name;
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next) {
        if ((ref.entry = p->parameters.find(ref.name))) {
            ref.tree = &p->parameters;
            return ref;
        }
        if (t_pilescope* s = p->scope) {
            if ((ref.entry = s->locals.find(ref.name))) {
                ref.tree = &s->locals;
                return ref;
            }
            bool stop = s->allprivate ? !s->publics.count(ref.name) : s->declared.count(ref.name) > 0;
            if (stop && p->kind != RUNPILE_FILE) {
                ref.tree = &s->locals;   // created here when assigned
                return ref;
            }
        }
        if (ismacropile(p)) break;        // a macro never sees its caller's identifiers
    }
    if (const char* file = currentfile(ctx)) {
        t_ids_ctx* ids = idsof(ctx);
        if (t_genarbre* priv = kst_fileprivatetree(ctx, file, false)) {
            if ((ref.entry = priv->find(ref.name))) {
                ref.tree = priv;
                return ref;
            }
        }
        bool declared = false;
        for (elt_runpile* p = tree_run_getpile(ctx); p && !declared; p = p->next)
            if (p->kind == RUNPILE_FILE && p->name && strcmp(p->name, file) == 0 && p->scope)
                declared = p->scope->declared.count(ref.name) > 0;
        if (declared || ids->allprivatefiles.count(file)) {
            ref.tree = kst_fileprivatetree(ctx, file, true);
            return ref;
        }
    }
    t_genarbre* global = kst_globaltree(ctx);
    ref.entry = global->find(ref.name);
    ref.tree = global;
    if (!ref.entry && ctx->master && !forassignment) {
        // A parallel task reads the identifiers of the context that started it through a copy of
        // its own: what the task assigns stays in the task, and no task holds the other's values.
        t_idcommon* v = valeur_id(ctx->master, recherche_id(ctx->master, name).entry);
        if (v && (v->Vgettypeenum() == IDTYPE_TABLEAU || v->Vgettypeenum() == IDTYPE_VECNUM)) {
            // The elements are the tasks' way to hand results back: each iteration stores into
            // its own elements of the caller's array or vector.
            if ((ref.entry = global->insert(ref.name, 0, v))) ref.entry->borrowed = true;
        } else if (t_idcommon* copy = v && v->Viscopiable() ? v->Vcopy() : nullptr) {
            ref.entry = global->insert(ref.name, 0, copy);
        }
    }
    return ref;
}

t_idcommon* kst_ids2idc(const t_identificateur_syntaxe& ref) { return ref.entry ? ref.entry->value : nullptr; }

t_idcommon* recherche_symbole(t_cctx* ctx, const char* name) { return kst_ids2idc(recherche_id(ctx, name)); }

t_idcommon* recherche_symbole_global(t_cctx* ctx, const char* name)
{
    t_identry* e = kst_globaltree(ctx)->find(name);
    return e ? e->value : nullptr;
}

t_idcommon* valeur_id(t_cctx*, t_identry* entry)
{
    if (!entry || !entry->value) return nullptr;
    return entry->value->Vgetvalue();
}

t_idcommon* valeur_idcopy(t_cctx* ctx, t_identry* entry)
{
    t_idcommon* v = valeur_id(ctx, entry);
    return v ? v->Vcopy() : nullptr;
}

// ---------------------------------------------------------------- creation and deletion

void kst_identry_setvalue(t_identry* e, t_idcommon* value)
{
    if (e->value && e->value != value && !e->borrowed) e->value->Vdelete();
    e->value = value;
    e->borrowed = false;
}

t_identry* insere_elt_arbre_id(t_cctx* ctx, const char* name, int flag, t_idcommon* value, t_genarbre* tree)
{
    if (t_identry* e = tree->find(name)) {
        kst_identry_setvalue(e, value);
        e->flag = flag;
        return e;
    }
    t_identry* e = tree->insert(name, flag, value);
    notify(s_oninsert, ctx, name);
    return e;
}

t_identry* insere_symbole(t_cctx* ctx, const char* name, int flag, t_idcommon* value)
{
    t_identificateur_syntaxe ref = recherche_id(ctx, name);
    return insere_elt_arbre_id(ctx, name, flag, value, ref.tree);
}

t_identry* insere_symbole_global(t_cctx* ctx, const char* name, int flag, t_idcommon* value)
{
    return insere_elt_arbre_id(ctx, name, flag, value, kst_globaltree(ctx));
}

void add_functions_registered_candelete_arbre(t_candelete_func f) { s_candelete.push_back(f); }
void add_functions_registered_insere_arbre(t_notify_func f) { s_oninsert.push_back(f); }
void add_functions_registered_delete_arbre(t_notify_func f) { s_ondelete.push_back(f); }

bool supprime_elt_arbre_id(t_cctx* ctx, t_genarbre* tree, const char* name)
{
    t_identry* e = tree ? tree->find(name) : nullptr;
    if (!e) return false;
    if (e->inuse) {
        kst_runerror(ctx, 97, name);
        return false;
    }
    for (t_candelete_func f : s_candelete) {
        if (!f(ctx, e)) {
            kst_runerror(ctx, 97, name);
            return false;
        }
    }
    std::string keep = name;   // `name` may live in the entry being erased
    tree->erase(keep);
    notify(s_ondelete, ctx, keep.c_str());
    return true;
}

bool supprime_symbolenom(t_cctx* ctx, const char* name, bool quiet)
{
    t_identificateur_syntaxe ref = recherche_id(ctx, name);
    if (!ref.entry) {
        if (!quiet) kst_runerror(ctx, 38);
        return false;
    }
    return supprime_elt_arbre_id(ctx, ref.tree, name);
}

bool kst_delete(t_cctx* ctx, const char* name) { return supprime_symbolenom(ctx, name, false); }

void supprime_symbolearbre_id(t_cctx* ctx, t_genarbre* tree)
{
    std::vector<std::string> names;
    tree->foreach([&](t_identry& e) { names.push_back(e.name); });
    for (const std::string& n : names) supprime_elt_arbre_id(ctx, tree, n.c_str());
}

// ---------------------------------------------------------------- private and public

namespace {
// The pile that `private` applies to: the innermost macro call, loop, host text or file.
elt_runpile* privatepile(t_cctx* ctx)
{
    for (elt_runpile* p = tree_run_getpile(ctx); p; p = p->next)
        if (p->kind != RUNPILE_INTERACTIVE) return p;
    return nullptr;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string all;
    for (const std::string& n : names) all += (all.empty() ? "" : ", ") + n;
    return all;
}

// In a loop, a name bound as a parameter by an enclosing pile (up to the nearest macro or host
// text) cannot become private.
bool isenclosingparameter(elt_runpile* loop, const std::string& name)
{
    for (elt_runpile* p = loop->next; p; p = p->next) {
        if (p->parameters.find(name)) return true;
        if (ismacropile(p) || p->kind == RUNPILE_STRING) break;
    }
    return false;
}
} // namespace

void kst_private(t_cctx* ctx, const std::vector<std::string>& names)
{
    kst_idgen_bump();
    elt_runpile* pile = privatepile(ctx);
    if (!pile) {
        kst_runwarning(ctx, 4, joined(names).c_str());
        return;
    }
    t_pilescope* s = kst_pilescope(pile);
    for (const std::string& n : names) {
        if (isloop(pile) && isenclosingparameter(pile, n)) {
            kst_runerror(ctx, 544, n.c_str());
            return;
        }
        bool exists = s->locals.find(n) || s->declared.count(n);
        if (pile->kind == RUNPILE_FILE) {
            t_genarbre* priv = kst_fileprivatetree(ctx, pile->name, false);
            exists = exists || (priv && priv->find(n));
        }
        if (exists) {
            kst_runerror(ctx, 380, n.c_str());
            return;
        }
        s->declared.insert(n);
    }
}

void kst_private_all(t_cctx* ctx)
{
    kst_idgen_bump();
    elt_runpile* pile = privatepile(ctx);
    if (!pile) {
        kst_runwarning(ctx, 4, "_ALL");
        return;
    }
    if (pile->kind == RUNPILE_FILE) {
        if (pile->name) idsof(ctx)->allprivatefiles.insert(pile->name);
    } else {
        kst_pilescope(pile)->allprivate = true;
    }
}

void kst_public(t_cctx* ctx, const std::vector<std::string>& names)
{
    kst_idgen_bump();
    elt_runpile* pile = privatepile(ctx);
    if (!pile) return;
    t_pilescope* s = kst_pilescope(pile);
    for (const std::string& n : names) s->publics.insert(n);
}

// ---------------------------------------------------------------- value classes

void t_chaine::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    r->Vliteralstring(m_text.c_str());
    r->writenewline();
}

bool t_textid::Vswitchcase(t_cctx* ctx, const t_idcommon* value) const
{
    std::string other;
    if (!value->Visconvertibletochar() || !value->Vexport_str(ctx, other)) return false;
    return other == m_text;
}

void t_filename::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    r->Vrender_unsafe(m_text.c_str());
    r->writenewline();
}

t_macroarg* t_macroarg::newvalue(t_idcommon* owned)
{
    auto* a = new t_macroarg;
    a->m_kind = byvalue;
    a->m_value = owned;
    return a;
}

t_macroarg* t_macroarg::newreference(t_identry* entry)
{
    auto* a = new t_macroarg;
    a->m_kind = entry ? byreference : reference_novalue;
    a->m_ref = entry;
    if (entry) entry->inuse++;   // the caller's identifier must outlive the call
    return a;
}

t_macroarg::~t_macroarg()
{
    if (m_value) m_value->Vdelete();
    if (m_ref) m_ref->inuse--;
}

t_idcommon* t_macroarg::Vcopy() const
{
    switch (m_kind) {
    case byvalue: return m_value ? newvalue(m_value->Vcopy()) : nullptr;
    case byreference: return newreference(m_ref);
    case reference_novalue: break;
    }
    return newreference(nullptr);
}

t_idcommon* t_macroarg::Vgetvalue()
{
    switch (m_kind) {
    case byvalue:
        if (!m_value) kst_runerror(102);
        return m_value ? m_value->Vgetvalue() : nullptr;
    case byreference:
        if (!m_ref || !m_ref->value) {
            kst_runerror(209);
            return nullptr;
        }
        return m_ref->value->Vgetvalue();
    case reference_novalue: break;
    }
    kst_runerror(209);
    return nullptr;
}

t_identry* macro_affect_parametre_valeur(t_cctx* ctx, const char* name, t_macroarg* arg, t_genarbre* tree)
{
    t_identry* e = tree->bind(name, KST_IDFLAG_MACROARG, arg);
    if (!e) {
        kst_runerror(ctx, 86, name);
        delete arg;
    }
    return e;
}

// ---------------------------------------------------------------- texts in conditions

namespace {
int text_eq(t_cctx*, const t_idcommon* a, const t_idcommon* b)
{
    return static_cast<const t_textid*>(a)->text() == static_cast<const t_textid*>(b)->text();
}
int text_ne(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b) { return !text_eq(ctx, a, b); }
} // namespace

// Strings and unquoted file names compare as texts with == and !=.
void kst_text_registeroperations()
{
    for (int a : {IDTYPE_CHAINE, IDTYPE_FILENAME}) {
        for (int b : {IDTYPE_CHAINE, IDTYPE_FILENAME}) {
            kst_id_vtable_setcmpop(IDCMP_EQ, a, b, &text_eq);
            kst_id_vtable_setcmpop(IDCMP_NE, a, b, &text_ne);
        }
    }
}
t_idcommon* kst_newemptyid(const char* name) { return new t_emptyid(name); }
