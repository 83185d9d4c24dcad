// The value object model: t_idcommon, base of every value a name can hold, and the operation table
// indexed by the type codes of two operands.
//
// The virtual operations keep the order of the kernel's slot list; the rooms that own a value
// class add the slots of their domain (series calculus, arrays, export, ...) at their place in that
// order when they are built. Every default reports that the operation does not apply (error 23).
#pragma once
#include <vector>
#include <cstdio>
#include <string>

class t_cctx;
struct coef;
class t_render;

// Type codes of the built-in value classes (the first 16 rows of the operation table); classes
// registered later get codes from kst_id_getnewtypeflag().
enum t_idtype {
    IDTYPE_EMPTY = 0,
    IDTYPE_SERIE,
    IDTYPE_VARIABLE,
    IDTYPE_TRONC,
    IDTYPE_CONSTANTE,
    IDTYPE_IDCOEF,
    IDTYPE_VECNUM,
    IDTYPE_TABLEAU,
    IDTYPE_TABVAR,
    IDTYPE_CHAINE,
    IDTYPE_FILEIO,
    IDTYPE_FILENAME,
    IDTYPE_MACROARG,
    IDTYPE_IDCLASS,
    IDTYPE_IDLIST,
    IDTYPE_EXTERN,
    IDTYPE_BUILTIN_COUNT   // 16
};

constexpr int KST_IDFLAG_MACROARG = 11;

// The unary mathematical operations: (context, operation flag) -> new value, or null after an
// error. One list so that declaration, default and any forwarding class stay in step.
#define KST_ID_UNARY_OPS(X)                                                                        \
    X(Vabs) X(Vaccum) X(Vacos) X(Vasin) X(Vatan) X(Vcos) X(Vsin) X(Vtan) X(Vcosh) X(Vsinh)        \
    X(Vtanh) X(Vacosh) X(Vasinh) X(Vatanh) X(Varg) X(Vconj) X(Vexp) X(Vfac) X(Vimag) X(Vlog)      \
    X(Vlog10) X(Vnint) X(Vpent) X(Vreal) X(Vsqrt) X(Verf) X(Verfc) X(Vsign) X(Vneg)

class t_idcommon;

// One subscript of `v[...]`: a value (a number, a vector of indices, ...), a range first:last:step
// (last -1: up to the end), or "..." (the remaining dimensions whole).
struct t_subscript {
    enum kind { value, range, ellipsis } kind = value;
    const t_idcommon* v = nullptr;   // kind value: borrowed for the call
    long first = 0, last = 0, step = 1;
};

class t_idcommon {
public:
    explicit t_idcommon(const char* name = "", int flag = 0);
    virtual ~t_idcommon();

    // Copy and value access.
    virtual t_idcommon* Vcopy() const;
    virtual bool Viscopiable() const { return false; }
    virtual void Vdelete() { delete this; }
    virtual t_idcommon* Vgetandcopyvalue(t_cctx* ctx) const { return Vcopy(); }
    virtual t_idcommon* Vgetvalue() { return this; }       // a binding forwards to what it holds
    // A stored value made under another numeric mode, as the mode now in force wants it: a new
    // value that replaces this one in its identifier, or null when nothing changes.
    virtual t_idcommon* Vupdatevalue(t_cctx* ctx) const { return nullptr; }
    virtual bool Visinteger() const { return false; }
    virtual int Vgetinteger() const { return 0; }
    virtual bool Vislonginteger() const { return false; }
    virtual long Vgetlonginteger() const { return 0; }
    virtual bool Viscplx() const { return false; }
    virtual bool Visrealorcplx() const { return false; }
    virtual bool Visreal() const { return false; }
    virtual double Vgetdbl() const { return 0; }
    virtual bool Visconvertibletochar() const { return false; }

    // Text forms. Vexport_msgfmt prints the value with one piece of a message format (a
    // conversion and the text after it); false when the value cannot print with that piece.
    virtual bool Vexport_msgfmt(t_cctx* ctx, FILE* stream, const char* piece) const { return false; }
    virtual bool Vexport_str(t_cctx* ctx, std::string& out) const;

    // Display of a statement's result ("name = value" in the context's dialect).
    virtual void Vdisplay_resume(t_cctx* ctx, FILE* stream) const;
    virtual const char* Vgettypename() const { return "identificateur"; }
    virtual int Vgettypeenum() const = 0;
    virtual long Vsize() const { return 0; }
    // `stat x;` and `bilan;`: what the value is and the memory it holds, in bytes.
    virtual void Vstat(t_cctx* ctx, FILE* stream) const;
    virtual long Vbilan_mem() const { return static_cast<long>(sizeof(t_idcommon) + m_name.capacity()); }
    size_t namecapacity() const { return m_name.capacity(); }

#define KST_DECLARE_UNARY(op) virtual t_idcommon* op(t_cctx* ctx, int opflag);
    KST_ID_UNARY_OPS(KST_DECLARE_UNARY)
#undef KST_DECLARE_UNARY

