// The coefficient dispatch table: defaults, zero rules, the common/real/complex numeric layers,
// the promotion cells between numeric types, the run-time tag counter and the start-up sequence.
#include "coef/coef_init.h"
#include "coef/coefnum_impl.h"
#include "interp/error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

coefvtable g_kst_coef_vtable[BH_NTAGS];
int g_BHSize[BH_NTAGS];
const void* g_BHZero[BH_NTAGS];
const void* gc_BHUn[BH_NTAGS];
eBHTypeCoef gc_BHReel[BH_NTAGS];
eBHTypeCoef gc_BHCplx[BH_NTAGS];
const coef gc_0 = coef{};

namespace {

bool s_tables_filled = false;
int s_runtime_lasttag = BH_FIRSTRUNTIME - 1;

const char* tagname(const coef* c)
{
    if (c->type < 0) return "invalid";
    const char* n = g_kst_coef_vtable[coef_tag(c)].name;
    return n ? n : "";
}

// ---------------------------------------------------------------- defaults (step 1)

[[noreturn]] void default_binary_error(const char* op, const coef* a, const coef* b)
{
    kst_iceerror(1109, op, (int)a->type, tagname(a), (int)b->type, tagname(b));
}

coef def_add(t_cctx*, coef* a, int, coef* b, int, int)
{
    default_binary_error("coefvtable_default_operatorcctx2::1 (1=add, 0=Pmulnotr)\n", a, b);
}
coef def_mul(t_cctx*, coef* a, int, coef* b, int, int)
{
    default_binary_error("coefvtable_default_operatorcctx2::0 (1=add, 0=Pmulnotr)\n", a, b);
}
coef def_multr(t_cctx*, coef* a, int, coef* b, int, t_troncworkstack*, int)
{
    default_binary_error("coefvtable_default_operatorcctx2::0 (1=add, 0=Pmulnotr)\n", a, b);
}
coef def_multrmon(t_cctx*, coef* a, int, coef* b, int, const t_troncmon*, int)
{
    default_binary_error("coefvtable_default_operatorcctx2::0 (1=add, 0=Pmulnotr)\n", a, b);
}
coef def_op2(t_cctx*, coef* a, int, coef* b, int) { default_binary_error("coefvtable_default_operator2", a, b); }
coef def_diveucl(t_cctx*, coef* a, int, coef* b, int, coef*)
{
    default_binary_error("coefvtable_default_operator2", a, b);
}
coef def_gcdext(t_cctx*, coef* a, int, coef* b, int, coef*, coef*)
{
    default_binary_error("coefvtable_default_operator2", a, b);
}
coef def_resultant(t_cctx*, coef* a, int, coef* b, int, t_variable*)
{
    default_binary_error("coefvtable_default_operator2", a, b);
}
int def_cmp(const coef* a, const coef* b) { default_binary_error("coefvtable_default_cmp", a, b); }
int def_eq(const coef*, const coef*) { return 0; }
void def_fmatr(t_cctx*, coef*, coef& b, int, coef& c, int, t_troncworkstack*, int)
{
    default_binary_error("coefvtable_default_operator2", &b, &c);
}
void def_fma(t_cctx*, coef*, coef& b, int, coef& c, int, int)
{
    default_binary_error("coefvtable_default_operator2", &b, &c);
}
void def_fmatrmon(t_cctx*, coef*, coef& b, int, coef& c, int, const t_troncmon*, int)
{
    default_binary_error("coefvtable_default_operator2", &b, &c);
}

[[noreturn]] void default_unary_error(const char* op, const coef* a)
{
    kst_iceerror(1108, op, (int)a->type, tagname(a));
}
coef def_unop(t_cctx*, coef* a, int) { default_unary_error("coefvtable_default_operator1", a); }
coef def_powui(t_cctx*, coef* a, int, unsigned long) { default_unary_error("coefvtable_default_power_ui", a); }
int def_pred_no(const coef*) { return 0; }
int def_getring(const coef*) { return 0; }
coef def_copy(const coef* a) { default_unary_error("coefvtable_default_copycoef", a); }
void def_delete(coef* a) { kst_iceerror(1007, "coefvtable_default_deletecoef", (int)a->type); }
long long def_coef2ll(const coef* a) { default_unary_error("coefvtable_default_coef2ll", a); }
double def_coef2dbl(const coef* a) { default_unary_error("coefvtable_default_coef2dbl", a); }
complexe def_coef2zdbl(const coef* a) { default_unary_error("coefvtable_default_coef2zdbl", a); }
char* def_coef2str(const coef* a) { default_unary_error("coefvtable_default_coef2str", a); }
char* def_coef2strfmt(const char*, const coef* a) { default_unary_error("coefvtable_default_coef2strfmt", a); }
coef def_clean(t_cctx*, coef* a, int keep, double) { return coefnum_take(a, keep); }
void def_aff(t_cctx*, t_render*, const coef* a, int) { default_unary_error("coefvtable_default_aff", a); }
int def_save(const coef* a, FILE*) { default_unary_error("coefvtable_default_save", a); }
int def_load(t_cctx*, coef* a, FILE*) { default_unary_error("coefvtable_default_load", a); }
void def_convnone(t_cctx*, coef*) {}
coef def_convcopy(t_cctx*, const coef* c) { return copycoef(c); }

void fill_defaults(coefvtable& v)
{
    v = coefvtable{};
    v.name = "";
    v.kind = 1;
    for (int i = 0; i < KST_NMODENUM; i++) {
        v.modenum_conv[i] = def_convnone;
        v.modenum_convcopy[i] = def_convcopy;
    }
    v.coef2ll = def_coef2ll;
    v.coef2dbl = def_coef2dbl;
    v.coef2zdbl = def_coef2zdbl;
    v.coef2str = def_coef2str;
    v.coef2strfmt = def_coef2strfmt;
    v.copycoef = def_copy;
    v.deletecoef = def_delete;
    for (int t = 0; t < BH_NTAGS; t++) {
        v.add[t] = def_add;
        v.sub[t] = def_add;
        v.mulnotr[t] = def_mul;
        v.multr[t] = def_multr;
        v.multrmon[t] = def_multrmon;
        v.div[t] = def_op2;
        v.diveucl[t] = def_diveucl;
        v.divexact[t] = def_op2;
        v.powreal[t] = def_op2;
        v.gcd[t] = def_op2;
        v.gcdext[t] = def_gcdext;
        v.divgcd[t] = def_op2;
        v.resultant_uni[t] = def_resultant;
        v.resultant_multi[t] = def_resultant;
        v.cmp_eq[t] = def_eq;
        v.cmp_lt[t] = def_cmp;
        v.cmp_le[t] = def_cmp;
        v.cmp_gt[t] = def_cmp;
        v.cmp_ge[t] = def_cmp;
        v.fmacctr[t] = def_fmatr;
        v.fmaccnotr[t] = def_fma;
        v.fmacctrmon[t] = def_fmatrmon;
    }
    coef_unop_fn* unops[] = {&v.neg, &v.conj, &v.abs, &v.real, &v.imag, &v.cos, &v.sin, &v.tan,
                             &v.acos, &v.asin, &v.atan, &v.cosh, &v.sinh, &v.tanh, &v.acosh,
                             &v.asinh, &v.atanh, &v.exp, &v.log, &v.log10, &v.arg, &v.sqrt,
                             &v.pent, &v.nint, &v.inf, &v.sup, &v.norm_inf, &v.getnumer, &v.getdenom};
    for (auto* u : unops) *u = def_unop;
    v.power_ui = def_powui;
    v.exponentiation = def_op2;
    v.modulo_coefnum = def_op2;
    coef_pred_fn* preds[] = {&v.isentierlong, &v.isreal, &v.iscplx, &v.isrealorcplx, &v.isrational,
                             &v.containcplx, &v.cmp_egal_1, &v.cmp_egal_neg1, &v.iszero};
    for (auto* p : preds) *p = def_pred_no;
    v.getring = def_getring;
    v.clean_eps = def_clean;
    v.clean_rateps = def_clean;
    v.aff = v.aff_tex = v.aff_ml = def_aff;
    v.save = v.saveF = def_save;
    v.load = v.loadF = def_load;
}

// ---------------------------------------------------------------- zero rules (step 2)

coef zero_add_left(t_cctx*, coef* a, int ka, coef* b, int kb, int)   // 0 + b
{
    (void)a;
    (void)ka;
    return coefnum_take(b, kb);
}
coef zero_add_right(t_cctx*, coef* a, int ka, coef* b, int kb, int)  // a + 0
{
    (void)b;
    (void)kb;
    return coefnum_take(a, ka);
}
coef zero_sub_left(t_cctx* ctx, coef*, int, coef* b, int kb, int) { return coef_vt(b).neg(ctx, b, kb); }
coef zero_mul(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    coefnum_release(a, ka);
    coefnum_release(b, kb);
    return coef{};
}
coef zero_multr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, t_troncworkstack*, int p)
{
    return zero_mul(ctx, a, ka, b, kb, p);
}
coef zero_multrmon(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncmon*, int p)
{
    return zero_mul(ctx, a, ka, b, kb, p);
}
coef zero_div_left(t_cctx* ctx, coef* a, int ka, coef* b, int kb) { return zero_mul(ctx, a, ka, b, kb, 0); }
void zero_fma(t_cctx*, coef*, coef& b, int kb, coef& c, int kc, int)
{
    coefnum_release(&b, kb);
    coefnum_release(&c, kc);
}
void zero_fmatr(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, t_troncworkstack*, int p)
{
    zero_fma(ctx, acc, b, kb, c, kc, p);
}
void zero_fmatrmon(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, const t_troncmon*, int p)
{
    zero_fma(ctx, acc, b, kb, c, kc, p);
}
int zero_eq_right(const coef* a, const coef*) { return coef_vt(a).iszero(a); }
int zero_eq_left(const coef*, const coef* b) { return coef_vt(b).iszero(b); }
int zero_eq_zero(const coef*, const coef*) { return 1; }

