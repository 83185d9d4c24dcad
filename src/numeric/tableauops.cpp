// Element-wise operators on arrays: arithmetic of two arrays or of an array and a value,
// comparisons into 0/1 arrays, whole-array equality, conditional selection, and the entries of
// the type operation table.
#include <utility>

#include "coef/modenum.h"
#include "interp/error.h"
#include "interp/roomapi.h"
#include "numeric/tableau.h"

namespace {

bool isconst(const t_idcommon* v) { return v && v->Vgettypeenum() == IDTYPE_CONSTANTE; }

// A constant's number as an operand: borrowed (keep) or taken out of a handed-over constant.
struct t_operand {
    coef c{};
    int keep = 1;
    t_operand(t_cctx* ctx, t_idcommon* v, int keepv)
    {
        if (keepv) {
            c = kst_constantevalue(ctx, v);
        } else {
            c = kst_constantetake(ctx, v);
            keep = 0;
        }
    }
};

// Numbers combine directly: the operation table has no cells for two constants (the evaluator
// does number arithmetic on its own), and arrays of numbers are the common case.
t_idcommon* numberop(t_cctx* ctx, t_idbinop op, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    t_operand x(ctx, a, ka), y(ctx, b, kb);
    coef r{};
    switch (op) {
    case IDOP_ADD: r = coef_addition(ctx, &x.c, x.keep, &y.c, y.keep); break;
    case IDOP_SUB: r = coef_soustraction(ctx, &x.c, x.keep, &y.c, y.keep); break;
    case IDOP_MUL: r = coef_multiplication(ctx, &x.c, x.keep, &y.c, y.keep); break;
    case IDOP_DIV: r = coef_division(ctx, &x.c, x.keep, &y.c, y.keep); break;
    case IDOP_POW:
        // integer exponents by repeated products, as the evaluator does for numbers
        if (coef_iszero(&y.c) || coef_vt(&y.c).isentierlong(&y.c)) {
            long n = coef_iszero(&y.c) ? 0 : static_cast<long>(coef2ll(&y.c));
            if (!y.keep) deletecoef(&y.c);
            r = coef_power_int(ctx, &x.c, x.keep, n);
        } else {
            r = coef_vt(&x.c).exponentiation(ctx, &x.c, x.keep, &y.c, y.keep);
        }
        break;
    default: break;
    }
    if (Erreur_Execution) {
        deletecoef(&r);
        return nullptr;
    }
    return kst_newconstante(ctx, r);
}

bool hasnumberop(t_idbinop op)
{
    return op == IDOP_ADD || op == IDOP_SUB || op == IDOP_MUL || op == IDOP_DIV || op == IDOP_POW;
}

// One pair of elements. Two empty elements give an empty element; one empty operand is refused.
// `ok` is false after an error.
t_idcommon* combine(t_cctx* ctx, t_idbinop op, t_idcommon* a, int ka, t_idcommon* b, int kb, bool& ok)
{
    ok = true;
    if (!a || !b) {
        if (a && !ka) a->Vdelete();
        if (b && !kb) b->Vdelete();
        if (a || b) {
            kst_runerror(ctx, 105);
            ok = false;
        }
        return nullptr;
    }
    t_idcommon* r = isconst(a) && isconst(b) && hasnumberop(op) ? numberop(ctx, op, a, ka, b, kb)
                                                                : kst_id_binop(ctx, op, a, ka, b, kb);
    ok = r != nullptr && !Erreur_Execution;
    if (!ok && r) {
        r->Vdelete();
        r = nullptr;
    }
    return r;
}

t_tableau* newshape(const t_tableau* like)
{
    return new t_tableau("", IDTYPE_TABLEAU, like->ndim(), copy_dim_tab(like->dims()));
}

// Drops a partly built result and the operands that were handed over.
t_tableau* failed(t_tableau* result, t_tableau* a, int keepa, t_tableau* b, int keepb)
{
    if (result) result->Vdelete();
    if (!keepa && a != result) a->Vdelete();
    if (b && !keepb && b != result && b != a) b->Vdelete();
    return nullptr;
}

coef numberof(t_cctx* ctx, int v) { return coef_creenum_init(ctx, v); }

} // namespace

