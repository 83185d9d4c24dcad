// The 64-bit rational (tag 7, inline) and the complex 64-bit rational (tag 8, boxed `zrat`).
// Results that leave the signed 64-bit range are computed in double precision and returned as a
// double (complex double): the `ratovf` rule.
#include "coef/coefnum_impl.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

namespace {

// ---------------------------------------------------------------- ratovf kernels

inline ratovf ovf(double v)
{
    ratovf r;
    memcpy(&r.num, &v, sizeof v);
    r.den = -1;
    return r;
}
inline double asdbl(const rationnel& r) { return (double)r.num / (double)r.den; }

inline int64_t gcd64(int64_t a, int64_t b)
{
    uint64_t x = a < 0 ? 0 - (uint64_t)a : (uint64_t)a;
    uint64_t y = b < 0 ? 0 - (uint64_t)b : (uint64_t)b;
    uint64_t g = std::gcd(x, y);
    return (int64_t)g;   // g <= 2^63 only when both are INT64_MIN, which never reaches here reduced
}

// Reduces n/d (d != 0) to a positive denominator; false when that negation overflows.
bool reduce(int64_t n, int64_t d, ratovf& out)
{
    int64_t g = gcd64(n, d);
    if (g > 1) {
        n /= g;
        d /= g;
    }
    if (d < 0) {
        if (__builtin_sub_overflow((int64_t)0, n, &n) || __builtin_sub_overflow((int64_t)0, d, &d)) return false;
    }
    out = rationnel{n, d};
    return true;
}

ratovf rat_add(const rationnel& a, const rationnel& b, bool sub)
{
    int64_t g = gcd64(a.den, b.den);
    int64_t sa = b.den / g, sb = a.den / g;
    int64_t t1, t2, n, d;
    int64_t bn = b.num;
    if (sub && __builtin_sub_overflow((int64_t)0, bn, &bn)) return ovf(asdbl(a) - asdbl(b));
    if (__builtin_mul_overflow(a.num, sa, &t1) || __builtin_mul_overflow(bn, sb, &t2) ||
        __builtin_add_overflow(t1, t2, &n) || __builtin_mul_overflow(a.den, sa, &d))
        return ovf(sub ? asdbl(a) - asdbl(b) : asdbl(a) + asdbl(b));
    ratovf r;
    if (n == 0) return rationnel{0, 1};
    if (!reduce(n, d, r)) return ovf((double)n / (double)d);
    return r;
}

ratovf rat_mul(const rationnel& a, const rationnel& b)
{
    int64_t g1 = gcd64(a.num, b.den), g2 = gcd64(b.num, a.den);
    int64_t an = a.num / g1, bd = b.den / g1, bn = b.num / g2, ad = a.den / g2;
    int64_t n, d;
    if (__builtin_mul_overflow(an, bn, &n) || __builtin_mul_overflow(ad, bd, &d))
        return ovf(((double)an * (double)bn) / ((double)ad * (double)bd));
    return rationnel{n, d};
}

// (p/q) / (r/s) = (p*s) / (q*r) after cancelling gcd(p, r) and gcd(q, s).
ratovf rat_div(const rationnel& a, const rationnel& b)
{
    int64_t g1 = gcd64(a.num, b.num), g2 = gcd64(a.den, b.den);
    int64_t p = a.num / g1, r = b.num / g1, q = a.den / g2, s = b.den / g2;
    int64_t n, d;
    if (__builtin_mul_overflow(p, s, &n) || __builtin_mul_overflow(q, r, &d))
        return ovf(((double)p * (double)s) / ((double)q * (double)r));
    ratovf out;
    if (!reduce(n, d, out)) return ovf((double)n / (double)d);
    return out;
}

coef wrap(const ratovf& r)
{
    if (r.den == -1) {
        double d;
        memcpy(&d, &r.num, sizeof d);
        return coefnum_fromdbl(d);   // the difference of two huge values may round to 0
    }
    if (r.num == 0) return coef{};
    coef c{};
    c.r = r;
    c.type = BH_RAT;
    return c;
}

int rat_cmp(const rationnel& a, const rationnel& b)
{
    __int128 l = (__int128)a.num * b.den, r = (__int128)b.num * a.den;
    return l < r ? -1 : (l > r ? 1 : 0);
}

inline void consume(coef* a, int ka, coef* b, int kb)
{
    if (!ka) a->type = BH_ZERO;
    if (!kb) b->type = BH_ZERO;
}

// ---------------------------------------------------------------- tag 7

coef r_int(t_cctx*, int n) { return ratovf_make(n, 1); }
coef r_ll(t_cctx*, long long n) { return ratovf_make(n, 1); }
coef r_zint(t_cctx*, int re, int im)
{
    if (im == 0) return ratovf_make(re, 1);
    return coef_fromptr(new zrat{{re, 1}, {im, 1}}, BH_ZRAT);
}
coef r_dbl(t_cctx*, double v) { return v == 0.0 ? coef{} : coef_fromdbl(v); }   // reals stay doubles
coef r_pi(t_cctx*) { return coef_fromdbl(M_PI); }
coef r_numden(t_cctx*, int n, int d) { return ratovf_make(n, d); }
coef r_numdencplx(t_cctx*, long long rn, long long rd, long long in, long long id)
{
    mpq_t a, b;
    mpq_init(a);
    mpq_init(b);
    mpq_set_si(a, rn, 1);
    mpz_set_si(mpq_denref(a), rd);
    mpq_canonicalize(a);
    mpq_set_si(b, in, 1);
    mpz_set_si(mpq_denref(b), id);
    mpq_canonicalize(b);
    coef c = mpq_sgn(b) == 0 ? ratovf_fromq(a) : zratovf_fromq(a, b);
    mpq_clear(a);
    mpq_clear(b);
    return c;
}
// A real literal (or an integer too long for 64 bits) is a double in this mode.
coef r_strreal(t_cctx*, const char* s)
{
    double v = strtod(s, nullptr);
    return v == 0.0 ? coef{} : coef_fromdbl(v);
}
// An integer literal that fits 64 bits stays exact; a longer one is read as a real literal.
coef r_strentier(t_cctx* ctx, const char* s)
{
    errno = 0;
    char* end = nullptr;
    long long n = strtoll(s, &end, 10);
    if (errno == 0 && end != s && *end == '\0') return ratovf_make(n, 1);
    return r_strreal(ctx, s);
}
long long r_2ll(const coef* c) { return c->r.num / c->r.den; }
double r_2dbl(const coef* c) { return asdbl(c->r); }
complexe r_2zdbl(const coef* c) { return complexe{asdbl(c->r), 0.0}; }
char* r_2str(const coef* c)
{
    char buf[64];
    if (c->r.den == 1) snprintf(buf, sizeof buf, "%lli", (long long)c->r.num);
    else snprintf(buf, sizeof buf, "%lli/%lli", (long long)c->r.num, (long long)c->r.den);
    return strdup(buf);
}
char* r_2strfmt(const char* fmt, const coef* c)
{
    char buf[128];
    snprintf(buf, sizeof buf, fmt, asdbl(c->r));
    return strdup(buf);
}
coef r_copy(const coef* c) { return *c; }
void r_delete(coef* c) { c->type = BH_ZERO; }

coef r_add(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    ratovf r = rat_add(a->r, b->r, false);
    consume(a, ka, b, kb);
    return wrap(r);
}
coef r_sub(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    ratovf r = rat_add(a->r, b->r, true);
    consume(a, ka, b, kb);
    return wrap(r);
}
coef r_mul(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    ratovf r = rat_mul(a->r, b->r);
    consume(a, ka, b, kb);
    return wrap(r);
}
coef r_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    ratovf r = rat_div(a->r, b->r);
    consume(a, ka, b, kb);
    return wrap(r);
}
int r_eq(const coef* a, const coef* b) { return a->r.num == b->r.num && a->r.den == b->r.den; }
int r_lt(const coef* a, const coef* b) { return rat_cmp(a->r, b->r) < 0; }
int r_le(const coef* a, const coef* b) { return rat_cmp(a->r, b->r) <= 0; }
int r_gt(const coef* a, const coef* b) { return rat_cmp(a->r, b->r) > 0; }
int r_ge(const coef* a, const coef* b) { return rat_cmp(a->r, b->r) >= 0; }

