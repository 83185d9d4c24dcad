// MPC numbers (tag 21 "ZFPMP"), at the context's bit precision for both parts.
#include "coef/coefnum_impl.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using ZT = t_zfpmptype;
__mpc_struct* zb(const coef* c) { return coef_box<ZT>(c); }
__mpc_struct* z_alloc(t_cctx* ctx) { return zfpmp_new(ctx); }
coef z_finish(__mpc_struct* r)
{
    if (mpfr_zero_p(mpc_realref(r)) && mpfr_zero_p(mpc_imagref(r))) {
        zfpmp_free(r);
        return coef{};
    }
    return coef_fromptr(r, BH_ZFPMP);
}
void op_add(t_cctx*, __mpc_struct* r, const __mpc_struct* a, const __mpc_struct* b) { mpc_add(r, a, b, MPC_RNDNN); }
void op_sub(t_cctx*, __mpc_struct* r, const __mpc_struct* a, const __mpc_struct* b) { mpc_sub(r, a, b, MPC_RNDNN); }
void op_mul(t_cctx*, __mpc_struct* r, const __mpc_struct* a, const __mpc_struct* b) { mpc_mul(r, a, b, MPC_RNDNN); }
void op_div(t_cctx*, __mpc_struct* r, const __mpc_struct* a, const __mpc_struct* b) { mpc_div(r, a, b, MPC_RNDNN); }
constexpr auto z_add = coefnum_boxed_binop<ZT, op_add, zfpmp_free, z_alloc, z_finish>;
constexpr auto z_sub = coefnum_boxed_binop<ZT, op_sub, zfpmp_free, z_alloc, z_finish>;
constexpr auto z_mul = coefnum_boxed_binop<ZT, op_mul, zfpmp_free, z_alloc, z_finish>;
coef z_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<ZT, op_div, zfpmp_free, z_alloc, z_finish>(ctx, a, ka, b, kb, 0);
}

template <int (*F)(mpc_ptr, mpc_srcptr, mpc_rnd_t)>
void apply(t_cctx*, __mpc_struct* r, const __mpc_struct* a)
{
    F(r, a, MPC_RNDNN);
}
template <int (*F)(mpc_ptr, mpc_srcptr, mpc_rnd_t)>
coef z_fn(t_cctx* ctx, coef* a, int ka)
{
    return coefnum_boxed_unop<ZT, apply<F>, z_alloc, z_finish>(ctx, a, ka);
}
// Real-valued functions of a complex number give an MPFR number.
template <int (*F)(mpfr_ptr, mpc_srcptr, mpfr_rnd_t)>
coef z_realfn(t_cctx*, coef* a, int ka)
{
    __mpfr_struct* f = fpmp_new2(mpfr_get_prec(mpc_realref(zb(a))));
    F(f, zb(a), MPFR_RNDN);
    coefnum_release(a, ka);
    if (mpfr_zero_p(f)) {
        fpmp_free(f);
        return coef{};
    }
    return coef_fromptr(f, BH_FPMP);
}
int w_neg(mpc_ptr r, mpc_srcptr a, mpc_rnd_t d) { return mpc_neg(r, a, d); }
int w_conj(mpc_ptr r, mpc_srcptr a, mpc_rnd_t d) { return mpc_conj(r, a, d); }
int w_norminf(mpfr_ptr r, mpc_srcptr a, mpfr_rnd_t d)
{
    if (mpfr_cmpabs(mpc_realref(a), mpc_imagref(a)) >= 0) return mpfr_abs(r, mpc_realref(a), d);
    return mpfr_abs(r, mpc_imagref(a), d);
}
coef z_neg(t_cctx* ctx, coef* a, int ka) { return z_fn<w_neg>(ctx, a, ka); }
coef z_conj(t_cctx* ctx, coef* a, int ka) { return z_fn<w_conj>(ctx, a, ka); }