t_idcommon* tableau_2op_element(t_cctx* ctx, t_idbinop op, t_idcommon* a, int keepa, t_idcommon* b, int keepb)
{
    bool ok;
    t_idcommon* r = combine(ctx, op, a, keepa, b, keepb, ok);
    if (ok && !r) kst_runerror(ctx, 105);   // two empty operands leave nothing to return
    return ok ? r : nullptr;
}

int tableau_operror(t_idbinop op)
{
    switch (op) {
    case IDOP_ADD: return 234;
    case IDOP_SUB: return 204;
    case IDOP_MUL:
    case IDOP_MULTRONC: return 235;
    case IDOP_DIV: return 420;
    case IDOP_ATAN2: return 32;
    case IDOP_MOD: return 33;
    default: return 105;
    }
}

t_tableau* tableau_2op(t_cctx* ctx, t_idbinop op, t_tableau* a, int keepa, t_tableau* b, int keepb)
{
    if (a == b && (!keepa || !keepb)) {
        // the same array on both sides, given up: it becomes the result, read against a copy
        keepa = 0;
        b = static_cast<t_tableau*>(a->Vcopy());
        keepb = 0;
    }
    bool samebounds = false;
    if (!a->isdim_compatible(*b, &samebounds)) {
        kst_runerror(ctx, tableau_operror(op));
        return failed(nullptr, a, keepa, b, keepb);
    }
    t_tableau* result = !keepa ? a : !keepb ? b : newshape(a);
    if (!samebounds) result->realigntobinf1(false);
    for (long p = 0; p < result->Vsize(); p++) {
        t_idcommon* x = a->elt(p).moveData(!keepa);
        t_idcommon* y = b->elt(p).moveData(!keepb);
        bool ok;
        t_idcommon* r = combine(ctx, op, x, keepa, y, keepb, ok);
        if (!ok) return failed(result, a, keepa, b, keepb);
        result->init_elt_tab_idc(p, r);
    }
    if (!keepa && a != result) a->Vdelete();
    if (!keepb && b != result) b->Vdelete();
    return result;
}

t_tableau* tableauobj_2op(t_cctx* ctx, t_idbinop op, t_tableau* a, int keepa, t_idcommon* v, int keepv)
{
    t_tableau* result = keepa ? newshape(a) : a;
    for (long p = 0; p < a->Vsize(); p++) {
        bool ok;
        t_idcommon* r = combine(ctx, op, a->elt(p).moveData(!keepa), keepa, v, 1, ok);
        if (!ok) {
            if (!keepv) v->Vdelete();
            return failed(result, a, keepa, nullptr, 1);
        }
        result->init_elt_tab_idc(p, r);
    }
    if (!keepv) v->Vdelete();
    return result;
}

t_tableau* objtableau_2op(t_cctx* ctx, t_idbinop op, t_idcommon* v, int keepv, t_tableau* b, int keepb)
{
    t_tableau* result = keepb ? newshape(b) : b;
    for (long p = 0; p < b->Vsize(); p++) {
        bool ok;
        t_idcommon* r = combine(ctx, op, v, 1, b->elt(p).moveData(!keepb), keepb, ok);
        if (!ok) {
            if (!keepv) v->Vdelete();
            return failed(result, b, keepb, nullptr, 1);
        }
        result->init_elt_tab_idc(p, r);
    }
    if (!keepv) v->Vdelete();
    return result;
}

// ---------------------------------------------------------------- comparisons

