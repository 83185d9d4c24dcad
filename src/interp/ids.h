// Identifier trees, lookup through the run piles, creation and deletion of identifiers, private
// and public names, and the first value classes of the interpreter (strings, declared names,
// macro argument bindings).
#pragma once
#include "coef/blockpool.h"
#include "interp/idcommon.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class t_cctx;
struct elt_runpile;

// An ordered tree of named entries; the value is owned, null for a declared but unset name.
struct t_identry {
    std::string name;
    t_idcommon* value = nullptr;
    int flag = 0;
    int inuse = 0;     // references held by running evaluations and by-reference arguments
    int held = 0;      // of those, the ones held by pending operands: the value must not change
    // In a parallel task, an array or vector of the starting context that the task writes
    // through: the starting context still owns it, so the task never deletes or replaces it.
    bool borrowed = false;
};

// What a name resolves to from a given run pile changes only when an identifier is created or
// deleted, names are declared private or public, or the macro table changes: each of these moves
// the calling thread's generation on, so a lookup remembered for that pile under the current
// generation still holds. Pushing or popping a pile does not move it: a lookup is remembered with
// the serial of the pile it was made from (kst_pileserial, never reused), a new pile has a new
// serial, and a popped pile's serial never comes back. Generations and serials of different
// threads never meet (each thread counts in a range of its own).
uint64_t kst_idgen();
void kst_idgen_bump();
uint64_t kst_pileserial();   // a new serial for a pile being pushed
// The generation as it stands, read inline where a remembered lookup is checked (0 before the
// thread's first kst_idgen, which nothing remembered can carry).
extern thread_local uint64_t kst_idgen_tls __attribute__((tls_model("initial-exec")));
inline uint64_t kst_idgen_now() { return kst_idgen_tls; }

// Gives the entry a new value (owned): the old one is deleted unless the entry only borrowed it.
void kst_identry_setvalue(t_identry* e, t_idcommon* value);

class t_genarbre {
public:
    t_genarbre() = default;
    ~t_genarbre();
    t_genarbre(const t_genarbre&) = delete;
    t_genarbre& operator=(const t_genarbre&) = delete;

    t_identry* find(const std::string& name);
    t_identry* insert(const std::string& name, int flag, t_idcommon* value);   // null if present
    // Same, in the tree of a pile just pushed, before anything was evaluated on it: no lookup can
    // have been remembered through it, so the generation stays (a macro call's bindings, a loop's
    // counter).
    t_identry* bind(const std::string& name, int flag, t_idcommon* value);
    bool erase(const std::string& name);   // deletes the value
    void clear();
    bool empty() const { return m_nfixed == 0 && m_entries.empty(); }
    // Empties the tree as its destructor would (the generation stays): the tree of a pile that
    // is kept for the next push.
    void release() { drop(false); }
    size_t size() const;
    template <class F> void foreach(F f)
    {
        for (int k = 0; k < m_nfixed; k++)
            if (!m_fixed[k].name.empty()) f(m_fixed[k]);
        for (auto& [k, e] : m_entries) f(e);
    }

    // Entries kept by position in storage that the owner provides (a macro call's parameters, in
    // its pile): binding them builds no map node, and finding one compares a few short names.
    // The storage holds `capacity` entries and must outlive the tree's use of it.
    void usefixed(void* storage, int capacity)
    {
        m_fixed = static_cast<t_identry*>(storage);
        m_fixedcap = capacity;
    }
    int fixedroom() const { return m_fixedcap - m_nfixed; }
    // Like bind, in the next free position (fixedroom() > 0).
    t_identry* bindfixed(const char* name, int flag, t_idcommon* value);
    // Same, for a name the tree is known not to hold (the parameters of a macro in order, in the
    // tree of the pile just pushed for its call).
    t_identry* bindfixednew(const char* name, size_t len, int flag, t_idcommon* value)
    {
        return new (&m_fixed[m_nfixed++]) t_identry{std::string(name, len), value, flag};
    }

private:
    // Nodes from the per-thread block lists: a macro call binds its arguments without malloc.
    t_identry* add(const std::string& name, int flag, t_idcommon* value, bool bump);
    void drop(bool bump);
    t_identry* findfixed(const char* name, size_t len);

    // A positional entry that is deleted keeps its place with an empty name until the tree is
    // dropped: a lookup that remembered it is forgotten by the generation move, not by address.
    t_identry* m_fixed = nullptr;
    int m_nfixed = 0;
    int m_fixedcap = 0;

    std::map<std::string, t_identry, std::less<>, t_blockallocator<std::pair<const std::string, t_identry>>> m_entries;
};

// What a pile adds to the identifier world beside its parameter bindings (which the pile holds
// itself): its private identifiers, the names it declared private or public, and whether it is
// all-private.
struct t_pilescope {
    KST_BLOCKPOOLED
    t_genarbre locals;
    std::set<std::string, std::less<>> declared;
    std::set<std::string, std::less<>> publics;
    bool allprivate = false;
};
t_pilescope* kst_pilescope(elt_runpile* pile);     // created on first use
void kst_pilescope_release(elt_runpile* pile);

// The result of a lookup: the entry found (or null) and the tree where a new identifier of that
// name would be inserted.
struct t_identificateur_syntaxe {
    std::string name;
    t_identry* entry = nullptr;
    t_genarbre* tree = nullptr;
};

