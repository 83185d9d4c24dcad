// GMP integers (tag 22 "INTMP") and complex GMP integers (tag 23 "ZINTMP"). Exact: zero is always
// tag 0, and the quotient of two integers is the exact rational (an INTMP when it divides).
#include "coef/coefnum_impl.h"
#include "interp/error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using IT = t_intmptype;
using ZT = t_zintmptype;
__mpz_struct* zb(const coef* c) { return coef_box<IT>(c); }
t_zintmp* zzb(const coef* c) { return coef_box<ZT>(c); }

double z_todbl(mpz_srcptr z)
{
    mpfr_t f;
    mpfr_init2(f, 53);
    mpfr_set_z(f, z, MPFR_RNDN);
    double d = mpfr_get_d(f, MPFR_RNDN);
    mpfr_clear(f);
    return d;
}

// ---------------------------------------------------------------- tag 22

__mpz_struct* i_alloc(t_cctx*) { return intmp_new(); }
coef i_finish(__mpz_struct* r) { return intmp_wrap(r); }
void op_add(t_cctx*, __mpz_struct* r, const __mpz_struct* a, const __mpz_struct* b) { mpz_add(r, a, b); }
void op_sub(t_cctx*, __mpz_struct* r, const __mpz_struct* a, const __mpz_struct* b) { mpz_sub(r, a, b); }
void op_mul(t_cctx*, __mpz_struct* r, const __mpz_struct* a, const __mpz_struct* b) { mpz_mul(r, a, b); }
void op_gcd(t_cctx*, __mpz_struct* r, const __mpz_struct* a, const __mpz_struct* b) { mpz_gcd(r, a, b); }
constexpr auto i_add = coefnum_boxed_binop<IT, op_add, intmp_free, i_alloc, i_finish>;
constexpr auto i_sub = coefnum_boxed_binop<IT, op_sub, intmp_free, i_alloc, i_finish>;
constexpr auto i_mul = coefnum_boxed_binop<IT, op_mul, intmp_free, i_alloc, i_finish>;
coef i_gcd(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<IT, op_gcd, intmp_free, i_alloc, i_finish>(ctx, a, ka, b, kb, 0);
}
coef i_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    __mpq_struct* q = ratmp_new();
    mpz_set(mpq_numref(q), zb(a));
    mpz_set(mpq_denref(q), zb(b));
    mpq_canonicalize(q);
    coefnum_release(a, ka);
    coefnum_release(b, kb);
    return ratmp_wrap(q);
}

void u_neg(t_cctx*, __mpz_struct* r, const __mpz_struct* a) { mpz_neg(r, a); }
void u_abs(t_cctx*, __mpz_struct* r, const __mpz_struct* a) { mpz_abs(r, a); }
coef i_neg(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<IT, u_neg, i_alloc, i_finish>(ctx, a, ka); }
coef i_abs(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<IT, u_abs, i_alloc, i_finish>(ctx, a, ka); }
coef i_self(t_cctx*, coef* a, int ka) { return coefnum_take(a, ka); }
coef i_one(t_cctx*, coef* a, int ka)
{
    coefnum_release(a, ka);
    __mpz_struct* z = intmp_new();
    mpz_set_ui(z, 1);
    return intmp_wrap(z);
}
coef i_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    __mpz_struct* r = ka ? intmp_new() : zb(a);
    mpz_pow_ui(r, zb(a), n);
    if (!ka) a->type = BH_ZERO;
    return intmp_wrap(r);
}
coef i_sqrt(t_cctx*, coef* a, int ka)
{
    coef r;
    if (mpz_sgn(zb(a)) >= 0 && mpz_perfect_square_p(zb(a))) {
        __mpz_struct* s = intmp_new();
        mpz_sqrt(s, zb(a));
        r = intmp_wrap(s);
    } else {
        r = coefnum_fromdbl(std::sqrt(z_todbl(zb(a))));
    }
    coefnum_release(a, ka);
    return r;
}