void install_zero_rules()
{
    coefvtable& z = g_kst_coef_vtable[BH_ZERO];
    for (int t = 0; t < BH_NTAGS; t++) {
        coefvtable& v = g_kst_coef_vtable[t];
        z.add[t] = zero_add_left;
        z.sub[t] = zero_sub_left;
        v.add[BH_ZERO] = zero_add_right;
        v.sub[BH_ZERO] = zero_add_right;
        z.mulnotr[t] = v.mulnotr[BH_ZERO] = zero_mul;
        z.multr[t] = v.multr[BH_ZERO] = zero_multr;
        z.multrmon[t] = v.multrmon[BH_ZERO] = zero_multrmon;
        z.div[t] = z.divexact[t] = zero_div_left;
        v.div[BH_ZERO] = v.divexact[BH_ZERO] = coefnum_divbyzero;
        z.fmaccnotr[t] = v.fmaccnotr[BH_ZERO] = zero_fma;
        z.fmacctr[t] = v.fmacctr[BH_ZERO] = zero_fmatr;
        z.fmacctrmon[t] = v.fmacctrmon[BH_ZERO] = zero_fmatrmon;
        v.cmp_eq[BH_ZERO] = zero_eq_right;
        z.cmp_eq[t] = zero_eq_left;
    }
    z.add[BH_ZERO] = zero_add_left;
    z.cmp_eq[BH_ZERO] = zero_eq_zero;
}