coef r_neg(t_cctx*, coef* a, int ka)
{
    rationnel v = a->r;
    if (!ka) a->type = BH_ZERO;
    if (v.num == INT64_MIN) return coef_fromdbl(-(double)v.num / (double)v.den);
    return wrap(rationnel{-v.num, v.den});
}
coef r_abs(t_cctx* ctx, coef* a, int ka)
{
    if (a->r.num < 0) return r_neg(ctx, a, ka);
    return coefnum_take(a, ka);
}
// rat_pow_int: repeated squaring, falling back to the double power on overflow.
coef r_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    rationnel base = a->r;
    if (!ka) a->type = BH_ZERO;
    ratovf r{1, 1};
    unsigned long e = n;
    ratovf x = base;
    while (e) {
        if (e & 1) {
            r = rat_mul(r, x);
            if (r.den == -1) return coefnum_fromdbl(std::pow(asdbl(base), (double)n));
        }
        e >>= 1;
        if (e) {
            x = rat_mul(x, x);
            if (x.den == -1) return coefnum_fromdbl(std::pow(asdbl(base), (double)n));
        }
    }
    return wrap(r);
}
// Floor and nearest integer of p/q, as 64-bit rationals n/1.
coef r_pent(t_cctx*, coef* a, int ka)
{
    rationnel v = a->r;
    if (!ka) a->type = BH_ZERO;
    int64_t q = v.num / v.den;
    if (v.num % v.den != 0 && v.num < 0) q--;
    return ratovf_make(q, 1);
}
coef r_nint(t_cctx*, coef* a, int ka)
{
    rationnel v = a->r;
    if (!ka) a->type = BH_ZERO;
    __int128 twice = (__int128)2 * v.num + v.den;   // floor((2p + q) / 2q) = nearest, halves up
    __int128 d = (__int128)2 * v.den;
    __int128 q = twice / d;
    if (twice % d != 0 && twice < 0) q--;
    return ratovf_make((int64_t)q, 1);
}
coef r_sqrt(t_cctx*, coef* a, int ka)
{
    rationnel v = a->r;
    if (!ka) a->type = BH_ZERO;
    if (v.num > 0) {
        int64_t sn = (int64_t)std::llround(std::sqrt((double)v.num));
        int64_t sd = (int64_t)std::llround(std::sqrt((double)v.den));
        if ((__int128)sn * sn == v.num && (__int128)sd * sd == v.den) return ratovf_make(sn, sd);
    }
    return coefnum_fromdbl(std::sqrt(asdbl(v)));
}
coef r_arg(t_cctx*, coef* a, int ka)
{
    bool neg = a->r.num < 0;
    if (!ka) a->type = BH_ZERO;
    return neg ? coef_fromdbl(M_PI) : coef{};
}
coef r_getnumer(t_cctx*, coef* a, int ka)
{
    int64_t n = a->r.num;
    if (!ka) a->type = BH_ZERO;
    return ratovf_make(n, 1);
}
coef r_getdenom(t_cctx*, coef* a, int ka)
{
    int64_t d = a->r.den;
    if (!ka) a->type = BH_ZERO;
    return ratovf_make(d, 1);
}
int r_isentierlong(const coef* c) { return c->r.den == 1; }
int r_iszero(const coef* c) { return c->r.num == 0; }
int r_is1(const coef* c) { return c->r.num == 1 && c->r.den == 1; }
int r_isneg1(const coef* c) { return c->r.num == -1 && c->r.den == 1; }
int r_isrational(const coef*) { return 1; }