namespace {

// Truth of a condition element: a non-zero number.
int truth(t_cctx* ctx, const t_idcommon* v)
{
    if (!isconst(v)) {
        kst_runerror(ctx, 105);
        return -1;
    }
    const coef& c = kst_constanterawvalue(v);
    return coef_iszero(&c) ? 0 : 1;
}

// 1, 0, or -1 after an error. Two empty elements are equal, an empty one differs from any value.
int compare(t_cctx* ctx, t_tabcmpop op, const t_idcommon* a, const t_idcommon* b)
{
    if (op == TABCMP_AND || op == TABCMP_OR) {
        int x = truth(ctx, a);
        int y = x < 0 ? -1 : truth(ctx, b);
        if (y < 0) return -1;
        return op == TABCMP_AND ? (x && y) : (x || y);
    }
    if (!a || !b) {
        if (op == TABCMP_EQ) return !a && !b;
        if (op == TABCMP_NE) return !(!a && !b);
        kst_runerror(ctx, 105);
        return -1;
    }
    if (isconst(a) && isconst(b)) {
        const coef& x = kst_constanterawvalue(a);
        const coef& y = kst_constanterawvalue(b);
        switch (op) {
        case TABCMP_EQ: return coef_cmp_egal(&x, &y) ? 1 : 0;
        case TABCMP_NE: return coef_cmp_egal(&x, &y) ? 0 : 1;
        case TABCMP_GT: return coef_cmp_gt(&x, &y) ? 1 : 0;
        case TABCMP_GE: return coef_cmp_ge(&x, &y) ? 1 : 0;
        case TABCMP_LT: return coef_cmp_lt(&x, &y) ? 1 : 0;
        case TABCMP_LE: return coef_cmp_le(&x, &y) ? 1 : 0;
        default: return -1;
        }
    }
    static const t_idcmpop map[] = {IDCMP_EQ, IDCMP_NE, IDCMP_GT, IDCMP_GE, IDCMP_LT, IDCMP_LE};
    return kst_id_cmpop(ctx, map[op], a, b);
}

template <class Pick>
t_tableau* cmpwalk(t_cctx* ctx, t_tabcmpop op, const t_tableau* shape, Pick pick)
{
    t_tableau* out = newshape(shape);
    for (long p = 0; p < shape->Vsize(); p++) {
        auto [x, y] = pick(p);
        int r = compare(ctx, op, x, y);
        if (r < 0 || Erreur_Execution) {
            out->Vdelete();
            return nullptr;
        }
        out->init_elt_tab_idc(p, kst_newconstante(ctx, numberof(ctx, r)));
    }
    return out;
}

} // namespace

t_tableau* tableau_2cmp(t_cctx* ctx, t_tabcmpop op, const t_tableau* a, const t_tableau* b)
{
    bool samebounds = false;
    if (!a->isdim_compatible(*b, &samebounds)) {
        kst_runerror(ctx, 549);
        return nullptr;
    }
    t_tableau* out = cmpwalk(ctx, op, a, [&](long p) { return std::pair{a->elt(p).getData(), b->elt(p).getData()}; });
    if (out && !samebounds) out->realigntobinf1(false);
    return out;
}

t_tableau* tableauobj_2cmp(t_cctx* ctx, t_tabcmpop op, const t_tableau* a, const t_idcommon* v)
{
    return cmpwalk(ctx, op, a, [&](long p) { return std::pair{a->elt(p).getData(), v}; });
}

t_tableau* objtableau_2cmp(t_cctx* ctx, t_tabcmpop op, const t_idcommon* v, const t_tableau* b)
{
    return cmpwalk(ctx, op, b, [&](long p) { return std::pair{v, b->elt(p).getData()}; });
}

bool tableau_2cmpeq(t_cctx* ctx, const t_tableau* a, const t_tableau* b)
{
    bool samebounds = false;
    if (!a->isdim_compatible(*b, &samebounds) || !samebounds) return false;
    for (long p = 0; p < a->Vsize(); p++)
        if (compare(ctx, TABCMP_EQ, a->elt(p).getData(), b->elt(p).getData()) != 1) return false;
    return true;
}

bool tableau_2cmpne(t_cctx* ctx, const t_tableau* a, const t_tableau* b) { return !tableau_2cmpeq(ctx, a, b); }

