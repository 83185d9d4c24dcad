// Structures: types declared with `struct name { field; field = value; }`, their objects, fields
// read and assigned with object@field, constructors name@name and methods name@method.
#pragma once
#include "interp/idcommon.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

struct treeabs;
struct t_identry;

class t_idclass final : public t_idcommon {
public:
    explicit t_idclass(const char* type, const char* name = "");
    t_idclass(const t_idclass& other);
    ~t_idclass() override;

    int Vgettypeenum() const override { return IDTYPE_IDCLASS; }
    const char* Vgettypename() const override { return m_type.c_str(); }
    t_idcommon* Vcopy() const override { return new t_idclass(*this); }
    bool Viscopiable() const override { return true; }
    bool Vexport_str(t_cctx* ctx, std::string& out) const override;
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override;

    const std::string& type() const { return m_type; }
    // The field's value (borrowed), or null when the field has none; false for an unknown field.
    bool getfield(const std::string& field, t_idcommon** value) const;
    bool setfield(const std::string& field, t_idcommon* owned);   // false for an unknown field
    void addfield(const std::string& field, t_idcommon* owned) { m_fields.emplace_back(field, owned); }

private:
    std::string m_type;
    std::vector<std::pair<std::string, t_idcommon*>> m_fields;
};

// The lexer's question: is `word` a declared type name?
bool kst_declaretype_find(const char* word);
// Records a type name as soon as its declaration is parsed, so that the rest of the same text
// already reads it as a type.
void kst_declaretype_parsed(const char* word);
// A type that a room offers at start-up: `name x, y;` makes x and y with create(ctx, name).
class t_idcommon;
void kst_declaretype_builtin(const char* name, t_idcommon* (*create)(t_cctx*, const char* name));
// Registers the structure statements with the evaluator.
void kst_idclass_register();

class t_macro;
// The value held by a field or element lvalue (p@v, T[2]@v), borrowed; null after an error (601
// when it is empty). Subscripts are evaluated from `slot` on.
t_idcommon* kst_lvalue_value(t_cctx* ctx, int slot, treeabs* lv);
bool kst_idclass_assignfield(t_cctx* ctx, int slot, treeabs* target, t_idcommon* owned);
t_identry* kst_idclass_methodtarget(t_cctx* ctx, int slot, treeabs* lv, std::string* type);
int kst_callmethod(t_cctx* ctx, int slot, t_macro* macro, treeabs* args, t_identry* self);
void macro_add_implicitself(const char* structure, treeabs* body, const std::set<std::string>& params);

// The declared structure types go (session reset).
void kst_types_reset();