void aff_rational(t_render* r, const rationnel& v, int affc)
{
    char a[32], b[32];
    snprintf(a, sizeof a, "%lli", (long long)v.num);
    if (v.den == 1) return coefaff_text(r, a);
    snprintf(b, sizeof b, "%lli", (long long)v.den);
    coefaff_frac(r, a, b, affc == 7);
}
void r_aff(t_cctx*, t_render* r, const coef* c, int affc) { aff_rational(r, c->r, affc); }
int r_saveF(const coef* c, FILE* f)
{
    return fprintf(f, "    %20lli %20lli\n", (long long)c->r.num, (long long)c->r.den) > 0;
}
int r_loadF(t_cctx*, coef* c, FILE* f)
{
    long long n, d;
    if (fscanf(f, "%lli %lli\n", &n, &d) != 2 || d == 0) return 0;
    *c = ratovf_make(n, d);
    return 1;
}
int r_save(const coef*, FILE*) { return 1; }
int r_load(t_cctx*, coef*, FILE*) { return 1; }

// ---------------------------------------------------------------- tag 8

zrat* zbox(const coef* c) { return coef_box<t_zratovftype>(c); }

void q_of(mpq_ptr q, const rationnel& r)
{
    mpz_set_si(mpq_numref(q), r.num);
    mpz_set_si(mpq_denref(q), r.den);
}

