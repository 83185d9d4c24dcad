// MPFR numbers (tag 20 "FPMP"): a new number takes the context's bit precision; a number keeps the
// precision it was made with, also when its storage is reused for a result.
#include "coef/coefnum_impl.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using FT = t_fpmptype;
__mpfr_struct* fb(const coef* c) { return coef_box<FT>(c); }
__mpfr_struct* f_alloc(t_cctx* ctx) { return fpmp_new(ctx); }
coef f_finish(__mpfr_struct* r)
{
    if (mpfr_zero_p(r)) {
        fpmp_free(r);
        return coef{};
    }
    return coef_fromptr(r, BH_FPMP);
}

void op_add(t_cctx*, __mpfr_struct* r, const __mpfr_struct* a, const __mpfr_struct* b) { mpfr_add(r, a, b, MPFR_RNDN); }
void op_sub(t_cctx*, __mpfr_struct* r, const __mpfr_struct* a, const __mpfr_struct* b) { mpfr_sub(r, a, b, MPFR_RNDN); }
void op_mul(t_cctx*, __mpfr_struct* r, const __mpfr_struct* a, const __mpfr_struct* b) { mpfr_mul(r, a, b, MPFR_RNDN); }
void op_div(t_cctx*, __mpfr_struct* r, const __mpfr_struct* a, const __mpfr_struct* b) { mpfr_div(r, a, b, MPFR_RNDN); }
constexpr auto f_add = coefnum_boxed_binop<FT, op_add, fpmp_free, f_alloc, f_finish>;
constexpr auto f_sub = coefnum_boxed_binop<FT, op_sub, fpmp_free, f_alloc, f_finish>;
constexpr auto f_mul = coefnum_boxed_binop<FT, op_mul, fpmp_free, f_alloc, f_finish>;
coef f_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<FT, op_div, fpmp_free, f_alloc, f_finish>(ctx, a, ka, b, kb, 0);
}

template <int (*F)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t)>
void apply(t_cctx*, __mpfr_struct* r, const __mpfr_struct* a)
{
    F(r, a, MPFR_RNDN);
}
template <int (*F)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t)>
coef f_fn(t_cctx* ctx, coef* a, int ka)
{
    return coefnum_boxed_unop<FT, apply<F>, f_alloc, f_finish>(ctx, a, ka);
}
int w_neg(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t d) { return mpfr_neg(r, a, d); }
int w_abs(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t d) { return mpfr_abs(r, a, d); }
int w_floor(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_floor(r, a); }
int w_arg(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t d)
{
    if (mpfr_sgn(a) < 0) return mpfr_const_pi(r, d);
    mpfr_set_zero(r, 1);
    return 0;
}
coef f_neg(t_cctx* ctx, coef* a, int ka) { return f_fn<w_neg>(ctx, a, ka); }

coef mk(t_cctx* ctx, long n)
{
    if (n == 0) return coef{};
    __mpfr_struct* f = fpmp_new(ctx);
    mpfr_set_si(f, n, MPFR_RNDN);
    return coef_fromptr(f, BH_FPMP);
}
coef f_int(t_cctx* ctx, int n) { return mk(ctx, n); }
coef f_ll(t_cctx* ctx, long long n) { return mk(ctx, n); }
coef f_zint(t_cctx* ctx, int re, int im)
{
    if (im == 0) return mk(ctx, re);
    __mpc_struct* z = zfpmp_new(ctx);
    mpc_set_si_si(z, re, im, MPC_RNDNN);
    return coef_fromptr(z, BH_ZFPMP);
}
coef f_dbl(t_cctx* ctx, double v)
{
    if (v == 0.0) return coef{};
    __mpfr_struct* f = fpmp_new(ctx);
    mpfr_set_d(f, v, MPFR_RNDN);
    return coef_fromptr(f, BH_FPMP);
}
coef f_pi(t_cctx* ctx)
{
    __mpfr_struct* f = fpmp_new(ctx);
    mpfr_const_pi(f, MPFR_RNDN);
    return coef_fromptr(f, BH_FPMP);
}
coef f_numden(t_cctx* ctx, int n, int d)
{
    if (n == 0) return coef{};
    mpq_t q;
    mpq_init(q);
    mpz_set_si(mpq_numref(q), n);
    mpz_set_si(mpq_denref(q), d);
    mpq_canonicalize(q);
    __mpfr_struct* f = fpmp_new(ctx);
    mpfr_set_q(f, q, MPFR_RNDN);
    mpq_clear(q);
    return coef_fromptr(f, BH_FPMP);
}
coef f_numdencplx(t_cctx* ctx, long long rn, long long rd, long long in, long long id)
{
    coef t{};
    t.type = BH_ZRAT;
    zrat z{{rn, rd}, {in, id}};
    t.p = &z;
    if (in == 0) return coefnum_build(ctx, BH_FPMP, &t, 0, -1, false);
    return coefnum_build(ctx, BH_ZFPMP, &t, 0, 1, false);
}
coef f_str(t_cctx* ctx, const char* s)
{
    __mpfr_struct* f = fpmp_new(ctx);
    if (mpfr_set_str(f, s, 10, MPFR_RNDN) != 0) mpfr_set_zero(f, 1);
    if (mpfr_zero_p(f)) {
        fpmp_free(f);
        return coef{};
    }
    return coef_fromptr(f, BH_FPMP);
}
long long f_2ll(const coef* c) { return mpfr_get_si(fb(c), MPFR_RNDZ); }
double f_2dbl(const coef* c) { return mpfr_get_d(fb(c), MPFR_RNDN); }
complexe f_2zdbl(const coef* c) { return complexe{mpfr_get_d(fb(c), MPFR_RNDN), 0.0}; }

