// Series in the language: `crevar x, y;` declares polynomial variables; a variable used as a
// value is its monomial; + - * / ^ between series, variables and numbers go through the
// operation table to the series arithmetic.
#include "coef/modenum.h"
#include "series/polynome.h"
#include "series/serie.h"
#include "series/sereps.h"
#include "series/seriesroom.h"
#include "series/tronc.h"
#include "series/variable.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/idconstante.h"
#include "interp/treeabs.h"
#include "interp/treeint.h"

#include <cmath>

namespace {

// The coef an operand stands for (borrowed): a series' value, a variable's monomial, a number.
const coef* operandcoef(t_cctx* ctx, t_idcommon* v)
{
    v = v->Vgetvalue();
    switch (v->Vgettypeenum()) {
    case IDTYPE_SERIE: return &static_cast<t_serie*>(v)->value();
    case IDTYPE_VARIABLE: return &kst_variable_monomial(ctx, static_cast<t_variable*>(v));
    case IDTYPE_CONSTANTE: return &kst_constantevalue(ctx, v);
    default: return nullptr;
    }
}

// The truncations in force for the time of one operation, also seen by the kernels (and the tasks
// they start) through the kernel context; the identifiers holding them live at least that long.
struct t_truncscope {
    t_cctx* ctx;
    const t_tronc* trmon = nullptr;
    const t_troncwork* w;
    explicit t_truncscope(t_cctx* c) : ctx(c), w(kst_serie_truncations(c, &trmon)) {}
    ~t_truncscope()
    {
        kst_kctx(ctx).tronc = nullptr;
        kst_kctx(ctx).trmon = nullptr;
    }
};

// Degrees are 32-bit: a product or power whose degrees could leave that range is refused
// (error 25) before anything is computed.
bool degreesfit(t_cctx* ctx, const coef* a, const coef* b, long n)
{
    double bound = b ? static_cast<double>(serie_maxabsdeg(a)) + static_cast<double>(serie_maxabsdeg(b))
                     : static_cast<double>(serie_maxabsdeg(a)) * std::fabs(static_cast<double>(n));
    if (bound <= 2147483647.0) return true;
    kst_runerror(ctx, 25);
    return false;
}

// a*b or a^n under the truncations in force, as a value; a result a kernel made whole is known
// to be ordered, and its leaves of one tag (a use then needs no walk to find it so).
t_idcommon* product(t_cctx* ctx, const coef* a, const coef* b, unsigned long n, bool power)
{
    t_truncscope scope(ctx);
    const t_tronc* trmon = scope.trmon;
    const t_troncwork* w = scope.w;
    if (trmon && !power)
        return kst_serie_wrap(ctx, serie_multrmon(ctx, const_cast<coef*>(a), 1, const_cast<coef*>(b), 1, kst_troncmon_sortdup(ctx, *trmon), w));
    // A power keeps every intermediate term (x^1 is needed to reach x^2 later): the monomial
    // truncation applies to the result.
    eBHTypeCoef leaf = BH_ZERO;
    coef r = power ? serie_powtr(ctx, const_cast<coef*>(a), 1, n, w, &leaf)
                   : serie_multr(ctx, const_cast<coef*>(a), 1, const_cast<coef*>(b), 1, w, &leaf);
    if (trmon) return kst_serie_wrap(ctx, serie_trmon(ctx, &r, 0, *trmon));
    return kst_serie_wrapmade(ctx, r, leaf);
}

// Operands handed over (keep flag 0) go once the result is made.
t_idcommon* done(t_idcommon* a, int ka, t_idcommon* b, int kb, t_idcommon* result)
{
    if (!ka) a->Vdelete();
    if (!kb && b != a) b->Vdelete();
    return result;
}

// The operands of a series operation, each as its coef (kept: operands are only read).
bool operands(t_cctx* ctx, t_idcommon* a, t_idcommon* b, const coef** ca, const coef** cb)
{
    *ca = operandcoef(ctx, a);
    *cb = operandcoef(ctx, b);
    if (*ca && *cb) return true;
    kst_runerror(ctx, 23);
    return false;
}

// s == t and s != t: equal when every term is (a series never equals a number it is not).
int cmp_eq(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b)
{
    const coef *ca, *cb;
    if (!operands(ctx, const_cast<t_idcommon*>(a), const_cast<t_idcommon*>(b), &ca, &cb)) return -1;
    return serie_equal(ca, cb) ? 1 : 0;
}
int cmp_ne(t_cctx* ctx, const t_idcommon* a, const t_idcommon* b)
{
    int r = cmp_eq(ctx, a, b);
    return r < 0 ? r : 1 - r;
}

t_idcommon* op_add(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    const coef *ca, *cb;
    if (!operands(ctx, a, b, &ca, &cb)) return done(a, ka, b, kb, nullptr);
    return done(a, ka, b, kb, kst_serie_wrap(ctx, serie_add(ctx, const_cast<coef*>(ca), 1, const_cast<coef*>(cb), 1)));
}
t_idcommon* op_sub(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    const coef *ca, *cb;
    if (!operands(ctx, a, b, &ca, &cb)) return done(a, ka, b, kb, nullptr);
    return done(a, ka, b, kb, kst_serie_wrap(ctx, serie_sub(ctx, const_cast<coef*>(ca), 1, const_cast<coef*>(cb), 1)));
}
t_idcommon* op_mul(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    const coef *ca, *cb;
    if (!operands(ctx, a, b, &ca, &cb)) return done(a, ka, b, kb, nullptr);
    if (!degreesfit(ctx, ca, cb, 0)) return done(a, ka, b, kb, nullptr);
    return done(a, ka, b, kb, product(ctx, ca, cb, 0, false));
}
// Division by a number, or by a series through its inverse under the truncation in force.
t_idcommon* op_div(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    const coef *ca, *cb;
    if (!operands(ctx, a, b, &ca, &cb)) return done(a, ka, b, kb, nullptr);
    if (coef_ispoly(cb)) {
        t_truncscope scope(ctx);
        const t_tronc* trmon = scope.trmon;
        const t_troncwork* w = scope.w;
        coef minus1 = coef_creenum_init(ctx, -1);
        coef inv{};
        bool ok = serie_powalpha(ctx, cb, &minus1, true, -1, w, &inv);
        deletecoef(&minus1);
        if (!ok) return done(a, ka, b, kb, nullptr);
        coef r = serie_multr(ctx, const_cast<coef*>(ca), 1, &inv, 0, w);
        if (trmon) r = serie_trmon(ctx, &r, 0, *trmon);
        return done(a, ka, b, kb, kst_serie_wrap(ctx, r));
    }
    if (cb->type == BH_ZERO) {
        coef z{};
        coef r = coef_division(ctx, const_cast<coef*>(ca), 1, &z, 1);   // reports the division by zero
        deletecoef(&r);
        return done(a, ka, b, kb, nullptr);
    }
    return done(a, ka, b, kb, kst_serie_wrap(ctx, serie_divnum(ctx, const_cast<coef*>(ca), 1, cb)));
}
// Powers: whole n >= 0 by squaring under the truncations in force; negative or fractional
// exponents by the expansion of series/puissance.cpp.
t_idcommon* op_pow(t_cctx* ctx, t_idcommon* a, int ka, t_idcommon* b, int kb)
{
    const coef *ca, *cb;
    if (!operands(ctx, a, b, &ca, &cb)) return done(a, ka, b, kb, nullptr);
    t_idcommon* e = b->Vgetvalue();
    if (e->Vgettypeenum() != IDTYPE_CONSTANTE || coef_ispoly(cb)) {
        kst_runerror(ctx, 25);
        return done(a, ka, b, kb, nullptr);
    }
    bool whole = e->Visinteger();
    long n = whole ? e->Vgetlonginteger() : 0;
    if (whole && !degreesfit(ctx, ca, nullptr, n)) return done(a, ka, b, kb, nullptr);
    if (!whole && e->Visreal() && std::floor(e->Vgetdbl()) == e->Vgetdbl()) {   // whole but beyond 64 bits
        kst_runerror(ctx, 25);
        return done(a, ka, b, kb, nullptr);
    }
    if (whole && n >= 0)
        return done(a, ka, b, kb, product(ctx, ca, nullptr, static_cast<unsigned long>(n), true));
    t_truncscope scope(ctx);
    const t_tronc* trmon = scope.trmon;
    const t_troncwork* w = scope.w;
    coef r{};
    if (!serie_powalpha(ctx, ca, cb, whole, n, w, &r)) return done(a, ka, b, kb, nullptr);
    if (trmon) r = serie_trmon(ctx, &r, 0, *trmon);
    return done(a, ka, b, kb, kst_serie_wrap(ctx, r));
}

// crevar x, y, ...: each name becomes a new polynomial variable ranking after those declared.
int h_crevar(t_cctx* ctx, int, treeabs* node)
{
    if (!tree_child(node, 0)) {
        kst_runerror(ctx, 53);
        return 0;
    }
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        if (a->kind != TREE_SYMBOL) {
            kst_runerror(ctx, 77);
            return 0;
        }
        const char* name = tree_string(a, 0);
        t_identificateur_syntaxe ref = recherche_id(ctx, name);
        if (ref.entry && ref.entry->value && ref.entry->value->Vgettypeenum() == IDTYPE_VARIABLE) {
            kst_runerror(ctx, 76);
            return 0;
        }
    }
    for (int i = 0; treeabs* a = tree_child(node, i); i++) {
        const char* name = tree_string(a, 0);
        kst_assign(ctx, name, cree_var(ctx, name));
        if (tree_flags(ctx)) return 0;
    }
    kst_runinfo(25);
    return 0;
}