    // `switch` compares the selector with each case value through this.
    virtual bool Vswitchcase(t_cctx* ctx, const t_idcommon* value) const;
    virtual void Vupdatename(const char* name) { m_name = name ? name : ""; }
    virtual bool Visderived(int typeenum) const { return Vgettypeenum() == typeenum; }
    // Subscripts: `x[s, ...]` reads a new value (an element or a part), `x[s, ...] = v` stores the
    // owned value `v` (and takes it in every case). The defaults report the operation as not
    // applicable (error 23).
    virtual t_idcommon* Vextract(t_cctx* ctx, const std::vector<t_subscript>& subscripts) const;
    virtual bool Vassign(t_cctx* ctx, const std::vector<t_subscript>& subscripts, t_idcommon* owned);
    // The value held at these subscripts, borrowed, for a further access level (T[i]@field); null
    // for an empty element. The default reports the operation as not applicable (error 23).
    virtual t_idcommon* Velement(t_cctx* ctx, const std::vector<t_subscript>& subscripts);
    // x[i] and x[i] = c for one whole-number subscript, the element being a number: a loop that
    // reads or writes elements then makes no value object. The element (owned) goes to *out, c
    // (borrowed, already in the context's numeric mode) into the element. False when the class
    // or the subscript is not for this: the general Vextract/Vassign then runs and reports.
    virtual bool Vextract_number(t_cctx*, long, coef*) const { return false; }
    virtual bool Vassign_number(t_cctx*, long, const coef*) { return false; }
    // True when this value is built on `other` (a series on a variable): it cannot outlive it.
    virtual bool Vdependon(const t_idcommon* other) const { return false; }

    const char* getName() const { return m_name.c_str(); }
    int getFlag() const { return m_flag; }

protected:
    void notapplicable(t_cctx* ctx) const;     // error 23
    // Starts a display: "name = " for a named value, a tab for a temporary. Returns the renderer
    // bound to `stream`.
    t_render* display_begin(t_cctx* ctx, FILE* stream) const;

private:
    std::string m_name;
    int m_flag;
};

// Per-class boilerplate: copy through the copy constructor, type tests.
template <class Derived, class Base = t_idcommon>
class t_idcommon_tmpl : public Base {
public:
    using Base::Base;
    t_idcommon* Vcopy() const override { return new Derived(static_cast<const Derived&>(*this)); }
    bool Viscopiable() const override { return true; }
    long Vbilan_mem() const override { return static_cast<long>(sizeof(Derived) + this->namecapacity()); }
};

// ---------------------------------------------------------------- the type operation table

// Binary operations of the table, each a row indexed by the second operand's type code.
enum t_idbinop {
    IDOP_MUL, IDOP_OP2, IDOP_OP3, IDOP_OP4, IDOP_OP5, IDOP_MULTRONC, IDOP_ADD, IDOP_DIV, IDOP_SUB,
    IDOP_POW, IDOP_MOD, IDOP_MOD2, IDOP_ATAN2,
    IDOP_COUNT
};
enum t_idcmpop {
    IDCMP_DEFAULT, IDCMP_DEFAULT2, IDCMP_EQ, IDCMP_NE, IDCMP_LT, IDCMP_LE, IDCMP_GT, IDCMP_GE,
    IDCMP_COUNT
};

using t_idbinfunc = t_idcommon* (*)(t_cctx*, t_idcommon* a, int keepa, t_idcommon* b, int keepb);
using t_idcmpfunc = int (*)(t_cctx*, const t_idcommon* a, const t_idcommon* b);   // 1, 0, or -1 on error
using t_idcreatefunc = t_idcommon* (*)(t_cctx*, const char* name);

void id_vtable_init();                      // 16 codes, every entry the default
void kst_idclass_inittables();              // the table, then the operations of the core classes
void kst_idclass_reset();                   // codes registered after start-up go
int kst_id_getnewtypeflag();                // a new code, its row and column filled with defaults
void kst_id_vtable_memorize_nbflag();       // the number of codes after start-up
void kst_id_vtable_reset();                 // back to that number
int kst_id_vtable_count();
void kst_id_vtable_setbinop(t_idbinop op, int left, int right, t_idbinfunc f);
void kst_id_vtable_setcmpop(t_idcmpop op, int left, int right, t_idcmpfunc f);
void kst_id_vtable_setcreate(int type, t_idcreatefunc f);
// Applies an operation through the table. An operand with keep flag 0 is consumed.
t_idcommon* kst_id_binop(t_cctx* ctx, t_idbinop op, t_idcommon* a, int keepa, t_idcommon* b, int keepb);
int kst_id_cmpop(t_cctx* ctx, t_idcmpop op, const t_idcommon* a, const t_idcommon* b);
t_idcommon* kst_id_create(t_cctx* ctx, int type, const char* name);