// The zero coefficient's own record: it is a real number of every numeric kind.
coef zero_copy(const coef*) { return coef{}; }
void zero_delete(coef* c) { c->type = BH_ZERO; }
coef zero_unop(t_cctx*, coef*, int) { return coef{}; }
long long zero_ll(const coef*) { return 0; }
double zero_dbl(const coef*) { return 0.0; }
complexe zero_zdbl(const coef*) { return complexe{0.0, 0.0}; }
int pred_yes(const coef*) { return 1; }
char* zero_str(const coef*) { return strdup("0"); }
char* zero_strfmt(const char* fmt, const coef*)
{
    char buf[64];
    snprintf(buf, sizeof buf, fmt, 0.0);
    return strdup(buf);
}
coef zero_powui(t_cctx* ctx, coef*, int, unsigned long n)
{
    if (n == 0) return g_kst_coef_vtable[BH_DBL].int2coef(ctx, 1);
    return coef{};
}
coef zero_cos(t_cctx* ctx, coef*, int) { return g_kst_coef_vtable[BH_DBL].int2coef(ctx, 1); }
coef zero_exp(t_cctx* ctx, coef*, int) { return g_kst_coef_vtable[BH_DBL].int2coef(ctx, 1); }
void zero_aff(t_cctx*, t_render* r, const coef*, int affc) { coefaff_dbl(r, 0.0, affc); }
// The functions whose value at 0 is not 0 or 1 (acos, log, ...): the double function at 0.0.
template <coef_unop_fn coefvtable::*F>
coef zero_viadbl(t_cctx* ctx, coef*, int)
{
    coef t = coef_fromdbl(0.0);
    return (g_kst_coef_vtable[BH_DBL].*F)(ctx, &t, 0);
}