bool nametaken(t_cctx* ctx, const char* name)
{
    t_identificateur_syntaxe ref = recherche_id(ctx, name);
    return ref.entry && ref.entry->value;
}

// exp(c*x) with c = i*a purely imaginary and x a polynomial variable: the angular exponential
// variable E = exp(i*a*x), made once per factor a and named by varang_create.
t_idcommon* angular(t_cctx* ctx, const coef* c)
{
    const t_polyterm* t = coef_ispoly(c) ? coef_poly(c)->first : nullptr;
    if (!t || t->next || t->deg != 1 || coef_ispoly(&t->c)) {
        kst_runerror(ctx, 112);
        return nullptr;
    }
    t_variable* angle = coef_poly(c)->var;
    const coefvtable& vt = coef_vt(&t->c);
    if (angle->kind != VARKIND_POLY || !vt.iscplx(&t->c)) {
        kst_runerror(ctx, 112);
        return nullptr;
    }
    coef re = vt.real(ctx, const_cast<coef*>(&t->c), 1);
    bool realzero = re.type == BH_ZERO || coef_vt(&re).iszero(&re);
    deletecoef(&re);
    if (!realzero) {
        kst_runerror(ctx, 112);
        return nullptr;
    }
    coef a = vt.imag(ctx, const_cast<coef*>(&t->c), 1);
    t_variable* e = nullptr;
    for (t_variable* d : angle->dependents) {
        const auto* dep = static_cast<const t_vardep*>(d->dependence);
        if (dep->phase.type == BH_ZERO && coef_cmp_egal(&dep->factor, &a) == 1) e = d;
    }
    if (!e) {
        coef phase{};
        e = varang_create(ctx, angle, a, phase, nametaken);
        if (e) kst_assign(ctx, e->getName(), e);
    }
    deletecoef(&a);
    return e ? e->Vcopy() : nullptr;
}

