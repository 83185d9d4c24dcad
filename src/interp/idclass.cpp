// Structure types, objects, fields, constructors and methods.
#include "interp/idclass.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/macro.h"
#include "interp/runpile.h"
#include "interp/treeabs.h"
#include "interp/treeint.h"
#include "interp/treelexstate.h"
#include "render/render.h"

#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace {

struct t_idclass_field {
    std::string name;
    treeabs* init = nullptr;   // evaluated for every new object (owned)
};

struct t_idclass_type {
    std::string name;
    std::vector<t_idclass_field> fields;
    ~t_idclass_type()
    {
        for (auto& f : fields) tree_delete(f.init);
    }
};

// Declared types are process-wide, like the lexer's table of type names.
std::map<std::string, std::unique_ptr<t_idclass_type>, std::less<>> s_types;
std::set<std::string, std::less<>> s_parsednames;

// Types that rooms declare at start-up (vnumQ, ...): a declaration makes each name with the
// type's creator. They survive resets.
std::map<std::string, t_idcommon* (*)(t_cctx*, const char*), std::less<>> s_builtintypes;

t_idclass_type* findtype(const char* name)
{
    auto it = s_types.find(name);
    return it == s_types.end() ? nullptr : it->second.get();
}

} // namespace

// ---------------------------------------------------------------- objects

t_idclass::t_idclass(const char* type, const char* name) : t_idcommon(name), m_type(type) {}

t_idclass::t_idclass(const t_idclass& other) : t_idcommon(other), m_type(other.m_type)
{
    for (const auto& [field, value] : other.m_fields) m_fields.emplace_back(field, value ? value->Vcopy() : nullptr);
}

t_idclass::~t_idclass()
{
    for (auto& [field, value] : m_fields)
        if (value) value->Vdelete();
}

bool t_idclass::getfield(const std::string& field, t_idcommon** value) const
{
    for (const auto& [name, v] : m_fields) {
        if (name == field) {
            *value = v;
            return true;
        }
    }
    return false;
}

bool t_idclass::setfield(const std::string& field, t_idcommon* owned)
{
    for (auto& [name, v] : m_fields) {
        if (name == field) {
            if (v && v != owned) v->Vdelete();
            v = owned;
            if (v) v->Vupdatename(field.c_str());
            return true;
        }
    }
    return false;
}

bool t_idclass::Vexport_str(t_cctx* ctx, std::string& out) const
{
    out = m_type + " {";
    bool first = true;
    for (const auto& [name, v] : m_fields) {
        std::string text = "?";
        if (v && !v->Vexport_str(ctx, text)) text = v->Vgettypename();
        else if (v && v->Vgettypeenum() == IDTYPE_CHAINE) text = "\"" + text + "\"";
        out += (first ? " " : ", ") + name + " = " + text;
        first = false;
    }
    out += " }";
    return true;
}

void t_idclass::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    std::string text;
    Vexport_str(ctx, text);
    t_render* r = display_begin(ctx, stream);
    r->Vrender_unsafe(text.c_str());
    r->writenewline();
}

// ---------------------------------------------------------------- declarations

bool kst_declaretype_find(const char* word)
{
    return findtype(word) || s_parsednames.count(word) || s_builtintypes.count(word);
}

void kst_declaretype_builtin(const char* name, t_idcommon* (*create)(t_cctx*, const char*))
{
    s_builtintypes[name] = create;
}

void kst_declaretype_parsed(const char* word) { s_parsednames.insert(word); }

bool kst_struct_isdeclared(t_cctx*, const char* structure) { return findtype(structure) != nullptr; }

bool kst_struct_hasfield(t_cctx*, const char* structure, const char* field)
{
    t_idclass_type* t = findtype(structure);
    if (!t) return false;
    for (const auto& f : t->fields)
        if (f.name == field) return true;
    return false;
}

void kst_types_reset()
{
    s_types.clear();
    s_parsednames.clear();
}

