// GMP rationals (tag 18 "RATMP") and complex GMP rationals (tag 19 "ZRATMP"). Canonical after every
// operation; zero becomes tag 0 and an integral value an INTMP (ZINTMP).
#include "coef/coefnum_impl.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using RT = t_ratmptype;
using ZT = t_zratmptype;
__mpq_struct* qb(const coef* c) { return coef_box<RT>(c); }
t_zratmp* zqb(const coef* c) { return coef_box<ZT>(c); }

double q_todbl(mpq_srcptr q)
{
    mpfr_t f;
    mpfr_init2(f, 53);
    mpfr_set_q(f, q, MPFR_RNDN);
    double d = mpfr_get_d(f, MPFR_RNDN);
    mpfr_clear(f);
    return d;
}

// ---------------------------------------------------------------- tag 18

__mpq_struct* r_alloc(t_cctx*) { return ratmp_new(); }
coef r_finish(__mpq_struct* r) { return ratmp_wrap(r); }
void op_add(t_cctx*, __mpq_struct* r, const __mpq_struct* a, const __mpq_struct* b) { mpq_add(r, a, b); }
void op_sub(t_cctx*, __mpq_struct* r, const __mpq_struct* a, const __mpq_struct* b) { mpq_sub(r, a, b); }
void op_mul(t_cctx*, __mpq_struct* r, const __mpq_struct* a, const __mpq_struct* b) { mpq_mul(r, a, b); }
void op_div(t_cctx*, __mpq_struct* r, const __mpq_struct* a, const __mpq_struct* b) { mpq_div(r, a, b); }
constexpr auto q_add = coefnum_boxed_binop<RT, op_add, ratmp_free, r_alloc, r_finish>;
constexpr auto q_sub = coefnum_boxed_binop<RT, op_sub, ratmp_free, r_alloc, r_finish>;
constexpr auto q_mul = coefnum_boxed_binop<RT, op_mul, ratmp_free, r_alloc, r_finish>;
coef q_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<RT, op_div, ratmp_free, r_alloc, r_finish>(ctx, a, ka, b, kb, 0);
}
void u_neg(t_cctx*, __mpq_struct* r, const __mpq_struct* a) { mpq_neg(r, a); }
void u_abs(t_cctx*, __mpq_struct* r, const __mpq_struct* a) { mpq_abs(r, a); }
coef q_neg(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<RT, u_neg, r_alloc, r_finish>(ctx, a, ka); }
coef q_abs(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<RT, u_abs, r_alloc, r_finish>(ctx, a, ka); }
coef q_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    __mpq_struct* r = ratmp_new();
    mpz_pow_ui(mpq_numref(r), mpq_numref(qb(a)), n);
    mpz_pow_ui(mpq_denref(r), mpq_denref(qb(a)), n);
    coefnum_release(a, ka);
    return ratmp_wrap(r);
}
coef mkz(void (*f)(mpz_ptr, mpz_srcptr, mpz_srcptr), coef* a, int ka)
{
    __mpz_struct* z = intmp_new();
    f(z, mpq_numref(qb(a)), mpq_denref(qb(a)));
    coefnum_release(a, ka);
    return intmp_wrap(z);
}
coef q_pent(t_cctx*, coef* a, int ka) { return mkz(mpz_fdiv_q, a, ka); }
// Nearest integer, halves rounded up: floor((2p + q) / 2q).
coef q_nint(t_cctx*, coef* a, int ka)
{
    __mpz_struct* z = intmp_new();
    mpz_t n, d;
    mpz_init(n);
    mpz_init(d);
    mpz_mul_2exp(n, mpq_numref(qb(a)), 1);
    mpz_add(n, n, mpq_denref(qb(a)));
    mpz_mul_2exp(d, mpq_denref(qb(a)), 1);
    mpz_fdiv_q(z, n, d);
    mpz_clear(n);
    mpz_clear(d);
    coefnum_release(a, ka);
    return intmp_wrap(z);
}
coef q_getnumer(t_cctx*, coef* a, int ka)
{
    __mpz_struct* z = intmp_new();
    mpz_set(z, mpq_numref(qb(a)));
    coefnum_release(a, ka);
    return intmp_wrap(z);
}
coef q_getdenom(t_cctx*, coef* a, int ka)
{
    __mpz_struct* z = intmp_new();
    mpz_set(z, mpq_denref(qb(a)));
    coefnum_release(a, ka);
    return intmp_wrap(z);
}
coef q_sqrt(t_cctx*, coef* a, int ka)
{
    coef r;
    const __mpq_struct* q = qb(a);
    if (mpq_sgn(q) > 0 && mpz_perfect_square_p(mpq_numref(q)) && mpz_perfect_square_p(mpq_denref(q))) {
        __mpq_struct* s = ratmp_new();
        mpz_sqrt(mpq_numref(s), mpq_numref(q));
        mpz_sqrt(mpq_denref(s), mpq_denref(q));
        r = ratmp_wrap(s);
    } else {
        r = coefnum_fromdbl(std::sqrt(q_todbl(q)));
    }
    coefnum_release(a, ka);
    return r;
}
coef q_arg(t_cctx*, coef* a, int ka)
{
    bool neg = mpq_sgn(qb(a)) < 0;
    coefnum_release(a, ka);
    return neg ? coef_fromdbl(M_PI) : coef{};
}