// All significant digits of the number's own precision, shortest form.
char* fr_text(mpfr_srcptr f, const char* conv)
{
    int digits = 1 + (int)std::ceil((double)mpfr_get_prec(f) * 0.30102999566398120);
    char fmt[16];
    snprintf(fmt, sizeof fmt, "%%.*RN%s", conv);
    char* s = nullptr;
    mpfr_asprintf(&s, fmt, digits, f);
    char* r = strdup(s);
    mpfr_free_str(s);
    return r;
}
char* f_2str(const coef* c) { return fr_text(fb(c), "G"); }
char* f_2strfmt(const char*, const coef* c) { return fr_text(fb(c), "G"); }
coef f_copy(const coef* c)
{
    __mpfr_struct* f = fpmp_new2(mpfr_get_prec(fb(c)));
    mpfr_set(f, fb(c), MPFR_RNDN);
    return coef_fromptr(f, BH_FPMP);
}
void f_delete(coef* c)
{
    fpmp_free(fb(c));
    c->type = BH_ZERO;
}
int f_eq(const coef* a, const coef* b) { return mpfr_equal_p(fb(a), fb(b)); }
int f_lt(const coef* a, const coef* b) { return mpfr_less_p(fb(a), fb(b)); }
int f_le(const coef* a, const coef* b) { return mpfr_lessequal_p(fb(a), fb(b)); }
int f_gt(const coef* a, const coef* b) { return mpfr_greater_p(fb(a), fb(b)); }
int f_ge(const coef* a, const coef* b) { return mpfr_greaterequal_p(fb(a), fb(b)); }
coef f_powui(t_cctx* ctx, coef* a, int ka, unsigned long n)
{
    __mpfr_struct* r = ka ? fpmp_new(ctx) : fb(a);
    mpfr_pow_ui(r, fb(a), n, MPFR_RNDN);
    if (!ka) a->type = BH_ZERO;
    return f_finish(r);
}
int f_iszero(const coef* c) { return mpfr_zero_p(fb(c)); }
int f_is1(const coef* c) { return mpfr_cmp_si(fb(c), 1) == 0; }
int f_isneg1(const coef* c) { return mpfr_cmp_si(fb(c), -1) == 0; }
int f_isentierlong(const coef* c) { return mpfr_integer_p(fb(c)) && mpfr_fits_slong_p(fb(c), MPFR_RNDN); }
coef f_clean(t_cctx*, coef* c, int keep, double eps)
{
    if (std::fabs(mpfr_get_d(fb(c), MPFR_RNDN)) <= eps) {
        coefnum_release(c, keep);
        return coef{};
    }
    return coefnum_take(c, keep);
}
void f_aff(t_cctx*, t_render* r, const coef* c, int)
{
    char* s = fr_text(fb(c), "G");
    coefaff_text(r, s);
    free(s);
}

}  // namespace

void kst_coef_register_fpmp()
{
    coefnum_install_common(BH_FPMP, "FPMP", (int)sizeof(__mpfr_struct));   // packed in blocks as the structure itself
    coefvtable& v = g_kst_coef_vtable[BH_FPMP];
    v.int2coef = f_int;
    v.ll2coef = f_ll;
    v.zint2coef = f_zint;
    v.dbl2coef = f_dbl;
    v.pi2coef = f_pi;
    v.numden2coef = f_numden;
    v.numdencplx2coef = f_numdencplx;
    v.strentierlong2coef = f_str;
    v.strreal2coef = f_str;
    v.coef2ll = f_2ll;
    v.coef2dbl = f_2dbl;
    v.coef2zdbl = f_2zdbl;
    v.coef2str = f_2str;
    v.coef2strfmt = f_2strfmt;
    v.copycoef = f_copy;
    v.deletecoef = f_delete;
    coefnum_install_arith<f_add, f_sub, f_mul, f_div>(BH_FPMP);
    v.cmp_eq[BH_FPMP] = f_eq;
    v.cmp_lt[BH_FPMP] = f_lt;
    v.cmp_le[BH_FPMP] = f_le;
    v.cmp_gt[BH_FPMP] = f_gt;
    v.cmp_ge[BH_FPMP] = f_ge;
    v.neg = f_neg;
    v.power_ui = f_powui;
    t_coefnum_elemfuncs f{f_fn<mpfr_cos>,   f_fn<mpfr_sin>,   f_fn<mpfr_tan>,   f_fn<mpfr_acos>,
                          f_fn<mpfr_asin>,  f_fn<mpfr_atan>,  f_fn<mpfr_cosh>,  f_fn<mpfr_sinh>,
                          f_fn<mpfr_tanh>,  f_fn<mpfr_acosh>, f_fn<mpfr_asinh>, f_fn<mpfr_atanh>,
                          f_fn<mpfr_exp>,   f_fn<mpfr_log>,   f_fn<mpfr_log10>, f_fn<w_arg>,
                          f_fn<mpfr_sqrt>,  f_fn<w_abs>};
    coefnum_install_elemfuncs(BH_FPMP, f);
    v.pent = f_fn<w_floor>;
    v.nint = f_fn<mpfr_rint>;
    v.norm_inf = f_fn<w_abs>;
    v.iszero = f_iszero;
    v.cmp_egal_1 = f_is1;
    v.cmp_egal_neg1 = f_isneg1;
    v.isentierlong = f_isentierlong;
    v.clean_eps = f_clean;
    v.aff = v.aff_tex = v.aff_ml = f_aff;
    gc_BHReel[BH_FPMP] = BH_FPMP;
    gc_BHCplx[BH_FPMP] = BH_ZFPMP;
}
