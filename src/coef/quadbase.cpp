// Quadruple precision (tag 9 "QUAD", a boxed __float128) and its complex form (tag 10 "ZQUAD"),
// with the quad text conversions.
#include "coef/coefnum_impl.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

using q128 = __float128;

int real16_sprintfmt(char* buf, size_t size, const char* fmt, __float128 v)
{
    return quadmath_snprintf(buf, size, fmt, v);
}

char* real16tostr(__float128 v)
{
    char buf[64];
    quadmath_snprintf(buf, sizeof buf, "%.36Qg", v);
    return strdup(buf);
}

namespace {

// ---------------------------------------------------------------- tag 9

q128* qb(const coef* c) { return coef_box<t_quadtype>(c); }
q128* q_alloc(t_cctx*) { return quad_new(0); }
void q_free(q128* v) { delete v; }
coef q_finish(q128* r)
{
    if (*r == 0) {
        delete r;
        return coef{};
    }
    return coef_fromptr(r, BH_QUAD);
}
coef mkq(q128 v) { return v == 0 ? coef{} : coef_fromptr(quad_new(v), BH_QUAD); }

void op_add(t_cctx*, q128* r, const q128* a, const q128* b) { *r = *a + *b; }
void op_sub(t_cctx*, q128* r, const q128* a, const q128* b) { *r = *a - *b; }
void op_mul(t_cctx*, q128* r, const q128* a, const q128* b) { *r = *a * *b; }
void op_div(t_cctx*, q128* r, const q128* a, const q128* b) { *r = *a / *b; }

using QT = t_quadtype;
constexpr auto q_add = coefnum_boxed_binop<QT, op_add, q_free, q_alloc, q_finish>;
constexpr auto q_sub = coefnum_boxed_binop<QT, op_sub, q_free, q_alloc, q_finish>;
constexpr auto q_mul = coefnum_boxed_binop<QT, op_mul, q_free, q_alloc, q_finish>;
coef q_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<QT, op_div, q_free, q_alloc, q_finish>(ctx, a, ka, b, kb, 0);
}

template <q128 (*F)(q128)>
void q_apply(t_cctx*, q128* r, const q128* a)
{
    *r = F(*a);
}
template <q128 (*F)(q128)>
coef q_fn(t_cctx* ctx, coef* a, int ka)
{
    return coefnum_boxed_unop<QT, q_apply<F>, q_alloc, q_finish>(ctx, a, ka);
}
q128 f_neg(q128 x) { return -x; }
q128 f_arg(q128 x) { return x < 0 ? M_PIq : 0; }
q128 f_nint(q128 x) { return nearbyintq(x); }
coef q_neg(t_cctx* ctx, coef* a, int ka) { return q_fn<f_neg>(ctx, a, ka); }

coef q_int(t_cctx*, int n) { return mkq(n); }
coef q_ll(t_cctx*, long long n) { return mkq(n); }
coef q_zint(t_cctx*, int re, int im)
{
    if (im == 0) return mkq(re);
    return coef_fromptr(zquad_new(re, im), BH_ZQUAD);
}
coef q_dbl(t_cctx*, double v) { return mkq(v); }
coef q_pi(t_cctx*) { return mkq(M_PIq); }
coef q_numden(t_cctx*, int n, int d) { return mkq((q128)n / (q128)d); }
coef q_numdencplx(t_cctx*, long long rn, long long rd, long long in, long long id)
{
    q128 re = (q128)rn / (q128)rd, im = (q128)in / (q128)id;
    if (im == 0) return mkq(re);
    return coef_fromptr(zquad_new(re, im), BH_ZQUAD);
}
coef q_str(t_cctx*, const char* s) { return mkq(strtoflt128(s, nullptr)); }
long long q_2ll(const coef* c) { return (long long)*qb(c); }
double q_2dbl(const coef* c) { return (double)*qb(c); }
complexe q_2zdbl(const coef* c) { return complexe{(double)*qb(c), 0.0}; }
char* q_2str(const coef* c) { return real16tostr(*qb(c)); }
char* q_2strfmt(const char*, const coef* c) { return real16tostr(*qb(c)); }
coef q_copy(const coef* c) { return coef_fromptr(quad_new(*qb(c)), BH_QUAD); }
void q_delete(coef* c)
{
    delete qb(c);
    c->type = BH_ZERO;
}
int q_eq(const coef* a, const coef* b) { return *qb(a) == *qb(b); }
int q_lt(const coef* a, const coef* b) { return *qb(a) < *qb(b); }
int q_le(const coef* a, const coef* b) { return *qb(a) <= *qb(b); }
int q_gt(const coef* a, const coef* b) { return *qb(a) > *qb(b); }
int q_ge(const coef* a, const coef* b) { return *qb(a) >= *qb(b); }
coef q_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    q128 r = powq(*qb(a), (q128)n);
    coefnum_release(a, ka);
    return mkq(r);
}
int q_iszero(const coef* c) { return *qb(c) == 0; }
int q_is1(const coef* c) { return *qb(c) == 1; }
int q_isneg1(const coef* c) { return *qb(c) == -1; }
int q_isentierlong(const coef* c) { return *qb(c) == floorq(*qb(c)) && fabsq(*qb(c)) < 9.2e18Q; }
coef q_clean(t_cctx*, coef* c, int keep, double eps)
{
    if (fabsq(*qb(c)) <= eps) {
        coefnum_release(c, keep);
        return coef{};
    }
    return coefnum_take(c, keep);
}