coef mkint(long v)
{
    __mpz_struct* z = intmp_new();
    mpz_set_si(z, v);
    return intmp_wrap(z);
}
coef i_int(t_cctx*, int n) { return mkint(n); }
coef i_ll(t_cctx*, long long n) { return mkint(n); }
coef i_zint(t_cctx*, int re, int im)
{
    if (im == 0) return mkint(re);
    t_zintmp* z = zintmp_new();
    mpz_set_si(z->re, re);
    mpz_set_si(z->im, im);
    return zintmp_wrap(z);
}
coef i_dbl(t_cctx*, double v) { return v == 0.0 ? coef{} : coef_fromdbl(v); }   // reals stay doubles
coef i_pi(t_cctx*) { return coef_fromdbl(M_PI); }
coef i_numden(t_cctx*, int n, int d)
{
    __mpq_struct* q = ratmp_new();
    mpq_set_si(q, n, 1);
    mpz_set_si(mpq_denref(q), d);
    mpq_canonicalize(q);
    return ratmp_wrap(q);
}
coef i_numdencplx(t_cctx*, long long rn, long long rd, long long in, long long id)
{
    t_zratmp* q = zratmp_new();
    mpz_set_si(mpq_numref(q->re), rn);
    mpz_set_si(mpq_denref(q->re), rd);
    mpq_canonicalize(q->re);
    mpz_set_si(mpq_numref(q->im), in);
    mpz_set_si(mpq_denref(q->im), id);
    mpq_canonicalize(q->im);
    if (mpq_sgn(q->im) == 0) {
        __mpq_struct* r = ratmp_new();
        mpq_swap(r, q->re);
        zratmp_free(q);
        return ratmp_wrap(r);
    }
    return zratmp_wrap(q);
}
coef i_strentier(t_cctx*, const char* s)
{
    __mpz_struct* z = intmp_new();
    if (*s == '+') s++;
    if (mpz_set_str(z, s, 10) != 0) mpz_set_ui(z, 0);
    return intmp_wrap(z);
}
coef i_strreal(t_cctx*, const char* s) { return i_dbl(nullptr, strtod(s, nullptr)); }
long long i_2ll(const coef* c) { return mpz_get_si(zb(c)); }
double i_2dbl(const coef* c) { return z_todbl(zb(c)); }
complexe i_2zdbl(const coef* c) { return complexe{z_todbl(zb(c)), 0.0}; }
char* i_2str(const coef* c) { return kst_mpz_str(zb(c)); }
char* i_2strfmt(const char* fmt, const coef* c)
{
    char buf[128];
    snprintf(buf, sizeof buf, fmt, z_todbl(zb(c)));
    return strdup(buf);
}
coef i_copy(const coef* c)
{
    __mpz_struct* z = intmp_new();
    mpz_set(z, zb(c));
    return coef_fromptr(z, BH_INTMP);
}
void i_delete(coef* c)
{
    intmp_free(zb(c));
    c->type = BH_ZERO;
}
int i_eq(const coef* a, const coef* b) { return mpz_cmp(zb(a), zb(b)) == 0; }
int i_lt(const coef* a, const coef* b) { return mpz_cmp(zb(a), zb(b)) < 0; }
int i_le(const coef* a, const coef* b) { return mpz_cmp(zb(a), zb(b)) <= 0; }
int i_gt(const coef* a, const coef* b) { return mpz_cmp(zb(a), zb(b)) > 0; }
int i_ge(const coef* a, const coef* b) { return mpz_cmp(zb(a), zb(b)) >= 0; }
int i_isentierlong(const coef* c) { return mpz_fits_slong_p(zb(c)); }
int i_iszero(const coef* c) { return mpz_sgn(zb(c)) == 0; }
int i_is1(const coef* c) { return mpz_cmp_si(zb(c), 1) == 0; }
int i_isneg1(const coef* c) { return mpz_cmp_si(zb(c), -1) == 0; }
int i_isrational(const coef*) { return 1; }
coef i_arg(t_cctx*, coef* a, int ka)
{
    bool neg = mpz_sgn(zb(a)) < 0;
    coefnum_release(a, ka);
    return neg ? coef_fromdbl(M_PI) : coef{};
}
void i_aff(t_cctx*, t_render* r, const coef* c, int)
{
    char* s = kst_mpz_str(zb(c));
    coefaff_text(r, s);
    free(s);
}
int i_saveF(const coef* c, FILE* f) { return gmp_fprintf(f, "    %Zd\n", zb(c)) > 0; }

// ---------------------------------------------------------------- tag 23