coef q_int(t_cctx*, int n)
{
    __mpq_struct* q = ratmp_new();
    mpq_set_si(q, n, 1);
    return ratmp_wrap(q);
}
coef q_ll(t_cctx*, long long n)
{
    __mpq_struct* q = ratmp_new();
    mpq_set_si(q, n, 1);
    return ratmp_wrap(q);
}
coef q_numden(t_cctx*, int n, int d)
{
    __mpq_struct* q = ratmp_new();
    mpz_set_si(mpq_numref(q), n);
    mpz_set_si(mpq_denref(q), d);
    mpq_canonicalize(q);
    return ratmp_wrap(q);
}
coef q_dbl(t_cctx*, double v) { return v == 0.0 ? coef{} : coef_fromdbl(v); }
coef q_str(t_cctx*, const char* s) { return q_dbl(nullptr, strtod(s, nullptr)); }
long long q_2ll(const coef* c)
{
    mpz_t z;
    mpz_init(z);
    mpz_tdiv_q(z, mpq_numref(qb(c)), mpq_denref(qb(c)));
    long long r = mpz_get_si(z);
    mpz_clear(z);
    return r;
}
double q_2dbl(const coef* c) { return q_todbl(qb(c)); }
complexe q_2zdbl(const coef* c) { return complexe{q_todbl(qb(c)), 0.0}; }
char* q_2str(const coef* c) { return kst_mpq_str(qb(c)); }
char* q_2strfmt(const char* fmt, const coef* c)
{
    char buf[128];
    snprintf(buf, sizeof buf, fmt, q_todbl(qb(c)));
    return strdup(buf);
}
coef q_copy(const coef* c)
{
    __mpq_struct* q = ratmp_new();
    mpq_set(q, qb(c));
    return coef_fromptr(q, BH_RATMP);
}
void q_delete(coef* c)
{
    ratmp_free(qb(c));
    c->type = BH_ZERO;
}
int q_eq(const coef* a, const coef* b) { return mpq_equal(qb(a), qb(b)) != 0; }
int q_lt(const coef* a, const coef* b) { return mpq_cmp(qb(a), qb(b)) < 0; }
int q_le(const coef* a, const coef* b) { return mpq_cmp(qb(a), qb(b)) <= 0; }
int q_gt(const coef* a, const coef* b) { return mpq_cmp(qb(a), qb(b)) > 0; }
int q_ge(const coef* a, const coef* b) { return mpq_cmp(qb(a), qb(b)) >= 0; }
int q_iszero(const coef* c) { return mpq_sgn(qb(c)) == 0; }
int q_isrational(const coef*) { return 1; }
void q_aff(t_cctx*, t_render* r, const coef* c, int affc)
{
    char* n = kst_mpz_str(mpq_numref(qb(c)));
    char* d = kst_mpz_str(mpq_denref(qb(c)));
    coefaff_frac(r, n, d, affc == 7);
    free(n);
    free(d);
}
int q_saveF(const coef* c, FILE* f) { return gmp_fprintf(f, "    %Qd\n", qb(c)) > 0; }

// ---------------------------------------------------------------- tag 19