namespace {

int h_structdef(t_cctx* ctx, int, treeabs* node)
{
    auto type = std::make_unique<t_idclass_type>();
    type->name = tree_string(node, 0);
    if (s_builtintypes.count(type->name)) {
        kst_runerror(ctx, 698, type->name.c_str());
        return 0;
    }
    treeabs* fields = tree_child(node, 1);
    for (int i = 0; treeabs* f = tree_child(fields, i); i++) {
        std::string name = tree_string(f, 0);
        for (const auto& existing : type->fields) {
            if (existing.name == name) {
                kst_runerror(ctx, 537);
                return 0;
            }
        }
        type->fields.push_back({name, tree_child(f, 1) ? tree_dup(tree_child(f, 1)) : nullptr});
    }
    if (findtype(type->name.c_str())) kst_runwarning(ctx, 38);
    s_parsednames.insert(type->name);
    s_types[type->name] = std::move(type);
    return 0;
}

t_idclass* lvalueobject(t_cctx* ctx, int slot, treeabs* lv, t_identry** entry = nullptr);

// The value an lvalue (a name followed by fields and subscripts, as in T[2]@pos) designates,
// borrowed; null for an empty element or after an error. `entry` receives the identifier when
// the lvalue is a plain name. Subscripts are evaluated from `slot` on.
t_idcommon* lvaluevalue(t_cctx* ctx, int slot, treeabs* lv, t_identry** entry)
{
    if (entry) *entry = nullptr;
    t_idcommon* value = nullptr;
    if (lv->kind == TREE_SYMBOL) {
        t_identificateur_syntaxe ref = recherche_id(ctx, tree_string(lv, 0));
        if (!ref.entry || !ref.entry->value) {
            kst_runerror(ctx, 38);
            return nullptr;
        }
        t_identry* e = ref.entry;
        if (e->value->getFlag() == KST_IDFLAG_MACROARG) {
            auto* arg = static_cast<t_macroarg*>(e->value);
            if (arg->getkind() == t_macroarg::byreference && arg->getreference()) e = arg->getreference();
        }
        if (entry) *entry = e;
        value = e->value ? e->value->Vgetvalue() : nullptr;
    } else if (lv->kind == TREE_FIELD) {
        t_idclass* outer = lvalueobject(ctx, slot, tree_child(lv, 0));
        if (!outer) return nullptr;
        if (!outer->getfield(tree_string(lv, 1), &value)) {
            kst_runerror(ctx, 536);
            return nullptr;
        }
    } else if (lv->kind == TREE_INDEX) {
        t_idcommon* container = lvaluevalue(ctx, slot, tree_child(lv, 0), nullptr);
        if (!container) {
            if (!tree_flags(ctx)) kst_runerror(ctx, 600);
            return nullptr;
        }
        std::vector<t_subscript> subscripts;
        if (tree_eval_subscripts(ctx, slot, tree_child(lv, 1), &subscripts)) value = container->Velement(ctx, subscripts);
        tree_clean_subscripts(ctx, slot, subscripts);
    }
    return value;
}

// The object an lvalue designates, or null after an error (600 when it is not an object).
t_idclass* lvalueobject(t_cctx* ctx, int slot, treeabs* lv, t_identry** entry)
{
    t_idcommon* value = lvaluevalue(ctx, slot, lv, entry);
    if (tree_flags(ctx)) return nullptr;
    if (!value || value->Vgettypeenum() != IDTYPE_IDCLASS) {
        kst_runerror(ctx, 600);
        return nullptr;
    }
    return static_cast<t_idclass*>(value);
}

int h_field(t_cctx* ctx, int slot, treeabs* node)
{
    t_idclass* object = lvalueobject(ctx, slot + 1, tree_child(node, 0));
    if (!object) return 0;
    t_idcommon* value = nullptr;
    if (!object->getfield(tree_string(node, 1), &value)) kst_runerror(ctx, 536);
    else if (!value) kst_runerror(ctx, 601);
    else tree_slot_setobject(ctx, slot, value->Vcopy());
    return 0;
}

// Runs the constructor type@type, when there is one, with `self` bound to the new object.
void construct(t_cctx* ctx, int slot, t_identry* entry, const std::string& type);

int h_typedecl(t_cctx* ctx, int slot, treeabs* node)
{
    const char* typename_ = tree_string(node, 0);
    if (auto builtin = s_builtintypes.find(typename_); builtin != s_builtintypes.end()) {
        for (int i = 1; treeabs* a = tree_child(node, i); i++) {
            if (a->kind != TREE_SYMBOL) {
                kst_runerror(ctx, 600);
                return 0;
            }
            const char* name = tree_string(a, 0);
            kst_assign(ctx, name, builtin->second(ctx, name));
            if (tree_flags(ctx)) return 0;
        }
        return 0;
    }
    t_idclass_type* type = findtype(typename_);
    if (!type) {
        kst_runerror(ctx, 599);
        return 0;
    }
    for (int i = 1; treeabs* a = tree_child(node, i); i++) {
        if (a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 600);
            return 0;
        }
        const char* name = tree_string(a, 0);
        auto* object = new t_idclass(typename_, name);
        for (const auto& f : type->fields) {
            t_idcommon* value = nullptr;
            if (f.init) {
                tree_int(ctx, slot + 1, f.init);
                value = tree_flags(ctx) ? nullptr : tree_slot_takeobject(ctx, slot + 1);
                tree_run_cleanres(ctx, slot + 1);
                if (tree_flags(ctx)) {
                    delete object;
                    return 0;
                }
            }
            if (value) value->Vupdatename(f.name.c_str());
            object->addfield(f.name, value);
        }
        t_identificateur_syntaxe ref = recherche_id(ctx, name);
        t_identry* entry = insere_elt_arbre_id(ctx, name, 0, object, ref.tree);
        construct(ctx, slot + 1, entry, typename_);
        if (tree_flags(ctx)) return 0;
    }
    return 0;
}

} // namespace