t_zintmp* zi_alloc(t_cctx*) { return zintmp_new(); }
coef zi_finish(t_zintmp* r) { return zintmp_wrap(r); }
void zop_add(t_cctx*, t_zintmp* r, const t_zintmp* a, const t_zintmp* b)
{
    mpz_add(r->re, a->re, b->re);
    mpz_add(r->im, a->im, b->im);
}
void zop_sub(t_cctx*, t_zintmp* r, const t_zintmp* a, const t_zintmp* b)
{
    mpz_sub(r->re, a->re, b->re);
    mpz_sub(r->im, a->im, b->im);
}
// r may alias a or b: the parts are formed in temporaries first.
void zop_mul(t_cctx*, t_zintmp* r, const t_zintmp* a, const t_zintmp* b)
{
    mpz_t re, t;
    mpz_init(re);
    mpz_init(t);
    mpz_mul(re, a->re, b->re);
    mpz_mul(t, a->im, b->im);
    mpz_sub(re, re, t);
    mpz_mul(t, a->re, b->im);
    mpz_addmul(t, a->im, b->re);
    mpz_swap(r->re, re);
    mpz_swap(r->im, t);
    mpz_clear(re);
    mpz_clear(t);
}
constexpr auto zi_add = coefnum_boxed_binop<ZT, zop_add, zintmp_free, zi_alloc, zi_finish>;
constexpr auto zi_sub = coefnum_boxed_binop<ZT, zop_sub, zintmp_free, zi_alloc, zi_finish>;
constexpr auto zi_mul = coefnum_boxed_binop<ZT, zop_mul, zintmp_free, zi_alloc, zi_finish>;
// a / b = a * conj(b) / |b|^2, exact.
coef zi_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    const t_zintmp *x = zzb(a), *y = zzb(b);
    t_zratmp* q = zratmp_new();
    mpz_t n2;
    mpz_init(n2);
    mpz_mul(n2, y->re, y->re);
    mpz_addmul(n2, y->im, y->im);
    mpz_mul(mpq_numref(q->re), x->re, y->re);
    mpz_addmul(mpq_numref(q->re), x->im, y->im);
    mpz_mul(mpq_numref(q->im), x->im, y->re);
    mpz_submul(mpq_numref(q->im), x->re, y->im);
    mpz_set(mpq_denref(q->re), n2);
    mpz_set(mpq_denref(q->im), n2);
    mpq_canonicalize(q->re);
    mpq_canonicalize(q->im);
    mpz_clear(n2);
    coefnum_release(a, ka);
    coefnum_release(b, kb);
    return zratmp_wrap(q);
}
void zu_neg(t_cctx*, t_zintmp* r, const t_zintmp* a)
{
    mpz_neg(r->re, a->re);
    mpz_neg(r->im, a->im);
}
coef zi_neg(t_cctx* ctx, coef* a, int ka) { return coefnum_boxed_unop<ZT, zu_neg, zi_alloc, zi_finish>(ctx, a, ka); }
coef zi_powui(t_cctx* ctx, coef* a, int ka, unsigned long n)
{
    t_zintmp* r = zintmp_new();
    mpz_set_ui(r->re, 1);
    t_zintmp* x = zintmp_new();
    mpz_set(x->re, zzb(a)->re);
    mpz_set(x->im, zzb(a)->im);
    while (n) {
        if (n & 1) zop_mul(ctx, r, r, x);
        n >>= 1;
        if (n) zop_mul(ctx, x, x, x);
    }
    zintmp_free(x);
    coefnum_release(a, ka);
    return zintmp_wrap(r);
}
coef zi_copy(const coef* c)
{
    t_zintmp* z = zintmp_new();
    mpz_set(z->re, zzb(c)->re);
    mpz_set(z->im, zzb(c)->im);
    return coef_fromptr(z, BH_ZINTMP);
}
void zi_delete(coef* c)
{
    zintmp_free(zzb(c));
    c->type = BH_ZERO;
}
int zi_eq(const coef* a, const coef* b)
{
    return mpz_cmp(zzb(a)->re, zzb(b)->re) == 0 && mpz_cmp(zzb(a)->im, zzb(b)->im) == 0;
}
int zi_iszero(const coef* c) { return mpz_sgn(zzb(c)->re) == 0 && mpz_sgn(zzb(c)->im) == 0; }
long long zi_2ll(const coef* c) { return mpz_get_si(zzb(c)->re); }
double zi_2dbl(const coef* c) { return z_todbl(zzb(c)->re); }
complexe zi_2zdbl(const coef* c) { return complexe{z_todbl(zzb(c)->re), z_todbl(zzb(c)->im)}; }
char* zi_2str(const coef* c)
{
    return kst_strpair(kst_mpz_str(zzb(c)->re), kst_mpz_str(zzb(c)->im));
}
char* zi_2strfmt(const char*, const coef* c) { return zi_2str(c); }

