// Private to the coefficient room: the installation helpers shared by the number-type files and
// the keep-flag templates that every same-type kernel goes through.
#pragma once
#include "coef/coefaff.h"
#include "coef/coefnum.h"

// Registration of each number-type file, called in this order by kst_coef_inittables.
void kst_coef_register_dbl();
void kst_coef_register_complexe();
void kst_coef_register_ratbase();
void kst_coef_register_quadbase();
void kst_coef_register_intmp();
void kst_coef_register_ratmp();
void kst_coef_register_fpmp();
void kst_coef_register_zfpmp();
void kst_coef_register_interval();
// The numeric-mode converters of every numeric tag (modenum.cpp), installed last.
void modenum_install_converters();

// The common numeric layer, then the real or complex layer, for one numeric tag.
void coefnum_install_common(eBHTypeCoef tag, const char* name, int storedsize);
// The per-tag constants of a type: its stored zero and one, its real and complex counterparts.
inline void coefnum_set_constants(eBHTypeCoef tag, const void* zero, const void* one, eBHTypeCoef reel,
                                  eBHTypeCoef cplx)
{
    g_BHZero[tag] = zero;
    gc_BHUn[tag] = one;
    gc_BHReel[tag] = reel;
    gc_BHCplx[tag] = cplx;
}
// Installs the generic mixed cells add/sub/mul/div(a, b) and (b, a) whose result has tag `res`.
void coefnum_install_mixed(eBHTypeCoef a, eBHTypeCoef b, eBHTypeCoef res);
// Fills every still-empty numeric pair with the documented fallback (coefvtable.cpp).
void coefnum_install_fallbacks();
// The truncated products of the numeric pairs without one of their own: the plain product of
// the pair's cell (numbers have no degree to truncate).
coef coefnum_multr_generic(t_cctx*, coef* a, int ka, coef* b, int kb, t_troncworkstack*, int parallel);
coef coefnum_multrmon_generic(t_cctx*, coef* a, int ka, coef* b, int kb, const t_troncmon*, int parallel);


// Division by an exact zero is a user error: reported, the result is zero.
coef coefnum_divbyzero(t_cctx* ctx, coef* a, int ka, coef* b, int kb);
void coefnum_release(coef* c, int keep);   // frees c unless kept
coef coefnum_take(coef* c, int keep);       // copy when kept, move otherwise
// Generic part-wise construction: the number of tag `to` whose real part is part `pre` of c and
// whose imaginary part is part `pim` of c (-1: zero), negated when negim.
coef coefnum_build(t_cctx* ctx, eBHTypeCoef to, const coef* c, int pre, int pim, bool negim);

// Same-type binary kernel of a boxed type T: computes OP(r, a, b) reusing a handed-over operand's
// box (a first, then b) and frees the other handed-over one. FINISH wraps r and normalises it (a
// zero becomes tag 0 and its box is freed), whatever the operation: a product or a quotient can
// vanish too, by underflow.
template <class T, void (*OP)(t_cctx*, typename T::value_type*, const typename T::value_type*,
                               const typename T::value_type*),
          void (*FREE)(typename T::value_type*), typename T::value_type* (*ALLOC)(t_cctx*),
          coef (*FINISH)(typename T::value_type*)>
coef coefnum_boxed_binop(t_cctx* ctx, coef* a, int ka, coef* b, int kb, int)
{
    using V = typename T::value_type;
    V* pa = coef_box<T>(a);
    V* pb = coef_box<T>(b);
    V* r;
    if (!ka) {
        OP(ctx, pa, pa, pb);
        r = pa;
        a->type = BH_ZERO;
        if (!kb) {
            if (pb != pa) FREE(pb);
            b->type = BH_ZERO;
        }
    } else if (!kb) {
        OP(ctx, pb, pa, pb);
        r = pb;
        b->type = BH_ZERO;
    } else {
        r = ALLOC(ctx);
        OP(ctx, r, pa, pb);
    }
    return FINISH(r);
}

// Unary kernel of a boxed type: computes OP(r, a) in a's box when handed over, else in a new box.
template <class T, void (*OP)(t_cctx*, typename T::value_type*, const typename T::value_type*),
          typename T::value_type* (*ALLOC)(t_cctx*), coef (*FINISH)(typename T::value_type*)>
coef coefnum_boxed_unop(t_cctx* ctx, coef* a, int ka)
{
    using V = typename T::value_type;
    V* pa = coef_box<T>(a);
    V* r;
    if (!ka) {
        r = pa;
        a->type = BH_ZERO;
    } else {
        r = ALLOC(ctx);
    }
    OP(ctx, r, pa);
    return FINISH(r);
}

// Multiplication cells that ignore the truncation (numbers have no degree).
template <coef_binop_fn MUL>
coef coefnum_multr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, t_troncworkstack*, int par)
{
    return MUL(ctx, a, ka, b, kb, par);
}
template <coef_binop_fn MUL>
coef coefnum_multrmon(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncmon*, int par)
{
    return MUL(ctx, a, ka, b, kb, par);
}

// Installs add/sub/mul (with the truncated forms) and div of one same-type pair.
template <coef_binop_fn ADD, coef_binop_fn SUB, coef_binop_fn MUL, coef_divop_fn DIV>
void coefnum_install_arith(eBHTypeCoef t)
{
    coefvtable& v = g_kst_coef_vtable[t];
    v.add[t] = ADD;
    v.sub[t] = SUB;
    v.mulnotr[t] = MUL;
    v.multr[t] = coefnum_multr<MUL>;
    v.multrmon[t] = coefnum_multrmon<MUL>;
    v.div[t] = DIV;
    v.divexact[t] = DIV;
}

// Elementary functions of one type, in the order of the unary slots.
struct t_coefnum_elemfuncs {
    coef_unop_fn cos, sin, tan, acos, asin, atan, cosh, sinh, tanh, acosh, asinh, atanh;
    coef_unop_fn exp, log, log10, arg, sqrt, abs;
};
void coefnum_install_elemfuncs(eBHTypeCoef t, const t_coefnum_elemfuncs& f);
// Elementary functions of the exact types: computed on the double (complex double) value.
void coefnum_install_elemfuncs_viadbl(eBHTypeCoef t);

// Complex numbers of any type print as "(" real "+i*" |imaginary| ")" in the plain dialect.
void coefaff_cplx_generic(t_cctx* ctx, t_render* r, const coef* c, int affc);