// Exact complex result (re, im): stored in a handed-over operand's box when it still fits.
coef zr_result(coef* a, int ka, coef* b, int kb, mpq_srcptr re, mpq_srcptr im)
{
    coef r = zratovf_fromq(re, im);
    if (r.type == BH_ZRAT) {
        coef* donor = !ka && a->type == BH_ZRAT ? a : (!kb && b && b->type == BH_ZRAT ? b : nullptr);
        if (donor) {
            *zbox(donor) = *zbox(&r);
            delete zbox(&r);
            r.p = donor->p;
            donor->type = BH_ZERO;
        }
    }
    coefnum_release(a, ka);
    if (b && b != a) coefnum_release(b, kb);
    return r;
}

struct zq {
    mpq_t re, im;
    zq()
    {
        mpq_init(re);
        mpq_init(im);
    }
    explicit zq(const coef* c) : zq()
    {
        q_of(re, zbox(c)->re);
        q_of(im, zbox(c)->im);
    }
    ~zq()
    {
        mpq_clear(re);
        mpq_clear(im);
    }
};

coef zr_add(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    zq x(a), y(b), r;
    mpq_add(r.re, x.re, y.re);
    mpq_add(r.im, x.im, y.im);
    return zr_result(a, ka, b, kb, r.re, r.im);
}
coef zr_sub(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    zq x(a), y(b), r;
    mpq_sub(r.re, x.re, y.re);
    mpq_sub(r.im, x.im, y.im);
    return zr_result(a, ka, b, kb, r.re, r.im);
}
void zmul(zq& r, const zq& x, const zq& y)
{
    mpq_t t;
    mpq_init(t);
    mpq_mul(r.re, x.re, y.re);
    mpq_mul(t, x.im, y.im);
    mpq_sub(r.re, r.re, t);
    mpq_mul(r.im, x.re, y.im);
    mpq_mul(t, x.im, y.re);
    mpq_add(r.im, r.im, t);
    mpq_clear(t);
}
coef zr_mul(t_cctx*, coef* a, int ka, coef* b, int kb, int)
{
    zq x(a), y(b), r;
    zmul(r, x, y);
    return zr_result(a, ka, b, kb, r.re, r.im);
}
coef zr_div(t_cctx*, coef* a, int ka, coef* b, int kb)
{
    zq x(a), y(b), r, conj;
    mpq_t n2, t;
    mpq_init(n2);
    mpq_init(t);
    mpq_mul(n2, y.re, y.re);
    mpq_mul(t, y.im, y.im);
    mpq_add(n2, n2, t);
    mpq_set(conj.re, y.re);
    mpq_neg(conj.im, y.im);
    zmul(r, x, conj);
    mpq_div(r.re, r.re, n2);
    mpq_div(r.im, r.im, n2);
    mpq_clear(n2);
    mpq_clear(t);
    return zr_result(a, ka, b, kb, r.re, r.im);
}
coef zr_neg(t_cctx*, coef* a, int ka)
{
    zq x(a);
    mpq_neg(x.re, x.re);
    mpq_neg(x.im, x.im);
    return zr_result(a, ka, nullptr, 1, x.re, x.im);
}
coef zr_powui(t_cctx*, coef* a, int ka, unsigned long n)
{
    zq x(a), r;
    mpq_set_ui(r.re, 1, 1);
    while (n) {
        if (n & 1) {
            zq t;
            zmul(t, r, x);
            mpq_swap(r.re, t.re);
            mpq_swap(r.im, t.im);
        }
        n >>= 1;
        if (n) {
            zq t;
            zmul(t, x, x);
            mpq_swap(x.re, t.re);
            mpq_swap(x.im, t.im);
        }
    }
    return zr_result(a, ka, nullptr, 1, r.re, r.im);
}
int zr_eq(const coef* a, const coef* b)
{
    const zrat *x = zbox(a), *y = zbox(b);
    return x->re.num == y->re.num && x->re.den == y->re.den && x->im.num == y->im.num && x->im.den == y->im.den;
}
coef zr_copy(const coef* c) { return coef_fromptr(new zrat(*zbox(c)), BH_ZRAT); }
void zr_delete(coef* c)
{
    delete zbox(c);
    c->type = BH_ZERO;
}
coef zr_int(t_cctx* ctx, int n) { return r_int(ctx, n); }
long long zr_2ll(const coef* c) { return zbox(c)->re.num / zbox(c)->re.den; }
double zr_2dbl(const coef* c) { return asdbl(zbox(c)->re); }
complexe zr_2zdbl(const coef* c) { return complexe{asdbl(zbox(c)->re), asdbl(zbox(c)->im)}; }
char* zr_2str(const coef* c)
{
    char buf[128];
    const zrat* z = zbox(c);
    snprintf(buf, sizeof buf, "%lli/%lli %lli/%lli", (long long)z->re.num, (long long)z->re.den,
             (long long)z->im.num, (long long)z->im.den);
    return strdup(buf);
}
char* zr_2strfmt(const char* fmt, const coef* c)
{
    char a[128], b[128], buf[300];
    snprintf(a, sizeof a, fmt, asdbl(zbox(c)->re));
    snprintf(b, sizeof b, fmt, asdbl(zbox(c)->im));
    snprintf(buf, sizeof buf, "%s %s", a, b);
    return strdup(buf);
}
int zr_iszero(const coef* c) { return zbox(c)->re.num == 0 && zbox(c)->im.num == 0; }
int zr_isrational(const coef*) { return 1; }
int zr_saveF(const coef* c, FILE* f)
{
    const zrat* z = zbox(c);
    return fprintf(f, "    %20lli %20lli    %20lli %20lli\n", (long long)z->re.num, (long long)z->re.den,
                   (long long)z->im.num, (long long)z->im.den) > 0;
}
int zr_save(const coef* c, FILE* f) { return fwrite(zbox(c), sizeof(zrat), 1, f) == 1; }
int zr_load(t_cctx*, coef* c, FILE* f)
{
    auto* z = new zrat;
    if (fread(z, sizeof(zrat), 1, f) != 1) {
        delete z;
        c->type = BH_ZERO;
        return 0;
    }
    c->p = z;
    return 1;
}