t_zratmp* zr_alloc(t_cctx*) { return zratmp_new(); }
coef zr_finish(t_zratmp* r) { return zratmp_wrap(r); }
void zop_add(t_cctx*, t_zratmp* r, const t_zratmp* a, const t_zratmp* b)
{
    mpq_add(r->re, a->re, b->re);
    mpq_add(r->im, a->im, b->im);
}
void zop_sub(t_cctx*, t_zratmp* r, const t_zratmp* a, const t_zratmp* b)
{
    mpq_sub(r->re, a->re, b->re);
    mpq_sub(r->im, a->im, b->im);
}
void zop_mul(t_cctx*, t_zratmp* r, const t_zratmp* a, const t_zratmp* b)
{
    mpq_t re, im, t;
    mpq_init(re);
    mpq_init(im);
    mpq_init(t);
    mpq_mul(re, a->re, b->re);
    mpq_mul(t, a->im, b->im);
    mpq_sub(re, re, t);
    mpq_mul(im, a->re, b->im);
    mpq_mul(t, a->im, b->re);
    mpq_add(im, im, t);
    mpq_swap(r->re, re);
    mpq_swap(r->im, im);
    mpq_clear(re);
    mpq_clear(im);
    mpq_clear(t);
}
void zop_div(t_cctx* ctx, t_zratmp* r, const t_zratmp* a, const t_zratmp* b)
{
    t_zratmp c;
    mpq_t n2, t;
    mpq_init(c.re);
    mpq_init(c.im);
    mpq_init(n2);
    mpq_init(t);
    mpq_mul(n2, b->re, b->re);
    mpq_mul(t, b->im, b->im);
    mpq_add(n2, n2, t);
    mpq_div(c.re, b->re, n2);
    mpq_div(c.im, b->im, n2);
    mpq_neg(c.im, c.im);
    zop_mul(ctx, r, a, &c);
    mpq_clear(c.re);
    mpq_clear(c.im);
    mpq_clear(n2);
    mpq_clear(t);
}
constexpr auto zq_add = coefnum_boxed_binop<ZT, zop_add, zratmp_free, zr_alloc, zr_finish>;
constexpr auto zq_sub = coefnum_boxed_binop<ZT, zop_sub, zratmp_free, zr_alloc, zr_finish>;
constexpr auto zq_mul = coefnum_boxed_binop<ZT, zop_mul, zratmp_free, zr_alloc, zr_finish>;
coef zq_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<ZT, zop_div, zratmp_free, zr_alloc, zr_finish>(ctx, a, ka, b, kb, 0);
}
void zu_neg(t_cctx*, t_zratmp* r, const t_zratmp* a)
{
    mpq_neg(r->re, a->re);
    mpq_neg(r->im, a->im);
}
coef zq_neg(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<ZT, zu_neg, zr_alloc, zr_finish>(ctx, a, ka); }
coef zq_powui(t_cctx* ctx, coef* a, int ka, unsigned long n)
{
    t_zratmp* r = zratmp_new();
    mpq_set_ui(r->re, 1, 1);
    t_zratmp* x = zratmp_new();
    mpq_set(x->re, zqb(a)->re);
    mpq_set(x->im, zqb(a)->im);
    while (n) {
        if (n & 1) zop_mul(ctx, r, r, x);
        n >>= 1;
        if (n) zop_mul(ctx, x, x, x);
    }
    zratmp_free(x);
    coefnum_release(a, ka);
    return zratmp_wrap(r);
}
coef zq_copy(const coef* c)
{
    t_zratmp* z = zratmp_new();
    mpq_set(z->re, zqb(c)->re);
    mpq_set(z->im, zqb(c)->im);
    return coef_fromptr(z, BH_ZRATMP);
}
void zq_delete(coef* c)
{
    zratmp_free(zqb(c));
    c->type = BH_ZERO;
}
int zq_eq(const coef* a, const coef* b) { return mpq_equal(zqb(a)->re, zqb(b)->re) && mpq_equal(zqb(a)->im, zqb(b)->im); }
int zq_iszero(const coef* c) { return mpq_sgn(zqb(c)->re) == 0 && mpq_sgn(zqb(c)->im) == 0; }
long long zq_2ll(const coef* c) { return (long long)q_todbl(zqb(c)->re); }
double zq_2dbl(const coef* c) { return q_todbl(zqb(c)->re); }
complexe zq_2zdbl(const coef* c) { return complexe{q_todbl(zqb(c)->re), q_todbl(zqb(c)->im)}; }
char* zq_2str(const coef* c)
{
    return kst_strpair(kst_mpq_str(zqb(c)->re), kst_mpq_str(zqb(c)->im));
}
char* zq_2strfmt(const char*, const coef* c) { return zq_2str(c); }