__mpz_struct s_one, s_zero;
t_zintmp s_zone, s_zzero;

}  // namespace

void kst_coef_register_intmp()
{
    mpz_init_set_ui(&s_one, 1);
    mpz_init(&s_zero);
    mpz_init_set_ui(s_zone.re, 1);
    mpz_init(s_zone.im);
    mpz_init(s_zzero.re);
    mpz_init(s_zzero.im);
    coefnum_install_common(BH_INTMP, "INTMP", 16);
    coefvtable& v = g_kst_coef_vtable[BH_INTMP];
    v.int2coef = i_int;
    v.ll2coef = i_ll;
    v.zint2coef = i_zint;
    v.dbl2coef = i_dbl;
    v.pi2coef = i_pi;
    v.numden2coef = i_numden;
    v.numdencplx2coef = i_numdencplx;
    v.strentierlong2coef = i_strentier;
    v.strreal2coef = i_strreal;
    v.coef2ll = i_2ll;
    v.coef2dbl = i_2dbl;
    v.coef2zdbl = i_2zdbl;
    v.coef2str = i_2str;
    v.coef2strfmt = i_2strfmt;
    v.copycoef = i_copy;
    v.deletecoef = i_delete;
    coefnum_install_arith<i_add, i_sub, i_mul, i_div>(BH_INTMP);
    v.gcd[BH_INTMP] = i_gcd;
    v.cmp_eq[BH_INTMP] = i_eq;
    v.cmp_lt[BH_INTMP] = i_lt;
    v.cmp_le[BH_INTMP] = i_le;
    v.cmp_gt[BH_INTMP] = i_gt;
    v.cmp_ge[BH_INTMP] = i_ge;
    v.neg = i_neg;
    v.power_ui = i_powui;
    coefnum_install_elemfuncs_viadbl(BH_INTMP);
    v.abs = i_abs;
    v.norm_inf = i_abs;
    v.sqrt = i_sqrt;
    v.arg = i_arg;
    v.pent = i_self;
    v.nint = i_self;
    v.getnumer = i_self;
    v.getdenom = i_one;
    v.isentierlong = i_isentierlong;
    v.iszero = i_iszero;
    v.cmp_egal_1 = i_is1;
    v.cmp_egal_neg1 = i_isneg1;
    v.isrational = i_isrational;
    v.aff = v.aff_tex = v.aff_ml = i_aff;
    v.saveF = i_saveF;
    coefnum_set_constants(BH_INTMP, &s_zero, &s_one, BH_INTMP, BH_ZINTMP);

    coefnum_install_common(BH_ZINTMP, "ZINTMP", 32);
    coefvtable& z = g_kst_coef_vtable[BH_ZINTMP];
    z.int2coef = i_int;
    z.ll2coef = i_ll;
    z.zint2coef = i_zint;
    z.dbl2coef = i_dbl;
    z.pi2coef = i_pi;
    z.numden2coef = i_numden;
    z.numdencplx2coef = i_numdencplx;
    z.strentierlong2coef = i_strentier;
    z.strreal2coef = i_strreal;
    z.coef2ll = zi_2ll;
    z.coef2dbl = zi_2dbl;
    z.coef2zdbl = zi_2zdbl;
    z.coef2str = zi_2str;
    z.coef2strfmt = zi_2strfmt;
    z.copycoef = zi_copy;
    z.deletecoef = zi_delete;
    coefnum_install_arith<zi_add, zi_sub, zi_mul, zi_div>(BH_ZINTMP);
    z.cmp_eq[BH_ZINTMP] = zi_eq;
    z.neg = zi_neg;
    z.power_ui = zi_powui;
    coefnum_install_elemfuncs_viadbl(BH_ZINTMP);
    z.iszero = zi_iszero;
    z.isrational = i_isrational;
    z.aff = z.aff_tex = z.aff_ml = coefaff_cplx_generic;
    coefnum_set_constants(BH_ZINTMP, &s_zzero, &s_zone, BH_INTMP, BH_ZINTMP);
}