// In a parallel task, a name found only in the starting context is read through a copy that the
// lookup makes in the task; `forassignment` skips that copy, since the value is about to go.
// Arrays and numeric vectors are not copied but borrowed: what the task stores into their
// elements lands in the starting context's object.
t_identificateur_syntaxe recherche_id(t_cctx* ctx, const char* name, bool forassignment = false);
t_idcommon* kst_ids2idc(const t_identificateur_syntaxe& ref);
t_idcommon* recherche_symbole(t_cctx* ctx, const char* name);
t_idcommon* recherche_symbole_global(t_cctx* ctx, const char* name);
// Value of a found name, following a macro argument to what it is bound to.
t_idcommon* valeur_id(t_cctx* ctx, t_identry* entry);
t_idcommon* valeur_idcopy(t_cctx* ctx, t_identry* entry);

// Creation in the scope found by the lookup, in the global tree, or in a given tree. An existing
// identifier of that name gets the new value (the old one is deleted).
t_identry* insere_symbole(t_cctx* ctx, const char* name, int flag, t_idcommon* value);
t_identry* insere_symbole_global(t_cctx* ctx, const char* name, int flag, t_idcommon* value);
t_identry* insere_elt_arbre_id(t_cctx* ctx, const char* name, int flag, t_idcommon* value, t_genarbre* tree);

// Deletion refuses an identifier in use and asks every registered check (error 97 when one
// refuses).
using t_candelete_func = bool (*)(t_cctx*, const t_identry*);
using t_notify_func = void (*)(t_cctx*, const char* name);
void add_functions_registered_candelete_arbre(t_candelete_func f);
void add_functions_registered_insere_arbre(t_notify_func f);
void add_functions_registered_delete_arbre(t_notify_func f);
bool supprime_symbolenom(t_cctx* ctx, const char* name, bool quiet);
bool kst_delete(t_cctx* ctx, const char* name);      // the statement delete(name): error 38 if unknown
bool supprime_elt_arbre_id(t_cctx* ctx, t_genarbre* tree, const char* name);
void supprime_symbolearbre_id(t_cctx* ctx, t_genarbre* tree);

// `private names` / `private _ALL` / `public names`.
void kst_private(t_cctx* ctx, const std::vector<std::string>& names);
void kst_private_all(t_cctx* ctx);
void kst_public(t_cctx* ctx, const std::vector<std::string>& names);

// The context's global tree and the trees of file-private identifiers (created on first use).
t_genarbre* kst_globaltree(t_cctx* ctx);
t_genarbre* kst_fileprivatetree(t_cctx* ctx, const char* file, bool create);
void kst_ids_release(t_cctx* ctx);

// ---------------------------------------------------------------- first value classes

class t_emptyid final : public t_idcommon_tmpl<t_emptyid> {
public:
    using t_idcommon_tmpl::t_idcommon_tmpl;
    int Vgettypeenum() const override { return IDTYPE_EMPTY; }
    const char* Vgettypename() const override { return "vide"; }
};

// Values that are a text: strings, and file names written without quotes. Both serve wherever a
// text is wanted, print with %s and compare as texts in a switch.
class t_textid : public t_idcommon {
public:
    t_textid(std::string text, const char* name) : t_idcommon(name), m_text(std::move(text)) {}
    bool Visconvertibletochar() const override { return true; }
    bool Vexport_str(t_cctx*, std::string& out) const override { out = m_text; return true; }
    bool Vexport_msgfmt(t_cctx* ctx, FILE* stream, const char* piece) const override;
    bool Vswitchcase(t_cctx* ctx, const t_idcommon* value) const override;
    long Vsize() const override { return static_cast<long>(m_text.size()); }
    const std::string& text() const { return m_text; }

protected:
    std::string m_text;
};

class t_chaine final : public t_idcommon_tmpl<t_chaine, t_textid> {
public:
    explicit t_chaine(std::string text, const char* name = "") : t_idcommon_tmpl(std::move(text), name) {}
    int Vgettypeenum() const override { return IDTYPE_CHAINE; }
    const char* Vgettypename() const override { return "chaine"; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
    long Vbilan_mem() const override { return t_idcommon_tmpl::Vbilan_mem() + static_cast<long>(m_text.capacity()); }
};

// A file name written without quotes where a file is expected (data.txt).
class t_filename final : public t_idcommon_tmpl<t_filename, t_textid> {
public:
    explicit t_filename(std::string text, const char* name = "") : t_idcommon_tmpl(std::move(text), name) {}
    int Vgettypeenum() const override { return IDTYPE_FILENAME; }
    const char* Vgettypename() const override { return "nomfichier"; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;
};

// A macro argument binding: by reference (an identifier entry of the caller), by value (an owned
// value), or a reference without value (reading it is error 209).
class t_macroarg final : public t_idcommon {
public:
    KST_BLOCKPOOLED
    enum kind { byreference = 0, reference_novalue = 1, byvalue = 2 };
    static t_macroarg* newvalue(t_idcommon* owned);
    static t_macroarg* newreference(t_identry* entry);
    ~t_macroarg() override;

    int Vgettypeenum() const override { return IDTYPE_MACROARG; }
    const char* Vgettypename() const override { return "argument"; }
    t_idcommon* Vcopy() const override;
    t_idcommon* Vgetvalue() override;     // the bound value; error 102/209 when there is none
    kind getkind() const { return m_kind; }
    // The bound value (by value or through the reference) without reporting when there is none.
    t_idcommon* peek() const { return m_kind == byvalue ? m_value : m_ref ? m_ref->value : nullptr; }
    t_identry* getreference() const { return m_ref; }

private:
    t_macroarg() : t_idcommon("", KST_IDFLAG_MACROARG) {}
    kind m_kind = byvalue;
    t_idcommon* m_value = nullptr;
    t_identry* m_ref = nullptr;
};

// Binds `name` in the parameter tree of a pile just pushed; a name bound twice is error 86 (null).
t_identry* macro_affect_parametre_valeur(t_cctx* ctx, const char* name, t_macroarg* arg, t_genarbre* tree);

// Strings and unquoted file names compare as texts with == and != (start-up).
void kst_text_registeroperations();