void install_zero_record()
{
    coefvtable& z = g_kst_coef_vtable[BH_ZERO];
    z.kind = 3;
    z.copycoef = zero_copy;
    z.deletecoef = zero_delete;
    z.coef2ll = zero_ll;
    z.coef2dbl = zero_dbl;
    z.coef2zdbl = zero_zdbl;
    z.coef2str = zero_str;
    z.coef2strfmt = zero_strfmt;
    coef_unop_fn* zeros[] = {&z.neg, &z.conj, &z.abs, &z.real, &z.imag, &z.sin, &z.tan, &z.asin,
                             &z.atan, &z.sinh, &z.tanh, &z.asinh, &z.atanh, &z.arg, &z.sqrt,
                             &z.pent, &z.nint, &z.inf, &z.sup, &z.norm_inf, &z.getnumer};
    for (auto* u : zeros) *u = zero_unop;
    z.cos = z.cosh = zero_cos;
    z.acos = zero_viadbl<&coefvtable::acos>;
    z.acosh = zero_viadbl<&coefvtable::acosh>;
    z.log = zero_viadbl<&coefvtable::log>;
    z.log10 = zero_viadbl<&coefvtable::log10>;
    z.exp = zero_exp;
    z.power_ui = zero_powui;
    z.isentierlong = z.isreal = z.isrealorcplx = z.isrational = z.iszero = pred_yes;
    z.aff = z.aff_tex = z.aff_ml = zero_aff;
    g_BHSize[BH_ZERO] = 0;
    gc_BHReel[BH_ZERO] = BH_ZERO;
    gc_BHCplx[BH_ZERO] = BH_ZERO;
}

// ---------------------------------------------------------------- common, real, complex layers

coef layer_diveucl(t_cctx* ctx, coef* a, int ka, coef* b, int kb, coef* rest)
{
    if (rest) *rest = coef{};
    return coef_vt(a).div[coef_tag(b)](ctx, a, ka, b, kb);
}
void numeric_fma(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, int)
{
    coef p = coef_vt(&b).mulnotr[coef_tag(&c)](ctx, &b, kb, &c, kc, 0);
    *acc = coef_vt(acc).add[coef_tag(&p)](ctx, acc, 0, &p, 0, 0);
}
void numeric_fmatr(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, t_troncworkstack*, int p)
{
    numeric_fma(ctx, acc, b, kb, c, kc, p);
}
void numeric_fmatrmon(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, const t_troncmon*, int p)
{
    numeric_fma(ctx, acc, b, kb, c, kc, p);
}

coef real_self(t_cctx*, coef* a, int ka) { return coefnum_take(a, ka); }
coef real_imag(t_cctx*, coef* a, int ka)
{
    coefnum_release(a, ka);
    return coef{};
}
coef cplx_conj(t_cctx* ctx, coef* a, int ka)
{
    coef r = coefnum_build(ctx, a->type, a, 0, 1, true);
    coefnum_release(a, ka);
    return r;
}
coef cplx_real(t_cctx* ctx, coef* a, int ka)
{
    coef r = coefnum_build(ctx, gc_BHReel[coef_tag(a)], a, 0, -1, false);
    coefnum_release(a, ka);
    return r;
}
coef cplx_imag(t_cctx* ctx, coef* a, int ka)
{
    coef r = coefnum_build(ctx, gc_BHReel[coef_tag(a)], a, 1, -1, false);
    coefnum_release(a, ka);
    return r;
}
int cplx_isreal(const coef*) { return 0; }

// ---------------------------------------------------------------- generic mixed cells

enum { OP_ADD, OP_SUB, OP_MUL, OP_DIV };

// Brings both operands to tag R (the one already of tag R is used as it is, so a handed-over
// operand of the result type lends its storage) and runs the same-type cell of R.
template <int R, int OP>
coef mixed_cell(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    coef ta, tb;
    coef* pa = a;
    coef* pb = b;
    int kpa = ka, kpb = kb;
    bool tmpa = false;
    if (a->type != R) {
        ta = coefnum_convert_raw(ctx, a, (eBHTypeCoef)R);
        coefnum_release(a, ka);
        pa = &ta;
        kpa = 0;
        tmpa = true;
    }
    if (b->type != R) {
        tb = coefnum_convert_raw(ctx, b, (eBHTypeCoef)R);
        coefnum_release(b, kb);
        pb = &tb;
        kpb = 0;
    } else if (tmpa && !kb) {
        kpa = 1;   // the result goes into b's storage; the converted copy of a is freed after
    }
    // A converted operand may have normalised to zero: dispatch again on the actual tags.
    const coefvtable& v = coef_vt(pa);
    coef r;
    switch (OP) {
    case OP_ADD: r = v.add[coef_tag(pb)](ctx, pa, kpa, pb, kpb, 0); break;
    case OP_SUB: r = v.sub[coef_tag(pb)](ctx, pa, kpa, pb, kpb, 0); break;
    case OP_MUL: r = v.mulnotr[coef_tag(pb)](ctx, pa, kpa, pb, kpb, 0); break;
    default: r = v.div[coef_tag(pb)](ctx, pa, kpa, pb, kpb); break;
    }
    if (tmpa && kpa) deletecoef(&ta);
    return r;
}
template <int R, int OP>
coef mixed_binop(t_cctx* ctx, coef* a, int ka, coef* b, int kb, int)
{
    return mixed_cell<R, OP>(ctx, a, ka, b, kb);
}
template <int R>
coef mixed_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return mixed_cell<R, OP_DIV>(ctx, a, ka, b, kb);
}