__mpq_struct s_one, s_zero;
t_zratmp s_zone, s_zzero;

}  // namespace

void kst_coef_register_ratmp()
{
    mpq_init(&s_one);
    mpq_set_ui(&s_one, 1, 1);
    mpq_init(&s_zero);
    mpq_init(s_zone.re);
    mpq_set_ui(s_zone.re, 1, 1);
    mpq_init(s_zone.im);
    mpq_init(s_zzero.re);
    mpq_init(s_zzero.im);

    coefnum_install_common(BH_RATMP, "RATMP", 32);
    coefvtable& v = g_kst_coef_vtable[BH_RATMP];
    const coefvtable& i = g_kst_coef_vtable[BH_INTMP];
    v.int2coef = q_int;
    v.ll2coef = q_ll;
    v.zint2coef = i.zint2coef;
    v.dbl2coef = q_dbl;
    v.pi2coef = i.pi2coef;
    v.numden2coef = q_numden;
    v.numdencplx2coef = i.numdencplx2coef;
    v.strentierlong2coef = i.strentierlong2coef;
    v.strreal2coef = q_str;
    v.coef2ll = q_2ll;
    v.coef2dbl = q_2dbl;
    v.coef2zdbl = q_2zdbl;
    v.coef2str = q_2str;
    v.coef2strfmt = q_2strfmt;
    v.copycoef = q_copy;
    v.deletecoef = q_delete;
    coefnum_install_arith<q_add, q_sub, q_mul, q_div>(BH_RATMP);
    v.cmp_eq[BH_RATMP] = q_eq;
    v.cmp_lt[BH_RATMP] = q_lt;
    v.cmp_le[BH_RATMP] = q_le;
    v.cmp_gt[BH_RATMP] = q_gt;
    v.cmp_ge[BH_RATMP] = q_ge;
    v.neg = q_neg;
    v.power_ui = q_powui;
    coefnum_install_elemfuncs_viadbl(BH_RATMP);
    v.abs = q_abs;
    v.norm_inf = q_abs;
    v.sqrt = q_sqrt;
    v.arg = q_arg;
    v.pent = q_pent;
    v.nint = q_nint;
    v.getnumer = q_getnumer;
    v.getdenom = q_getdenom;
    v.iszero = q_iszero;
    v.isrational = q_isrational;
    v.aff = v.aff_tex = v.aff_ml = q_aff;
    v.saveF = q_saveF;
    coefnum_set_constants(BH_RATMP, &s_zero, &s_one, BH_RATMP, BH_ZRATMP);

    coefnum_install_common(BH_ZRATMP, "ZRATMP", 64);
    coefvtable& z = g_kst_coef_vtable[BH_ZRATMP];
    z.int2coef = q_int;
    z.ll2coef = q_ll;
    z.zint2coef = i.zint2coef;
    z.dbl2coef = q_dbl;
    z.pi2coef = i.pi2coef;
    z.numden2coef = q_numden;
    z.numdencplx2coef = i.numdencplx2coef;
    z.strentierlong2coef = i.strentierlong2coef;
    z.strreal2coef = q_str;
    z.coef2ll = zq_2ll;
    z.coef2dbl = zq_2dbl;
    z.coef2zdbl = zq_2zdbl;
    z.coef2str = zq_2str;
    z.coef2strfmt = zq_2strfmt;
    z.copycoef = zq_copy;
    z.deletecoef = zq_delete;
    coefnum_install_arith<zq_add, zq_sub, zq_mul, zq_div>(BH_ZRATMP);
    z.cmp_eq[BH_ZRATMP] = zq_eq;
    z.neg = zq_neg;
    z.power_ui = zq_powui;
    coefnum_install_elemfuncs_viadbl(BH_ZRATMP);
    z.iszero = zq_iszero;
    z.isrational = q_isrational;
    z.aff = z.aff_tex = z.aff_ml = coefaff_cplx_generic;
    coefnum_set_constants(BH_ZRATMP, &s_zzero, &s_zone, BH_RATMP, BH_ZRATMP);
}