// `_affc` formats of a quad: the double formats widened to the quad's 34 digits where the
// double ones show all digits; the fraction test runs on the nearest double.
void aff_quad(t_render* r, q128 v, int affc)
{
    static const char* const fmts[10] = {nullptr,  "%QG",   "%.8QG",   "%.10QG",   "%42.34QG",
                                         "%.8QG",  "%.34QG", "%13.8QG", "%42.33QE", "%42.33QE"};
    long p, q;
    if (affc >= 5 && affc <= 7 && fractcont((double)v, &p, &q) &&
        fabsq((q128)p / (q128)q - v) <= 1e-12Q * fabsq(v)) {
        char a[32], b[32];
        snprintf(a, sizeof a, "%ld", p);
        snprintf(b, sizeof b, "%ld", q);
        coefaff_frac(r, a, b, affc == 7);
        return;
    }
    if (affc < 1 || affc > 9) {
        char dummy[8];
        sortie_fact_std(affc, dummy, sizeof dummy, 0.0);   // reports the invalid setting
        return;
    }
    char buf[96];
    quadmath_snprintf(buf, sizeof buf, fmts[affc], v);
    coefaff_text(r, buf);
}
void q_aff(t_cctx*, t_render* r, const coef* c, int affc) { aff_quad(r, *qb(c), affc); }
int q_save(const coef* c, FILE* f) { return fwrite(qb(c), sizeof(q128), 1, f) == 1; }
int q_load(t_cctx*, coef* c, FILE* f)
{
    q128 v;
    if (fread(&v, sizeof v, 1, f) != 1) {
        c->type = BH_ZERO;
        return 0;
    }
    c->p = quad_new(v);
    return 1;
}

// ---------------------------------------------------------------- tag 10