struct t_mixedcells {
    coef_binop_fn add, sub, mul;
    coef_divop_fn div;
};
template <int R>
constexpr t_mixedcells mixedcells_of()
{
    return {mixed_binop<R, OP_ADD>, mixed_binop<R, OP_SUB>, mixed_binop<R, OP_MUL>, mixed_div<R>};
}
const t_mixedcells s_mixed[24] = {
    {}, {}, mixedcells_of<2>(), mixedcells_of<3>(), {}, {}, {}, mixedcells_of<7>(),
    mixedcells_of<8>(), mixedcells_of<9>(), mixedcells_of<10>(), mixedcells_of<11>(),
    mixedcells_of<12>(), mixedcells_of<13>(), mixedcells_of<14>(), {}, {}, {},
    mixedcells_of<18>(), mixedcells_of<19>(), mixedcells_of<20>(), mixedcells_of<21>(),
    mixedcells_of<22>(), mixedcells_of<23>(),
};

void install_pair(eBHTypeCoef a, eBHTypeCoef b, eBHTypeCoef res)
{
    const t_mixedcells& m = s_mixed[res];
    coefvtable& v = g_kst_coef_vtable[a];
    v.add[b] = m.add;
    v.sub[b] = m.sub;
    v.mulnotr[b] = m.mul;
    v.div[b] = v.divexact[b] = m.div;
}

// ---------------------------------------------------------------- generic comparisons

bool finite_or_exact(const coef* c)
{
    switch (c->type) {
    case BH_DBL: return std::isfinite(c->d);
    case BH_FPMP: return mpfr_number_p(coef_box<t_fpmptype>(c));
    case BH_QUAD: return finiteq(*coef_box<t_quadtype>(c));
    default: return true;
    }
}

// Sign of a - b, exact when both values are finite; NaN compares unordered (returns 2).
int generic_order(const coef* a, const coef* b)
{
    if (finite_or_exact(a) && finite_or_exact(b)) {
        mpq_t qa, qb;
        mpq_init(qa);
        mpq_init(qb);
        coefnum_get_q(qa, a, 0);
        coefnum_get_q(qb, b, 0);
        int s = mpq_cmp(qa, qb);
        mpq_clear(qa);
        mpq_clear(qb);
        return s < 0 ? -1 : (s > 0 ? 1 : 0);
    }
    double x = coef2dbl(a), y = coef2dbl(b);
    if (std::isnan(x) || std::isnan(y)) return 2;
    return x < y ? -1 : (x > y ? 1 : 0);
}
int gen_lt(const coef* a, const coef* b) { return generic_order(a, b) == -1; }
int gen_le(const coef* a, const coef* b)
{
    int s = generic_order(a, b);
    return s == -1 || s == 0;
}
int gen_gt(const coef* a, const coef* b) { return generic_order(a, b) == 1; }
int gen_ge(const coef* a, const coef* b)
{
    int s = generic_order(a, b);
    return s == 1 || s == 0;
}
int gen_eq(const coef* a, const coef* b)
{
    if (generic_order(a, b) != 0) return 0;
    if (!coefnum_iscomplex(a->type) && !coefnum_iscomplex(b->type)) return 1;
    if (!finite_or_exact(a) || !finite_or_exact(b)) return 0;
    mpq_t qa, qb;
    mpq_init(qa);
    mpq_init(qb);
    coefnum_get_q(qa, a, 1);
    coefnum_get_q(qb, b, 1);
    int e = mpq_equal(qa, qb);
    mpq_clear(qa);
    mpq_clear(qb);
    return e != 0;
}
// Complex numbers have no order: the user asked for one, which is an error of the script.
int cplx_order(const coef*, const coef*)
{
    kst_runerror(450);
    return 0;
}