// sereps(s, E [, eps]) and invsereps(s, E [, eps]): the small-parameter device on a series, eps
// being `_trcoef` when omitted. E must be a variable.
int smallparameter(t_cctx* ctx, int slot, treeabs* node, bool inverse)
{
    int n = tree_eval_arguments(ctx, slot + 1, node, 0);
    if (n < 0) return 0;
    const coef* c = nullptr;
    const t_idcommon* ev = nullptr;
    const t_idcommon* epsv = nullptr;
    if (n < 2 || n > 3) {
        kst_runerror(ctx, 53);
    } else if (!(c = operandcoef(ctx, const_cast<t_idcommon*>(tree_slot_value(ctx, slot + 1))))) {
        kst_runerror(ctx, 23);
    } else if (!(ev = tree_slot_value(ctx, slot + 2)) || (ev = const_cast<t_idcommon*>(ev)->Vgetvalue())->Vgettypeenum() != IDTYPE_VARIABLE) {
        kst_runerror(ctx, 27);
    } else if (n == 3 && (!(epsv = const_cast<t_idcommon*>(tree_slot_value(ctx, slot + 3))->Vgetvalue()) ||
                          epsv->Vgettypeenum() != IDTYPE_CONSTANTE)) {
        kst_runerror(ctx, 40);
    } else {
        coef eps = epsv ? copycoef(&kst_constantevalue(ctx, const_cast<t_idcommon*>(epsv))) : coef_dbl2coef(kst_kctx(ctx).trcoef);
        auto* e = const_cast<t_variable*>(static_cast<const t_variable*>(ev));
        bool ok = true;
        coef r = inverse ? serie_invsereps(ctx, c, e, &eps) : serie_sereps(ctx, c, e, &eps, &ok);
        deletecoef(&eps);
        if (ok) tree_slot_setobject(ctx, slot, kst_serie_wrap(ctx, r));
    }
    tree_clean_arguments(ctx, slot + 1, n);
    return 0;
}
int h_sereps(t_cctx* ctx, int slot, treeabs* node) { return smallparameter(ctx, slot, node, false); }
int h_invsereps(t_cctx* ctx, int slot, treeabs* node) { return smallparameter(ctx, slot, node, true); }