using cq = __complex128;
zquad* zb(const coef* c) { return coef_box<t_zquadtype>(c); }
inline cq cval(const zquad* z)
{
    cq r;
    __real__ r = z->re;
    __imag__ r = z->im;
    return r;
}
inline void cset(zquad* z, cq v)
{
    z->re = __real__ v;
    z->im = __imag__ v;
}
zquad* zq_alloc(t_cctx*) { return zquad_new(0, 0); }
void zq_free(zquad* z) { delete z; }
coef zq_finish(zquad* r)
{
    if (r->re == 0 && r->im == 0) {
        delete r;
        return coef{};
    }
    return coef_fromptr(r, BH_ZQUAD);
}
void zop_add(t_cctx*, zquad* r, const zquad* a, const zquad* b) { cset(r, cval(a) + cval(b)); }
void zop_sub(t_cctx*, zquad* r, const zquad* a, const zquad* b) { cset(r, cval(a) - cval(b)); }
void zop_mul(t_cctx*, zquad* r, const zquad* a, const zquad* b) { cset(r, cval(a) * cval(b)); }
void zop_div(t_cctx*, zquad* r, const zquad* a, const zquad* b) { cset(r, cval(a) / cval(b)); }
using ZT = t_zquadtype;
constexpr auto zq_add = coefnum_boxed_binop<ZT, zop_add, zq_free, zq_alloc, zq_finish>;
constexpr auto zq_sub = coefnum_boxed_binop<ZT, zop_sub, zq_free, zq_alloc, zq_finish>;
constexpr auto zq_mul = coefnum_boxed_binop<ZT, zop_mul, zq_free, zq_alloc, zq_finish>;
coef zq_div(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coefnum_boxed_binop<ZT, zop_div, zq_free, zq_alloc, zq_finish>(ctx, a, ka, b, kb, 0);
}
template <cq (*F)(cq)>
void zq_apply(t_cctx*, zquad* r, const zquad* a)
{
    cset(r, F(cval(a)));
}
template <cq (*F)(cq)>
coef zq_fn(t_cctx* ctx, coef* a, int ka)
{
    return coefnum_boxed_unop<ZT, zq_apply<F>, zq_alloc, zq_finish>(ctx, a, ka);
}
template <q128 (*F)(cq)>
coef zq_realfn(t_cctx*, coef* a, int ka)
{
    q128 v = F(cval(zb(a)));
    coefnum_release(a, ka);
    return mkq(v);
}
cq f_zneg(cq x) { return -x; }
q128 f_norminf(cq x) { return fmaxq(fabsq(__real__ x), fabsq(__imag__ x)); }
coef zq_neg(t_cctx* ctx, coef* a, int ka) { return zq_fn<f_zneg>(ctx, a, ka); }
coef zq_copy(const coef* c) { return coef_fromptr(zquad_new(zb(c)->re, zb(c)->im), BH_ZQUAD); }
void zq_delete(coef* c)
{
    delete zb(c);
    c->type = BH_ZERO;
}
coef zq_int(t_cctx* ctx, int n) { return q_int(ctx, n); }
long long zq_2ll(const coef* c) { return (long long)zb(c)->re; }
double zq_2dbl(const coef* c) { return (double)zb(c)->re; }
complexe zq_2zdbl(const coef* c) { return complexe{(double)zb(c)->re, (double)zb(c)->im}; }
char* zq_2str(const coef* c)
{
    char buf[128];
    quadmath_snprintf(buf, 64, "%.36Qg", zb(c)->re);
    size_t n = strlen(buf);
    buf[n++] = ' ';
    quadmath_snprintf(buf + n, 64, "%.36Qg", zb(c)->im);
    return strdup(buf);
}
char* zq_2strfmt(const char*, const coef* c) { return zq_2str(c); }
int zq_eq(const coef* a, const coef* b) { return zb(a)->re == zb(b)->re && zb(a)->im == zb(b)->im; }
coef zq_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    cq x = cval(zb(a)), r = 1;
    while (n) {
        if (n & 1) r *= x;
        x *= x;
        n >>= 1;
    }
    coefnum_release(a, ka);
    zquad* z = zquad_new(0, 0);
    cset(z, r);
    return zq_finish(z);
}
int zq_iszero(const coef* c) { return zb(c)->re == 0 && zb(c)->im == 0; }
int zq_save(const coef* c, FILE* f) { return fwrite(zb(c), sizeof(zquad), 1, f) == 1; }

const q128 s_one = 1, s_zero = 0;
const zquad s_zone{1, 0}, s_zzero{0, 0};

}  // namespace