const rationnel s_one{1, 1}, s_zero{0, 1};
const zrat s_zone{{1, 1}, {0, 1}}, s_zzero{{0, 1}, {0, 1}};

}  // namespace

void kst_coef_register_ratbase()
{
    coefnum_install_common(BH_RAT, "", 16);
    coefvtable& v = g_kst_coef_vtable[BH_RAT];
    v.int2coef = r_int;
    v.ll2coef = r_ll;
    v.zint2coef = r_zint;
    v.dbl2coef = r_dbl;
    v.pi2coef = r_pi;
    v.numden2coef = r_numden;
    v.numdencplx2coef = r_numdencplx;
    v.strentierlong2coef = r_strentier;
    v.strreal2coef = r_strreal;
    v.coef2ll = r_2ll;
    v.coef2dbl = r_2dbl;
    v.coef2zdbl = r_2zdbl;
    v.coef2str = r_2str;
    v.coef2strfmt = r_2strfmt;
    v.copycoef = r_copy;
    v.deletecoef = r_delete;
    coefnum_install_arith<r_add, r_sub, r_mul, r_div>(BH_RAT);
    v.cmp_eq[BH_RAT] = r_eq;
    v.cmp_lt[BH_RAT] = r_lt;
    v.cmp_le[BH_RAT] = r_le;
    v.cmp_gt[BH_RAT] = r_gt;
    v.cmp_ge[BH_RAT] = r_ge;
    v.neg = r_neg;
    v.power_ui = r_powui;
    coefnum_install_elemfuncs_viadbl(BH_RAT);
    v.abs = r_abs;
    v.norm_inf = r_abs;
    v.sqrt = r_sqrt;
    v.arg = r_arg;
    v.pent = r_pent;
    v.nint = r_nint;
    v.getnumer = r_getnumer;
    v.getdenom = r_getdenom;
    v.isentierlong = r_isentierlong;
    v.iszero = r_iszero;
    v.cmp_egal_1 = r_is1;
    v.cmp_egal_neg1 = r_isneg1;
    v.isrational = r_isrational;
    v.aff = v.aff_tex = v.aff_ml = r_aff;
    v.save = r_save;
    v.load = r_load;
    v.saveF = r_saveF;
    v.loadF = r_loadF;
    coefnum_set_constants(BH_RAT, &s_zero, &s_one, BH_RAT, BH_ZRAT);

    coefnum_install_common(BH_ZRAT, "", 32);
    coefvtable& z = g_kst_coef_vtable[BH_ZRAT];
    z.int2coef = zr_int;
    z.ll2coef = r_ll;
    z.zint2coef = r_zint;
    z.dbl2coef = r_dbl;
    z.pi2coef = r_pi;
    z.numden2coef = r_numden;
    z.numdencplx2coef = r_numdencplx;
    z.strentierlong2coef = r_strentier;
    z.strreal2coef = r_strreal;
    z.coef2ll = zr_2ll;
    z.coef2dbl = zr_2dbl;
    z.coef2zdbl = zr_2zdbl;
    z.coef2str = zr_2str;
    z.coef2strfmt = zr_2strfmt;
    z.copycoef = zr_copy;
    z.deletecoef = zr_delete;
    coefnum_install_arith<zr_add, zr_sub, zr_mul, zr_div>(BH_ZRAT);
    z.cmp_eq[BH_ZRAT] = zr_eq;
    z.neg = zr_neg;
    z.power_ui = zr_powui;
    coefnum_install_elemfuncs_viadbl(BH_ZRAT);
    z.iszero = zr_iszero;
    z.isrational = zr_isrational;
    z.aff = z.aff_tex = z.aff_ml = coefaff_cplx_generic;
    z.save = zr_save;
    z.load = zr_load;
    z.saveF = zr_saveF;
    coefnum_set_constants(BH_ZRAT, &s_zzero, &s_zone, BH_RAT, BH_ZRAT);
}