// Documented choice for numeric pairs the promotion table leaves open: the pair is computed in
// the type of higher rank among exact < double < quad < MPFR < double interval < quad interval
// (two exact types: GMP rational), made complex when either operand is complex.
int fallback_rank(int realtag)
{
    switch (realtag) {
    case BH_DBL: return 1;
    case BH_QUAD: return 2;
    case BH_FPMP: return 3;
    case BH_INTDBL: return 4;
    case BH_INTQUAD: return 5;
    default: return 0;
    }
}
eBHTypeCoef fallback_tag(eBHTypeCoef a, eBHTypeCoef b)
{
    eBHTypeCoef ra = gc_BHReel[a], rb = gc_BHReel[b];
    eBHTypeCoef r;
    if (ra == BH_ZERO) r = rb;
    else if (rb == BH_ZERO) r = ra;
    else if (fallback_rank(ra) == 0 && fallback_rank(rb) == 0) r = (ra == rb) ? ra : BH_RATMP;
    else r = fallback_rank(ra) >= fallback_rank(rb) ? ra : rb;
    bool cplx = coefnum_iscomplex(a) || coefnum_iscomplex(b);
    return cplx ? gc_BHCplx[r] : r;
}

bool s_isnumeric[BH_NTAGS];

// ---------------------------------------------------------------- generic unary cells

// a^b: exact repeated products for an integral exponent, exp(b log a) otherwise (the product
// b log a takes the wider of the two types through the ordinary cells).
coef gen_exponentiation(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    if (b->type == BH_ZERO) {
        coefnum_release(a, ka);
        return g_kst_coef_vtable[gc_BHReel[coef_tag(a)] ? gc_BHReel[coef_tag(a)] : BH_DBL].int2coef(ctx, 1);
    }
    if (coef_vt(b).isentierlong(b)) {
        long n = (long)coef2ll(b);
        coefnum_release(b, kb);
        return coef_power_int(ctx, a, ka, n);
    }
    if (a->type == BH_ZERO) {
        coefnum_release(b, kb);
        return coef{};
    }
    coef l = coef_vt(a).log(ctx, a, ka);
    coef p = coef_multiplication(ctx, b, kb, &l, 0);
    return coef_vt(&p).exp(ctx, &p, 0);
}

// a mod b = a - b floor(a / b), in the types the cells choose.
coef gen_modulo(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    if (coefnum_iscomplex(a->type) || coefnum_iscomplex(b->type)) {
        coefnum_release(a, ka);
        coefnum_release(b, kb);
        kst_runerror(ctx, 450);
        return coef{};
    }
    if (b->type == BH_ZERO) return coefnum_divbyzero(ctx, a, ka, b, kb);
    coef q = coef_division(ctx, a, 1, b, 1);
    coef f = coef_vt(&q).pent(ctx, &q, 0);
    coef bf = coef_multiplication(ctx, b, kb, &f, 0);
    return coef_soustraction(ctx, a, ka, &bf, 0);
}

coef cplx_noorder(t_cctx* ctx, coef* a, int ka)
{
    coefnum_release(a, ka);
    kst_runerror(ctx, 450);
    return coef{};
}
coef gen_numer(t_cctx*, coef* a, int ka) { return coefnum_take(a, ka); }
coef gen_denom(t_cctx* ctx, coef* a, int ka)
{
    eBHTypeCoef rt = gc_BHReel[coef_tag(a)];
    coefnum_release(a, ka);
    return g_kst_coef_vtable[rt].int2coef(ctx, 1);
}
coef gen_float2rat(t_cctx*, coef* a, int ka) { return coefnum_take(a, ka); }
coef zero_denom(t_cctx* ctx, coef*, int) { return g_kst_coef_vtable[BH_DBL].int2coef(ctx, 1); }