void kst_coef_register_quadbase()
{
    coefnum_install_common(BH_QUAD, "QUAD", 16);
    coefvtable& v = g_kst_coef_vtable[BH_QUAD];
    v.int2coef = q_int;
    v.ll2coef = q_ll;
    v.zint2coef = q_zint;
    v.dbl2coef = q_dbl;
    v.pi2coef = q_pi;
    v.numden2coef = q_numden;
    v.numdencplx2coef = q_numdencplx;
    v.strentierlong2coef = q_str;
    v.strreal2coef = q_str;
    v.coef2ll = q_2ll;
    v.coef2dbl = q_2dbl;
    v.coef2zdbl = q_2zdbl;
    v.coef2str = q_2str;
    v.coef2strfmt = q_2strfmt;
    v.copycoef = q_copy;
    v.deletecoef = q_delete;
    coefnum_install_arith<q_add, q_sub, q_mul, q_div>(BH_QUAD);
    v.cmp_eq[BH_QUAD] = q_eq;
    v.cmp_lt[BH_QUAD] = q_lt;
    v.cmp_le[BH_QUAD] = q_le;
    v.cmp_gt[BH_QUAD] = q_gt;
    v.cmp_ge[BH_QUAD] = q_ge;
    v.neg = q_neg;
    v.power_ui = q_powui;
    t_coefnum_elemfuncs f{q_fn<cosq>,   q_fn<sinq>,   q_fn<tanq>,  q_fn<acosq>, q_fn<asinq>, q_fn<atanq>,
                          q_fn<coshq>,  q_fn<sinhq>,  q_fn<tanhq>, q_fn<acoshq>, q_fn<asinhq>, q_fn<atanhq>,
                          q_fn<expq>,   q_fn<logq>,   q_fn<log10q>, q_fn<f_arg>, q_fn<sqrtq>, q_fn<fabsq>};
    coefnum_install_elemfuncs(BH_QUAD, f);
    v.pent = q_fn<floorq>;
    v.nint = q_fn<f_nint>;
    v.norm_inf = q_fn<fabsq>;
    v.iszero = q_iszero;
    v.cmp_egal_1 = q_is1;
    v.cmp_egal_neg1 = q_isneg1;
    v.isentierlong = q_isentierlong;
    v.clean_eps = q_clean;
    v.aff = v.aff_tex = v.aff_ml = q_aff;
    v.save = q_save;
    v.load = q_load;
    coefnum_set_constants(BH_QUAD, &s_zero, &s_one, BH_QUAD, BH_ZQUAD);

    coefnum_install_common(BH_ZQUAD, "ZQUAD", 32);
    coefvtable& z = g_kst_coef_vtable[BH_ZQUAD];
    z.int2coef = zq_int;
    z.ll2coef = q_ll;
    z.zint2coef = q_zint;
    z.dbl2coef = q_dbl;
    z.pi2coef = q_pi;
    z.numden2coef = q_numden;
    z.numdencplx2coef = q_numdencplx;
    z.strentierlong2coef = q_str;
    z.strreal2coef = q_str;
    z.coef2ll = zq_2ll;
    z.coef2dbl = zq_2dbl;
    z.coef2zdbl = zq_2zdbl;
    z.coef2str = zq_2str;
    z.coef2strfmt = zq_2strfmt;
    z.copycoef = zq_copy;
    z.deletecoef = zq_delete;
    coefnum_install_arith<zq_add, zq_sub, zq_mul, zq_div>(BH_ZQUAD);
    z.cmp_eq[BH_ZQUAD] = zq_eq;
    z.neg = zq_neg;
    z.power_ui = zq_powui;
    t_coefnum_elemfuncs zf{zq_fn<ccosq>,   zq_fn<csinq>,   zq_fn<ctanq>,   zq_fn<cacosq>, zq_fn<casinq>,
                           zq_fn<catanq>,  zq_fn<ccoshq>,  zq_fn<csinhq>,  zq_fn<ctanhq>, zq_fn<cacoshq>,
                           zq_fn<casinhq>, zq_fn<catanhq>, zq_fn<cexpq>,   zq_fn<clogq>,  zq_fn<clog10q>,
                           zq_realfn<cargq>, zq_fn<csqrtq>, zq_realfn<cabsq>};
    coefnum_install_elemfuncs(BH_ZQUAD, zf);
    z.norm_inf = zq_realfn<f_norminf>;
    z.iszero = zq_iszero;
    z.aff = z.aff_tex = z.aff_ml = coefaff_cplx_generic;
    z.save = zq_save;
    coefnum_set_constants(BH_ZQUAD, &s_zzero, &s_zone, BH_QUAD, BH_ZQUAD);
}