t_idcommon* kst_lvalue_value(t_cctx* ctx, int slot, treeabs* lv)
{
    t_idcommon* v = lvaluevalue(ctx, slot, lv, nullptr);
    if (!v && !tree_flags(ctx)) kst_runerror(ctx, 601);
    return v;
}

// Assignment to object@field (called by the evaluator's assignment).
bool kst_idclass_assignfield(t_cctx* ctx, int slot, treeabs* target, t_idcommon* owned)
{
    t_idclass* object = lvalueobject(ctx, slot, tree_child(target, 0));
    if (!object) {
        owned->Vdelete();
        return false;
    }
    if (!object->setfield(tree_string(target, 1), owned)) {
        owned->Vdelete();
        kst_runerror(ctx, 536);
        return false;
    }
    return true;
}

// The object's identifier for a method call on an lvalue (a name), or null after an error.
t_identry* kst_idclass_methodtarget(t_cctx* ctx, int slot, treeabs* lv, std::string* type)
{
    t_identry* entry = nullptr;
    t_idclass* object = lvalueobject(ctx, slot, lv, &entry);
    if (!object) return nullptr;
    if (!entry) {
        kst_runerror(ctx, 600);
        return nullptr;
    }
    *type = object->type();
    return entry;
}

int kst_callmethod(t_cctx* ctx, int slot, t_macro* macro, treeabs* args, t_identry* self);

namespace {
void construct(t_cctx* ctx, int slot, t_identry* entry, const std::string& type)
{
    if (t_macro* m = macro_find_struct(ctx, type.c_str(), type.c_str(), true)) {
        kst_callmethod(ctx, slot, m, nullptr, entry);
        tree_run_cleanres(ctx, slot);
    }
}

// In a method body every name of a field means the field of `self`.
void addimplicitself(treeabs* node, const std::set<std::string>& fields)
{
    for (lparaabs* c = node ? node->params : nullptr; c; c = c->next) {
        if (c->para->tag != PARA_TREE || !c->para->value.tree) continue;
        treeabs* child = c->para->value.tree;
        if (child->kind == TREE_SYMBOL && fields.count(tree_string(child, 0))) {
            treeabs* self = tree_symbole_new(child->loc, strdup("self"));
            c->para->value.tree = treen_new(child->loc, TREE_FIELD, 2, PARA_TREE, self, PARA_STRING,
                                            strdup(tree_string(child, 0)));
            tree_delete(child);
        } else {
            addimplicitself(child, fields);
        }
    }
}
} // namespace

void macro_add_implicitself(const char* structure, treeabs* body, const std::set<std::string>& params)
{
    t_idclass_type* type = findtype(structure);
    if (!type) return;
    std::set<std::string> fields;
    for (const auto& f : type->fields)
        if (!params.count(f.name)) fields.insert(f.name);
    addimplicitself(body, fields);
}

void kst_idclass_register()
{
    kst_tree_sethandler(TREE_STRUCTDEF, h_structdef);
    kst_tree_sethandler(TREE_TYPEDECL, h_typedecl);
    kst_tree_sethandler(TREE_FIELD, h_field);
    treelex_settypequery(kst_declaretype_find);
}