t_tableau* tab_condternaire(t_cctx* ctx, const t_idcommon* cond, const t_idcommon* a, const t_idcommon* b)
{
    if (!cond || cond->Vgettypeenum() != IDTYPE_TABLEAU) {
        kst_runerror(ctx, 485);
        return nullptr;
    }
    auto* c = static_cast<const t_tableau*>(cond);
    auto* ta = a && a->Vgettypeenum() == IDTYPE_TABLEAU ? static_cast<const t_tableau*>(a) : nullptr;
    auto* tb = b && b->Vgettypeenum() == IDTYPE_TABLEAU ? static_cast<const t_tableau*>(b) : nullptr;
    if ((ta && !c->isdim_compatible(*ta)) || (tb && !c->isdim_compatible(*tb))) {
        kst_runerror(ctx, 549);
        return nullptr;
    }
    t_tableau* out = newshape(c);
    for (long p = 0; p < c->Vsize(); p++) {
        int t = truth(ctx, c->elt(p).getData());
        if (t < 0) {
            out->Vdelete();
            return nullptr;
        }
        const t_idcommon* pick = t ? (ta ? ta->elt(p).getData() : a) : (tb ? tb->elt(p).getData() : b);
        out->init_elt_tab_idc(p, pick ? pick->Vcopy() : nullptr);
    }
    return out;
}

// ---------------------------------------------------------------- operation table

namespace {

template <t_idbinop OP>
t_idcommon* tab_tab(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    return tableau_2op(ctx, OP, static_cast<t_tableau*>(a), ka, static_cast<t_tableau*>(b), kb);
}
template <t_idbinop OP>
t_idcommon* tab_obj(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    return tableauobj_2op(ctx, OP, static_cast<t_tableau*>(a), ka, b, kb);
}
template <t_idbinop OP>
t_idcommon* obj_tab(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    return objtableau_2op(ctx, OP, a, ka, static_cast<t_tableau*>(b), kb);
}
int tab_eq(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b)
{
    return tableau_2cmpeq(ctx, static_cast<const t_tableau*>(a), static_cast<const t_tableau*>(b)) ? 1 : 0;
}
int tab_ne(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b) { return tab_eq(ctx, a, b) ? 0 : 1; }
t_idcommon* tab_create(t_cctx*, const char* name) { return new t_tableau(name); }

template <t_idbinop OP>
void install()
{
    const int n = kst_id_vtable_count();
    for (int t = 0; t < n; t++) {
        // empty operands and macro arguments keep their own entries (the latter forward)
        if (t == IDTYPE_EMPTY || t == IDTYPE_MACROARG || t == IDTYPE_TABLEAU) continue;
        kst_id_vtable_setbinop(OP, IDTYPE_TABLEAU, t, &tab_obj<OP>);
        kst_id_vtable_setbinop(OP, t, IDTYPE_TABLEAU, &obj_tab<OP>);
    }
    kst_id_vtable_setbinop(OP, IDTYPE_TABLEAU, IDTYPE_TABLEAU, &tab_tab<OP>);
}

} // namespace

void kst_tableau_inittables()
{
    install<IDOP_ADD>();
    install<IDOP_SUB>();
    install<IDOP_MUL>();
    install<IDOP_MULTRONC>();
    install<IDOP_DIV>();
    install<IDOP_MOD>();
    install<IDOP_ATAN2>();
    // array ^ value: every element raised to the value
    for (int t = 0; t < kst_id_vtable_count(); t++)
        if (t != IDTYPE_EMPTY && t != IDTYPE_MACROARG && t != IDTYPE_TABLEAU)
            kst_id_vtable_setbinop(IDOP_POW, IDTYPE_TABLEAU, t, &tab_obj<IDOP_POW>);
    kst_id_vtable_setcmpop(IDCMP_EQ, IDTYPE_TABLEAU, IDTYPE_TABLEAU, &tab_eq);
    kst_id_vtable_setcmpop(IDCMP_NE, IDTYPE_TABLEAU, IDTYPE_TABLEAU, &tab_ne);
    kst_id_vtable_setcreate(IDTYPE_TABLEAU, &tab_create);
}