// Fills the unary slots a numeric type left to the generic rules.
void install_generic_unary(int t)
{
    coefvtable& v = g_kst_coef_vtable[t];
    if (v.exponentiation == def_op2) v.exponentiation = gen_exponentiation;
    if (v.modulo_coefnum == def_op2) v.modulo_coefnum = gen_modulo;
    const bool cplx = coefnum_iscomplex(t);
    coef_unop_fn* realonly[] = {&v.pent, &v.nint, &v.inf, &v.sup};
    for (auto* u : realonly)
        if (*u == def_unop && cplx) *u = cplx_noorder;
    if (v.getnumer == def_unop) v.getnumer = gen_numer;
    if (v.getdenom == def_unop) v.getdenom = gen_denom;
    if (v.norm_inf == def_unop) v.norm_inf = v.abs;
    if (!v.float2rat) v.float2rat = gen_float2rat;
    for (int u = 0; u < BH_NTAGS; u++) {
        if (s_isnumeric[u] || u == BH_ZERO) {
            if (v.powreal[u] == def_op2) v.powreal[u] = gen_exponentiation;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

void coefnum_release(coef* c, int keep)
{
    if (!keep) deletecoef(c);
}

coef coefnum_take(coef* c, int keep)
{
    if (keep) return copycoef(c);
    coef r = *c;
    c->type = BH_ZERO;
    return r;
}

coef coefnum_divbyzero(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    coefnum_release(a, ka);
    coefnum_release(b, kb);
    kst_runerror(ctx, 24);
    return coef{};
}

const char* coef_typename(const coef* c) { return tagname(c); }

int kst_coefnum_register(int size, char* tagchar, eBHTypeCoef* tag)
{
    if (s_runtime_lasttag >= BH_NTAGS - 1) return 0;
    s_runtime_lasttag++;
    g_BHSize[s_runtime_lasttag] = size;
    if (tagchar) *tagchar = (char)s_runtime_lasttag;
    if (tag) *tag = (eBHTypeCoef)s_runtime_lasttag;
    return 1;
}

void coefnum_install_common(eBHTypeCoef t, const char* name, int storedsize)
{
    coefvtable& v = g_kst_coef_vtable[t];
    s_isnumeric[t] = true;
    v.kind = 3;
    v.name = name;
    g_BHSize[t] = storedsize;
    const bool cplx = coefnum_iscomplex(t);
    for (int u = 0; u < BH_NTAGS; u++) v.diveucl[u] = layer_diveucl;
    if (cplx) {
        v.conj = cplx_conj;
        v.real = cplx_real;
        v.imag = cplx_imag;
        v.isreal = cplx_isreal;
        v.iscplx = pred_yes;
        v.containcplx = pred_yes;
        v.isrealorcplx = pred_yes;
    } else {
        v.conj = real_self;
        v.real = real_self;
        v.imag = real_imag;
        v.inf = real_self;
        v.sup = real_self;
        v.isreal = pred_yes;
        v.isrealorcplx = pred_yes;
    }
}

void coefnum_install_mixed(eBHTypeCoef a, eBHTypeCoef b, eBHTypeCoef res)
{
    install_pair(a, b, res);
    install_pair(b, a, res);
}

void coefnum_install_fallbacks()
{
    for (int a = 0; a < BH_NTAGS; a++) {
        if (!s_isnumeric[a] && a != BH_ZERO) continue;
        coefvtable& v = g_kst_coef_vtable[a];
        for (int b = 0; b < BH_NTAGS; b++) {
            if (!s_isnumeric[b] && b != BH_ZERO) continue;
            if (a != BH_ZERO && b != BH_ZERO) {
                if (v.add[b] == def_add) install_pair((eBHTypeCoef)a, (eBHTypeCoef)b, fallback_tag((eBHTypeCoef)a, (eBHTypeCoef)b));
                if (v.fmaccnotr[b] == def_fma) v.fmaccnotr[b] = numeric_fma;
                if (v.fmacctr[b] == def_fmatr) v.fmacctr[b] = numeric_fmatr;
                if (v.fmacctrmon[b] == def_fmatrmon) v.fmacctrmon[b] = numeric_fmatrmon;
                if (v.cmp_eq[b] == def_eq) v.cmp_eq[b] = gen_eq;
            }
            const bool cplx = coefnum_iscomplex(a) || coefnum_iscomplex(b);
            if (v.cmp_lt[b] == def_cmp) {
                v.cmp_lt[b] = cplx ? cplx_order : gen_lt;
                v.cmp_le[b] = cplx ? cplx_order : gen_le;
                v.cmp_gt[b] = cplx ? cplx_order : gen_gt;
                v.cmp_ge[b] = cplx ? cplx_order : gen_ge;
            }
        }
    }
}

coef coefnum_multr_generic(t_cctx* ctx, coef* a, int ka, coef* b, int kb, t_troncworkstack*, int p)
{
    return coef_vt(a).mulnotr[coef_tag(b)](ctx, a, ka, b, kb, p);
}
coef coefnum_multrmon_generic(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncmon*, int p)
{
    return coef_vt(a).mulnotr[coef_tag(b)](ctx, a, ka, b, kb, p);
}

namespace {
void install_promotions()
{
    const eBHTypeCoef todbl[] = {BH_INTMP, BH_RATMP, BH_RAT};
    for (auto t : todbl) coefnum_install_mixed(t, BH_DBL, BH_DBL);
    const eBHTypeCoef tozdbl[] = {BH_INTMP, BH_RATMP, BH_RAT, BH_DBL, BH_ZINTMP, BH_ZRATMP, BH_ZRAT};
    for (auto t : tozdbl) coefnum_install_mixed(t, BH_ZDBL, BH_ZDBL);
    coefnum_install_mixed(BH_INTMP, BH_RATMP, BH_RATMP);
    coefnum_install_mixed(BH_INTMP, BH_ZINTMP, BH_ZINTMP);
    coefnum_install_mixed(BH_INTMP, BH_ZRATMP, BH_ZRATMP);
    coefnum_install_mixed(BH_RATMP, BH_ZRATMP, BH_ZRATMP);
    coefnum_install_mixed(BH_RATMP, BH_ZINTMP, BH_ZRATMP);
    coefnum_install_mixed(BH_ZINTMP, BH_ZRATMP, BH_ZRATMP);
    coefnum_install_mixed(BH_RAT, BH_ZRAT, BH_ZRAT);
    coefnum_install_mixed(BH_QUAD, BH_ZQUAD, BH_ZQUAD);
    coefnum_install_mixed(BH_FPMP, BH_ZFPMP, BH_ZFPMP);
    coefnum_install_mixed(BH_INTDBL, BH_ZINTDBL, BH_ZINTDBL);
    coefnum_install_mixed(BH_INTQUAD, BH_ZINTQUAD, BH_ZINTQUAD);
}

// The numeric pairs that no type gave a truncated product of its own (the mixed and fallback
// cells) forward to their plain product; a type's own entries and the zero rules stay.
void finish_numeric_cells()
{
    for (int a = 0; a < BH_NTAGS; a++) {
        if (!s_isnumeric[a] && a != BH_ZERO) continue;
        coefvtable& v = g_kst_coef_vtable[a];
        for (int b = 0; b < BH_NTAGS; b++) {
            if (!s_isnumeric[b] && b != BH_ZERO) continue;
            if (v.multr[b] == def_multr) v.multr[b] = coefnum_multr_generic;
            if (v.multrmon[b] == def_multrmon) v.multrmon[b] = coefnum_multrmon_generic;
        }
    }
}
}  // namespace

// ---------------------------------------------------------------- start-up

void kst_coef_inittables()
{
    if (s_tables_filled) return;
    for (auto& v : g_kst_coef_vtable) fill_defaults(v);
    for (int t = 0; t < BH_NTAGS; t++) {
        if (t < BH_FIRSTRUNTIME) g_BHSize[t] = 0;   // run-time types may register before us
        g_BHZero[t] = nullptr;
        gc_BHUn[t] = nullptr;
        gc_BHReel[t] = (eBHTypeCoef)t;
        gc_BHCplx[t] = (eBHTypeCoef)t;
        s_isnumeric[t] = false;
    }
    static const struct {
        eBHTypeCoef tag;
        const char* name;
    } algebraic_names[] = {{BH_POLYNOME, "POLYNOME"}, {BH_POLPLEIN, "POLPLEIN"}, {BH_DIVISOR, "DIVISOR"}};
    for (auto& n : algebraic_names) g_kst_coef_vtable[n.tag].name = n.name;
    static const char* const polrd[] = {"POLRDDBL", "POLRDZDBL", "POLRDINTMP", "POLRDZINTMP", "POLRDZRATMP",
                                        "POLRDFPMP", "POLRDZFPMP", "POLRDQUAD", "POLRDZQUAD", "POLRDRATMP"};
    static const char* const polrs[] = {"POLRSDBL", "POLRSZDBL", "POLRSINTMP", "POLRSZINTMP", "POLRSRATMP",
                                        "POLRSZRATMP", "POLRSFPMP", "POLRSZFPMP", "POLRSQUAD", "POLRSZQUAD"};
    for (int i = 0; i < 10; i++) {
        g_kst_coef_vtable[25 + i].name = polrd[i];
        g_kst_coef_vtable[35 + i].name = polrs[i];
    }
    g_kst_coef_vtable[45].name = "POLRSINTDBL";
    g_kst_coef_vtable[54].name = "POLRDINTDBL";

    install_zero_record();
    install_zero_rules();

    // Each type: common layer, real or complex layer, then its own cells (in its file).
    kst_coef_register_dbl();
    kst_coef_register_complexe();
    kst_coef_register_ratbase();
    kst_coef_register_quadbase();
    kst_coef_register_intmp();
    kst_coef_register_ratmp();
    kst_coef_register_fpmp();
    kst_coef_register_zfpmp();
    kst_coef_register_interval();

    install_promotions();
    coefnum_install_fallbacks();
    for (int t = 0; t < BH_NTAGS; t++)
        if (s_isnumeric[t]) install_generic_unary(t);
    coefvtable& z = g_kst_coef_vtable[BH_ZERO];
    z.exponentiation = gen_exponentiation;
    z.modulo_coefnum = gen_modulo;
    z.getdenom = zero_denom;
    z.float2rat = gen_float2rat;
    modenum_install_converters();
    finish_numeric_cells();
    s_tables_filled = true;
}

void kst_coef_reset() { mpfr_free_cache(); }