coef z_copy(const coef* c)
{
    auto* z = new __mpc_struct;
    mpc_init3(z, mpfr_get_prec(mpc_realref(zb(c))), mpfr_get_prec(mpc_imagref(zb(c))));
    mpc_set(z, zb(c), MPC_RNDNN);
    return coef_fromptr(z, BH_ZFPMP);
}
void z_delete(coef* c)
{
    zfpmp_free(zb(c));
    c->type = BH_ZERO;
}
int z_eq(const coef* a, const coef* b) { return mpc_cmp(zb(a), zb(b)) == 0; }
coef z_powui(t_cctx* ctx, coef* a, int ka, unsigned long n)
{
    __mpc_struct* r = ka ? zfpmp_new(ctx) : zb(a);
    mpc_pow_ui(r, zb(a), n, MPC_RNDNN);
    if (!ka) a->type = BH_ZERO;
    return z_finish(r);
}
int z_iszero(const coef* c) { return mpfr_zero_p(mpc_realref(zb(c))) && mpfr_zero_p(mpc_imagref(zb(c))); }
long long z_2ll(const coef* c) { return mpfr_get_si(mpc_realref(zb(c)), MPFR_RNDZ); }
double z_2dbl(const coef* c) { return mpfr_get_d(mpc_realref(zb(c)), MPFR_RNDN); }
complexe z_2zdbl(const coef* c)
{
    return complexe{mpfr_get_d(mpc_realref(zb(c)), MPFR_RNDN), mpfr_get_d(mpc_imagref(zb(c)), MPFR_RNDN)};
}
char* z_2str(const coef* c)
{
    char* s = mpc_get_str(10, 0, zb(c), MPC_RNDNN);
    char* r = strdup(s);
    mpc_free_str(s);
    return r;
}
char* z_2strfmt(const char*, const coef* c) { return z_2str(c); }
coef z_int(t_cctx* ctx, int n) { return g_kst_coef_vtable[BH_FPMP].int2coef(ctx, n); }

}  // namespace

void kst_coef_register_zfpmp()
{
    coefnum_install_common(BH_ZFPMP, "ZFPMP", (int)sizeof(__mpc_struct));
    coefvtable& z = g_kst_coef_vtable[BH_ZFPMP];
    const coefvtable& f = g_kst_coef_vtable[BH_FPMP];
    z.int2coef = z_int;
    z.ll2coef = f.ll2coef;
    z.zint2coef = f.zint2coef;
    z.dbl2coef = f.dbl2coef;
    z.pi2coef = f.pi2coef;
    z.numden2coef = f.numden2coef;
    z.numdencplx2coef = f.numdencplx2coef;
    z.strentierlong2coef = f.strentierlong2coef;
    z.strreal2coef = f.strreal2coef;
    z.coef2ll = z_2ll;
    z.coef2dbl = z_2dbl;
    z.coef2zdbl = z_2zdbl;
    z.coef2str = z_2str;
    z.coef2strfmt = z_2strfmt;
    z.copycoef = z_copy;
    z.deletecoef = z_delete;
    coefnum_install_arith<z_add, z_sub, z_mul, z_div>(BH_ZFPMP);
    z.cmp_eq[BH_ZFPMP] = z_eq;
    z.neg = z_neg;
    z.conj = z_conj;
    z.power_ui = z_powui;
    t_coefnum_elemfuncs fn{z_fn<mpc_cos>,   z_fn<mpc_sin>,   z_fn<mpc_tan>,     z_fn<mpc_acos>,
                           z_fn<mpc_asin>,  z_fn<mpc_atan>,  z_fn<mpc_cosh>,    z_fn<mpc_sinh>,
                           z_fn<mpc_tanh>,  z_fn<mpc_acosh>, z_fn<mpc_asinh>,   z_fn<mpc_atanh>,
                           z_fn<mpc_exp>,   z_fn<mpc_log>,   z_fn<mpc_log10>,   z_realfn<mpc_arg>,
                           z_fn<mpc_sqrt>,  z_realfn<mpc_abs>};
    coefnum_install_elemfuncs(BH_ZFPMP, fn);
    z.norm_inf = z_realfn<w_norminf>;
    z.iszero = z_iszero;
    z.aff = z.aff_tex = z.aff_ml = coefaff_cplx_generic;
    gc_BHReel[BH_ZFPMP] = BH_FPMP;
    gc_BHCplx[BH_ZFPMP] = BH_ZFPMP;
}
