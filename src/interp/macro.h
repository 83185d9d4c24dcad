// User macros: definitions with their visibility (public, private to a file, method of a
// structure), the context's macro table, resolution of a call and binding of its arguments.
#pragma once
#include <atomic>
#include <string>
#include <vector>

class t_cctx;
class t_idcommon;
class t_macroarg;
class t_genarbre;
struct treeabs;
struct treesharedcode;
struct elt_runpile;

// Parameter names in declaration order; "..." marks a variable-length tail.
struct cellule_parametre {
    char* name;
    cellule_parametre* next;
};
cellule_parametre* cellule_parametre_new(const std::vector<std::string>& names);
void cellule_parametre_delete(cellule_parametre* list);
cellule_parametre* nom_in_parametre(const char* name, cellule_parametre* list);
const char* macro_verif_parametre(cellule_parametre* list);   // first name given twice, or null

class t_macro {
public:
    // Takes the parameter list and the body; attaches the source text.
    t_macro(const char* name, cellule_parametre* params, treesharedcode* code, treeabs* body,
            const char* privatefile, const char* structure);
    ~t_macro();
    t_macro(const t_macro&) = delete;
    t_macro& operator=(const t_macro&) = delete;

    void display(t_cctx* ctx, FILE* stream) const;
    bool canbecalledwith0arg() const;
    int getnbargs() const { return m_nnamed; }   // named parameters ("..." not counted)
    bool hasoptionalargs() const { return m_optional; }
    // Named parameters bound by position straight into a pile (no "...", at most k_direct of
    // them, every name different, as the definition checked): the count, or -1. Their names and
    // lengths in order.
    static constexpr int k_direct = 8;
    int directparams() const { return m_direct; }
    const char* paramname(int k) const { return m_pnames[k]; }
    size_t paramlength(int k) const { return m_plens[k]; }
    const char* getFilename() const { return m_privatefile.empty() ? nullptr : m_privatefile.c_str(); }
    bool isprivateforfile(const char* file) const { return file && !m_privatefile.empty() && m_privatefile == file; }
    bool ispublic() const { return m_privatefile.empty(); }   // methods included
    bool ismemberofsamestructure(const char* structure) const { return structure && m_structure == structure; }
    const std::string& getname() const { return m_name; }
    const std::string& getstructure() const { return m_structure; }
    cellule_parametre* getparameters() const { return m_params; }
    treeabs* getbody() const { return m_body; }
    treesharedcode* getcode() const { return m_code; }

    // A macro that is redefined or deleted while it runs (its body is being walked) is kept
    // until its last running call ends.
    // `local`: the call is made by the context that owns the definition, which counts without an
    // atomic operation (only its own thread does: parallel tasks count with the atomic one).
    void enter(bool local = false)
    {
        if (local) m_runninglocal++;
        else m_running++;
    }
    void leave(bool local = false)
    {
        int left = local ? --m_runninglocal : --m_running;
        if (left == 0 && m_retired) leavelast();
    }
    static void release(t_macro* m);

private:
    void leavelast();   // a retired definition goes with its last running call
    std::string m_name;
    cellule_parametre* m_params;
    treesharedcode* m_code;
    treeabs* m_body;
    std::string m_privatefile;
    std::string m_structure;
    int m_nnamed = 0;
    bool m_optional = false;
    int m_direct = -1;
    const char* m_pnames[k_direct] = {};
    size_t m_plens[k_direct] = {};
    std::atomic<int> m_running{0};   // parallel tasks may run one definition together
    int m_runninglocal = 0;
    bool m_retired = false;
};

// All variants of one name.
class t_macro_user {
public:
    ~t_macro_user();
    t_macro* findmacro(t_cctx* ctx) const;     // the variant a call resolves to, or null
    void add(t_macro* m);                      // replaces the variant of the same visibility
    bool remove(t_macro* m);
    const std::vector<t_macro*>& variants() const { return m_variants; }

private:
    std::vector<t_macro*> m_variants;
};

// "structure@macro": the name under which methods are stored.
std::string macro_build_name(const char* structure, const char* macro);

// Defines or redefines a macro (errors 535, 632, 92, 9; warning 39). Takes ownership of
// `params` and `body` in every case. Returns the definition, or null.
t_macro* macro_lecture(t_cctx* ctx, const char* name, cellule_parametre* params, treesharedcode* code,
                       treeabs* body, bool privateforfile, const char* structure);
t_macro_user* macro_find(t_cctx* ctx, const char* name);
t_macro* macro_resolve(t_cctx* ctx, const char* name, bool quiet);     // error 10 when none
t_macro* macro_find_struct(t_cctx* ctx, const char* structure, const char* name, bool quiet);
bool enleve_macro(t_cctx* ctx, const char* name);                      // `effmac name`
void macro_efface_tout(t_cctx* ctx);                                   // `effmacros`, reset
void macro_listall(t_cctx* ctx, FILE* stream);
void kst_macros_release(t_cctx* ctx);

// Binds a call's arguments in order into `tree` (the parameters of the macro pile just pushed);
// arguments beyond the named parameters go to "macro_optargs[k]" when the list ends with "...".
// Error 11 on any other count mismatch. Takes ownership of the arguments: each a t_macroarg, or
// a number constant passed by value, which a named parameter holds as it is (an optional
// argument gets its t_macroarg). With `pile`, the entries of the first named parameters are
// listed in it by position.
bool macro_affect_list_parametre_valeur(t_cctx* ctx, const t_macro* macro, t_idcommon* const* args, size_t given,
                                        t_genarbre* tree, elt_runpile* pile = nullptr);
bool macro_affect_list_parametre_valeur(t_cctx* ctx, const t_macro* macro, const std::vector<t_macroarg*>& args,
                                        t_genarbre* tree);
int macro_getsizeoptionalarg(t_cctx* ctx);
t_macroarg* macro_getoptionalarg(t_cctx* ctx, int k);                  // 1-based, or null

// Structure declarations, answered by the structure room once it exists.
bool kst_struct_isdeclared(t_cctx* ctx, const char* structure);
bool kst_struct_hasfield(t_cctx* ctx, const char* structure, const char* field);

// Every user macro goes (session reset).
void kst_macro_deleteall();