// _trcoef: the small parameter's magnitude used by sereps; above 1 it is error 276.
int h_trcoef(t_cctx* ctx, int slot, treeabs* node)
{
    if (tree_paraint(node, 0) == TREE_OPTION_DISPLAY) {
        char text[64];
        snprintf(text, sizeof text, "%.17g", kst_kctx(ctx).trcoef);
        kst_option_display(ctx, "_trcoef", text);
        return 0;
    }
    if (tree_paraint(node, 0) != TREE_OPTION_SET) {
        kst_runerror(ctx, 4, "_trcoef");
        return 0;
    }
    if (tree_int(ctx, slot + 1, tree_child(node, 1))) return 0;
    if (!tree_flags(ctx)) {
        const t_idcommon* v = tree_slot_value(ctx, slot + 1);
        v = v ? const_cast<t_idcommon*>(v)->Vgetvalue() : nullptr;
        if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE || !v->Visreal()) kst_runerror(ctx, 40);
        else kst_settrcoef(ctx, v->Vgetdbl());
    }
    tree_run_cleanres(ctx, slot + 1);
    return 0;
}

} // namespace

t_idcommon* t_serie::Vexp(t_cctx* ctx, int) { return angular(ctx, &m_value); }
t_idcommon* t_variable::Vexp(t_cctx* ctx, int)
{
    kst_runerror(ctx, 112);
    return nullptr;
}

void kst_serie_registerops()
{
    const int kinds[] = {IDTYPE_SERIE, IDTYPE_VARIABLE, IDTYPE_CONSTANTE};
    for (int l : kinds)
        for (int r : kinds) {
            if (l == IDTYPE_CONSTANTE && r == IDTYPE_CONSTANTE) continue;
            kst_id_vtable_setbinop(IDOP_ADD, l, r, op_add);
            kst_id_vtable_setbinop(IDOP_SUB, l, r, op_sub);
            kst_id_vtable_setbinop(IDOP_MUL, l, r, op_mul);
            kst_id_vtable_setbinop(IDOP_DIV, l, r, op_div);
            kst_id_vtable_setbinop(IDOP_POW, l, r, op_pow);
            kst_id_vtable_setcmpop(IDCMP_EQ, l, r, cmp_eq);
            kst_id_vtable_setcmpop(IDCMP_NE, l, r, cmp_ne);
        }
    kst_tree_setkeywordhandler("crevar", h_crevar);
    kst_tree_setkeywordhandler("sereps", h_sereps);
    kst_tree_setkeywordhandler("invsereps", h_invsereps);
    kst_tree_setkeywordhandler("_trcoef", h_trcoef);
    kst_tronc_registerlanguage();
}
