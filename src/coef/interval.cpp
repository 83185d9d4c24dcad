// The four interval types: double intervals (tag 11), complex double intervals (12), quad
// intervals (13), complex quad intervals (14). Every result encloses the exact value: arithmetic
// through the directed-rounding kernel (bias.h), elementary functions through MPFR bounds rounded
// outward at the bound's precision.
#include "coef/bias.h"
#include "coef/coefnum_impl.h"
#include "interp/error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

// ---------------------------------------------------------------- decimal conversion

namespace {

template <class B>
bool bias_ecvt(B v, bool up, char* buf, size_t size)
{
    using BB = t_biasbound<B>;
    if (size < 8) return false;
    mpfr_t f;
    mpfr_init2(f, BB::prec);
    BB::set(f, v);
    bool ok = true;
    if (mpfr_nan_p(f)) {
        snprintf(buf, size, "NaN");
    } else if (mpfr_inf_p(f)) {
        snprintf(buf, size, mpfr_sgn(f) < 0 ? "-Inf" : "Inf");
    } else if (mpfr_zero_p(f)) {
        snprintf(buf, size, "0");
    } else {
        mpfr_exp_t e;
        char* digits = mpfr_get_str(nullptr, &e, 10, BB::digits, f, up ? MPFR_RNDU : MPFR_RNDD);
        if (!digits) {
            ok = false;
        } else {
            const char* d = digits;
            std::string out;
            if (*d == '-') {
                out += '-';
                d++;
            }
            int n = (int)strlen(d);
            if (e > 0 && e <= n) {
                char tmp[128];
                snprintf(tmp, sizeof tmp, "%.*s.%s", (int)e, d, d + e);
                out += tmp;
            } else if (e <= 0 && e > -5) {
                out += "0.";
                out.append((size_t)(-e), '0');
                out += d;
            } else {
                char tmp[128];
                snprintf(tmp, sizeof tmp, "%.1s.%sE%ld", d, d + 1, (long)(e - 1));
                out += tmp;
            }
            mpfr_free_str(digits);
            if (out.size() + 1 > size) ok = false;
            else memcpy(buf, out.c_str(), out.size() + 1);
        }
    }
    mpfr_clear(f);
    return ok;
}

template <class B>
bool bias_read(const char* text, B* lo, B* hi)
{
    using BB = t_biasbound<B>;
    while (*text == ' ' || *text == '\t') text++;
    if (!*text) return false;
    mpfr_t f;
    mpfr_init2(f, BB::prec);
    char* end = nullptr;
    mpfr_strtofr(f, text, &end, 10, MPFR_RNDD);
    bool ok = end && end != text;
    for (const char* p = end; ok && *p; p++)
        if (*p != ' ' && *p != '\t' && *p != '\n') ok = false;
    if (ok) {
        *lo = BB::get(f, MPFR_RNDD);
        mpfr_strtofr(f, text, &end, 10, MPFR_RNDU);
        *hi = BB::get(f, MPFR_RNDU);
    }
    mpfr_clear(f);
    return ok;
}

}  // namespace

bool dBiasEcvt(double v, bool up, char* buf, size_t size) { return bias_ecvt<double>(v, up, buf, size); }
bool ldBiasEcvt(__float128 v, bool up, char* buf, size_t size) { return bias_ecvt<__float128>(v, up, buf, size); }
bool dBiasReadSRR(const char* text, t_dbiasinterval* out) { return bias_read<double>(text, &out->inf, &out->sup); }
bool ldBiasReadSRR(const char* text, t_ldbiasinterval* out)
{
    return bias_read<__float128>(text, &out->inf, &out->sup);
}

namespace {

// ---------------------------------------------------------------- elementary enclosures

using mpfr_fn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
int mpfr_const_pi_wrap(mpfr_ptr r, mpfr_srcptr, mpfr_rnd_t d) { return mpfr_const_pi(r, d); }

template <class B>
B eval(mpfr_fn f, B x, mpfr_rnd_t rnd)
{
    using BB = t_biasbound<B>;
    mpfr_t a, r;
    mpfr_init2(a, BB::prec);
    mpfr_init2(r, BB::prec);
    BB::set(a, x);
    f(r, a, rnd);
    B v = BB::get(r, rnd);
    mpfr_clear(a);
    mpfr_clear(r);
    return v;
}

template <class B>
t_biasint<B> mono_inc(mpfr_fn f, const t_biasint<B>& x)
{
    return {eval<B>(f, x.inf, MPFR_RNDD), eval<B>(f, x.sup, MPFR_RNDU)};
}
template <class B>
t_biasint<B> mono_dec(mpfr_fn f, const t_biasint<B>& x)
{
    return {eval<B>(f, x.sup, MPFR_RNDD), eval<B>(f, x.inf, MPFR_RNDU)};
}

// Integers n with lo <= n*pi + shift*pi/2 <= hi, found conservatively (a neighbour too many only
// widens the enclosure). Returns false when the range is too wide to matter (a full period).
template <class B>
bool period_range(const t_biasint<B>& x, int shift, long* nlo, long* nhi)
{
    using BB = t_biasbound<B>;
    mpfr_t a, pi, slack;
    mpfr_inits2(256, a, pi, slack, (mpfr_ptr)0);
    mpfr_const_pi(pi, MPFR_RNDN);
    BB::set(a, x.inf);
    bool ok = mpfr_number_p(a) && mpfr_cmpabs_ui(a, 1UL << 60) < 0;
    BB::set(a, x.sup);
    ok = ok && mpfr_number_p(a) && mpfr_cmpabs_ui(a, 1UL << 60) < 0;
    if (ok) {
        mpfr_set_d(slack, 1e-40, MPFR_RNDN);
        BB::set(a, x.inf);
        mpfr_div(a, a, pi, MPFR_RNDN);
        mpfr_sub_d(a, a, shift * 0.5, MPFR_RNDN);
        mpfr_sub(a, a, slack, MPFR_RNDN);
        mpfr_ceil(a, a);
        *nlo = mpfr_get_si(a, MPFR_RNDN);
        BB::set(a, x.sup);
        mpfr_div(a, a, pi, MPFR_RNDN);
        mpfr_sub_d(a, a, shift * 0.5, MPFR_RNDN);
        mpfr_add(a, a, slack, MPFR_RNDN);
        mpfr_floor(a, a);
        *nhi = mpfr_get_si(a, MPFR_RNDN);
        ok = *nhi - *nlo < 3;
    }
    mpfr_clears(a, pi, slack, (mpfr_ptr)0);
    return ok;
}

// cos (shift 0) and sin (shift 1): endpoints, widened to +-1 at every extremum inside.
template <class B>
t_biasint<B> trig(mpfr_fn f, const t_biasint<B>& x, int shift)
{
    long nlo, nhi;
    if (!period_range<B>(x, shift, &nlo, &nhi)) return {-1, 1};
    B lo = eval<B>(f, x.inf, MPFR_RNDD), lo2 = eval<B>(f, x.sup, MPFR_RNDD);
    B hi = eval<B>(f, x.inf, MPFR_RNDU), hi2 = eval<B>(f, x.sup, MPFR_RNDU);
    if (lo2 < lo) lo = lo2;
    if (hi2 > hi) hi = hi2;
    for (long n = nlo; n <= nhi; n++) {
        if (n % 2 == 0) hi = 1;
        else lo = -1;
    }
    return {lo, hi};
}

template <class B>
t_biasint<B> int_cos(const t_biasint<B>& x) { return trig<B>(mpfr_cos, x, 0); }
template <class B>
t_biasint<B> int_sin(const t_biasint<B>& x) { return trig<B>(mpfr_sin, x, 1); }
template <class B>
t_biasint<B> int_tan(const t_biasint<B>& x)
{
    long nlo, nhi;
    if (!period_range<B>(x, 1, &nlo, &nhi) || nlo <= nhi)
        return {-t_biasbound<B>::inf(), t_biasbound<B>::inf()};
    return mono_inc<B>(mpfr_tan, x);
}
template <class B>
t_biasint<B> int_cosh(const t_biasint<B>& x)
{
    if (x.inf >= 0) return mono_inc<B>(mpfr_cosh, x);
    if (x.sup <= 0) return mono_dec<B>(mpfr_cosh, x);
    B a = eval<B>(mpfr_cosh, x.inf, MPFR_RNDU), b = eval<B>(mpfr_cosh, x.sup, MPFR_RNDU);
    return {1, a > b ? a : b};
}
template <class B>
t_biasint<B> int_abs(const t_biasint<B>& x)
{
    if (x.inf >= 0) return x;
    if (x.sup <= 0) return {-x.sup, -x.inf};
    return {0, -x.inf > x.sup ? -x.inf : x.sup};
}
template <class B>
t_biasint<B> int_sqrt(const t_biasint<B>& x)
{
    t_biasint<B> r = mono_inc<B>(mpfr_sqrt, x);
    if (x.inf < 0 && x.sup >= 0) r.inf = 0;
    return r;
}
template <class B, mpfr_fn F>
t_biasint<B> int_logk(const t_biasint<B>& x)
{
    t_biasint<B> r = mono_inc<B>(F, x);
    if (x.inf <= 0 && x.sup > 0) r.inf = -t_biasbound<B>::inf();
    return r;
}
template <class B>
t_biasint<B> int_arg(const t_biasint<B>& x)
{
    if (x.inf >= 0) return {0, 0};
    B pl = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDD), pu = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDU);
    if (x.sup < 0) return {pl, pu};
    return {0, pu};
}
int w_floor(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_floor(r, a); }

// ---------------------------------------------------------------- the real interval types

template <class B, class V, eBHTypeCoef TAG>
struct t_realint {
    using I = t_biasint<B>;
    using K = t_bias<B>;
    struct traits {
        using value_type = V;
    };
    static V* box(const coef* c) { return static_cast<V*>(c->p); }
    static I get(const V* v) { return I{v->inf, v->sup}; }
    static void put(V* v, const I& i)
    {
        v->inf = i.inf;
        v->sup = i.sup;
    }
    static V* alloc(t_cctx*) { return new V{0, 0}; }
    static void free(V* v) { delete v; }
    static coef finish(V* r)
    {
        if (r->inf == 0 && r->sup == 0) {
            delete r;
            return coef{};
        }
        return coef_fromptr(r, TAG);
    }
    static coef make(const I& i)
    {
        if (i.inf == 0 && i.sup == 0) return coef{};
        return coef_fromptr(new V{i.inf, i.sup}, TAG);
    }

    static void op_add(t_cctx*, V* r, const V* a, const V* b) { put(r, K::AddII(get(a), get(b))); }
    // The same enclosure twice is taken as the same value: its difference is exactly zero.
    static void op_sub(t_cctx*, V* r, const V* a, const V* b)
    {
        if (a->inf == b->inf && a->sup == b->sup) put(r, I{0, 0});
        else put(r, K::SubII(get(a), get(b)));
    }
    static void op_mul(t_cctx*, V* r, const V* a, const V* b) { put(r, K::MulII(get(a), get(b))); }
    static void op_div(t_cctx*, V* r, const V* a, const V* b) { put(r, K::DivII(get(a), get(b))); }
    static coef add(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_add, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef sub(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_sub, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef mul(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_mul, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef div(t_cctx* c, coef* a, int ka, coef* b, int kb)
    {
        return coefnum_boxed_binop<traits, op_div, free, alloc, finish>(c, a, ka, b, kb, 0);
    }

    template <I (*F)(const I&)>
    static coef fn(t_cctx*, coef* a, int ka)
    {
        I r = F(get(box(a)));
        coefnum_release(a, ka);
        return make(r);
    }
    template <mpfr_fn F>
    static I inc(const I& x) { return mono_inc<B>(F, x); }
    template <mpfr_fn F>
    static I dec(const I& x) { return mono_dec<B>(F, x); }
    static I neg(const I& x) { return K::NegI(x); }

    static coef powui(t_cctx*, coef* a, int ka, unsigned long n)
    {
        I x = get(box(a)), r{1, 1};
        while (n) {
            if (n & 1) r = K::MulII(r, x);
            n >>= 1;
            if (n) x = K::SqrI(x);
        }
        coefnum_release(a, ka);
        return make(r);
    }

    // Bounds as numbers of the bound's own type.
    static coef bound(t_cctx* ctx, coef* a, int ka, bool upper)
    {
        B v = upper ? box(a)->sup : box(a)->inf;
        coefnum_release(a, ka);
        if constexpr (sizeof(B) == sizeof(double)) return g_kst_coef_vtable[BH_DBL].dbl2coef(ctx, (double)v);
        else return v == 0 ? coef{} : coef_fromptr(quad_new(v), BH_QUAD);
    }
    static coef inf(t_cctx* c, coef* a, int ka) { return bound(c, a, ka, false); }
    static coef sup(t_cctx* c, coef* a, int ka) { return bound(c, a, ka, true); }

    static int eq(const coef* a, const coef* b) { return box(a)->inf == box(b)->inf && box(a)->sup == box(b)->sup; }
    static int lt(const coef* a, const coef* b) { return box(a)->sup < box(b)->inf; }
    static int le(const coef* a, const coef* b) { return box(a)->sup <= box(b)->inf; }
    static int gt(const coef* a, const coef* b) { return box(a)->inf > box(b)->sup; }
    static int ge(const coef* a, const coef* b) { return box(a)->inf >= box(b)->sup; }
    static int iszero(const coef* c) { return box(c)->inf == 0 && box(c)->sup == 0; }
    static int is1(const coef* c) { return box(c)->inf == 1 && box(c)->sup == 1; }

    static coef copy(const coef* c) { return coef_fromptr(new V(*box(c)), TAG); }
    static void del(coef* c)
    {
        delete box(c);
        c->type = BH_ZERO;
    }

    // Constructors: exact values are point intervals, the others their tightest enclosure.
    static coef from_q(mpq_srcptr q)
    {
        using BB = t_biasbound<B>;
        mpfr_t f;
        mpfr_init2(f, BB::prec);
        mpfr_set_q(f, q, MPFR_RNDD);
        B lo = BB::get(f, MPFR_RNDD);
        mpfr_set_q(f, q, MPFR_RNDU);
        B hi = BB::get(f, MPFR_RNDU);
        mpfr_clear(f);
        return make(I{lo, hi});
    }
    static coef from_ll(long long n, long long d)
    {
        mpq_t q;
        mpq_init(q);
        mpz_set_si(mpq_numref(q), n);
        mpz_set_si(mpq_denref(q), d);
        mpq_canonicalize(q);
        coef c = from_q(q);
        mpq_clear(q);
        return c;
    }
    static coef c_int(t_cctx*, int n) { return make(I{(B)n, (B)n}); }
    static coef c_ll(t_cctx*, long long n) { return from_ll(n, 1); }
    static coef c_dbl(t_cctx*, double v) { return make(I{(B)v, (B)v}); }
    static coef c_numden(t_cctx*, int n, int d) { return from_ll(n, d); }
    static coef c_pi(t_cctx*)
    {
        B lo = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDD), hi = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDU);
        return make(I{lo, hi});
    }
    static coef c_str(t_cctx* ctx, const char* s)
    {
        I r;
        if (!bias_read<B>(s, &r.inf, &r.sup)) {
            kst_runerror(ctx, 459, s);
            return coef{};
        }
        return make(r);
    }
    static double mid_dbl(const coef* c)
    {
        mpfr_t f;
        mpfr_init2(f, 53);
        coefnum_get_fr(f, c, 0, MPFR_RNDN);
        double d = mpfr_get_d(f, MPFR_RNDN);
        mpfr_clear(f);
        return d;
    }
    static long long c_2ll(const coef* c) { return (long long)mid_dbl(c); }
    static double c_2dbl(const coef* c) { return mid_dbl(c); }
    static complexe c_2zdbl(const coef* c) { return complexe{mid_dbl(c), 0.0}; }

    static std::string text(const V* v)
    {
        char lo[128], hi[128];
        bool ok = bias_ecvt<B>(v->inf, false, lo, sizeof lo) && bias_ecvt<B>(v->sup, true, hi, sizeof hi);
        if (!ok) kst_iceerror(1044, sizeof(B) == sizeof(double) ? "intdbl_write" : "intquad_write");
        return std::string("[") + lo + ", " + hi + "]";
    }
    static char* c_2str(const coef* c) { return strdup(text(box(c)).c_str()); }
    static char* c_2strfmt(const char*, const coef* c) { return c_2str(c); }
    static void aff(t_cctx*, t_render* r, const coef* c, int) { coefaff_text(r, text(box(c)).c_str()); }

    static void install(const char* name)
    {
        coefnum_install_common(TAG, name, (int)sizeof(V));
        coefvtable& v = g_kst_coef_vtable[TAG];
        v.int2coef = c_int;
        v.ll2coef = c_ll;
        v.dbl2coef = c_dbl;
        v.pi2coef = c_pi;
        v.numden2coef = c_numden;
        v.strentierlong2coef = c_str;
        v.strreal2coef = c_str;
        v.coef2ll = c_2ll;
        v.coef2dbl = c_2dbl;
        v.coef2zdbl = c_2zdbl;
        v.coef2str = c_2str;
        v.coef2strfmt = c_2strfmt;
        v.copycoef = copy;
        v.deletecoef = del;
        coefnum_install_arith<add, sub, mul, div>(TAG);
        v.cmp_eq[TAG] = eq;
        v.cmp_lt[TAG] = lt;
        v.cmp_le[TAG] = le;
        v.cmp_gt[TAG] = gt;
        v.cmp_ge[TAG] = ge;
        v.neg = fn<neg>;
        v.power_ui = powui;
        t_coefnum_elemfuncs f{fn<int_cos<B>>,         fn<int_sin<B>>,         fn<int_tan<B>>,
                              fn<dec<mpfr_acos>>,     fn<inc<mpfr_asin>>,     fn<inc<mpfr_atan>>,
                              fn<int_cosh<B>>,        fn<inc<mpfr_sinh>>,     fn<inc<mpfr_tanh>>,
                              fn<inc<mpfr_acosh>>,    fn<inc<mpfr_asinh>>,    fn<inc<mpfr_atanh>>,
                              fn<inc<mpfr_exp>>,      fn<int_logk<B, mpfr_log>>, fn<int_logk<B, mpfr_log10>>,
                              fn<int_arg<B>>,         fn<int_sqrt<B>>,        fn<int_abs<B>>};
        coefnum_install_elemfuncs(TAG, f);
        v.pent = fn<inc<w_floor>>;
        v.nint = fn<inc<mpfr_rint>>;
        v.norm_inf = fn<int_abs<B>>;
        v.inf = inf;
        v.sup = sup;
        v.iszero = iszero;
        v.cmp_egal_1 = is1;
        v.aff = v.aff_tex = v.aff_ml = aff;
    }
};

using t_intdbl = t_realint<double, t_dbiasinterval, BH_INTDBL>;
using t_intquad = t_realint<__float128, t_ldbiasinterval, BH_INTQUAD>;

// ---------------------------------------------------------------- the complex interval types

template <class B, class V, class RV, eBHTypeCoef TAG, eBHTypeCoef RTAG>
struct t_cplxint {
    using KC = t_cbias<B>;
    using C = typename KC::C;
    using I = t_biasint<B>;
    struct traits {
        using value_type = V;
    };
    static V* box(const coef* c) { return static_cast<V*>(c->p); }
    static C get(const V* v) { return C{I{v->re.inf, v->re.sup}, I{v->im.inf, v->im.sup}}; }
    static void put(V* v, const C& c)
    {
        v->re.inf = c.re.inf;
        v->re.sup = c.re.sup;
        v->im.inf = c.im.inf;
        v->im.sup = c.im.sup;
    }
    static bool zero(const V* v) { return v->re.inf == 0 && v->re.sup == 0 && v->im.inf == 0 && v->im.sup == 0; }
    static V* alloc(t_cctx*) { return new V{}; }
    static void free(V* v) { delete v; }
    static coef finish(V* r)
    {
        if (zero(r)) {
            delete r;
            return coef{};
        }
        return coef_fromptr(r, TAG);
    }
    static void op_add(t_cctx*, V* r, const V* a, const V* b) { put(r, KC::Add(get(a), get(b))); }
    static void op_sub(t_cctx*, V* r, const V* a, const V* b)
    {
        if (memcmp(a, b, sizeof(V)) == 0) put(r, C{I{0, 0}, I{0, 0}});   // same enclosure, same value
        else put(r, KC::Sub(get(a), get(b)));
    }
    static void op_mul(t_cctx*, V* r, const V* a, const V* b) { put(r, KC::Mul(get(a), get(b))); }
    static void op_div(t_cctx*, V* r, const V* a, const V* b) { put(r, KC::Div(get(a), get(b))); }
    static coef add(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_add, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef sub(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_sub, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef mul(t_cctx* c, coef* a, int ka, coef* b, int kb, int p)
    {
        return coefnum_boxed_binop<traits, op_mul, free, alloc, finish>(c, a, ka, b, kb, p);
    }
    static coef div(t_cctx* c, coef* a, int ka, coef* b, int kb)
    {
        return coefnum_boxed_binop<traits, op_div, free, alloc, finish>(c, a, ka, b, kb, 0);
    }
    static coef neg(t_cctx*, coef* a, int ka)
    {
        C x = get(box(a));
        coefnum_release(a, ka);
        V* r = new V{};
        put(r, C{t_bias<B>::NegI(x.re), t_bias<B>::NegI(x.im)});
        return finish(r);
    }
    static coef powui(t_cctx*, coef* a, int ka, unsigned long n)
    {
        C x = get(box(a)), r{I{1, 1}, I{0, 0}};
        while (n) {
            if (n & 1) r = KC::Mul(r, x);
            n >>= 1;
            if (n) x = KC::Mul(x, x);
        }
        coefnum_release(a, ka);
        V* v = new V{};
        put(v, r);
        return finish(v);
    }
    // The complex functions built from real enclosures of their real and imaginary parts.
    using K = t_bias<B>;
    static C c_exp(const C& x)
    {
        I ea = mono_inc<B>(mpfr_exp, x.re);
        return C{K::MulII(ea, int_cos<B>(x.im)), K::MulII(ea, int_sin<B>(x.im))};
    }
    static C c_cos(const C& x)   // cos a cosh b - i sin a sinh b
    {
        return C{K::MulII(int_cos<B>(x.re), int_cosh<B>(x.im)),
                 K::NegI(K::MulII(int_sin<B>(x.re), mono_inc<B>(mpfr_sinh, x.im)))};
    }
    static C c_sin(const C& x)   // sin a cosh b + i cos a sinh b
    {
        return C{K::MulII(int_sin<B>(x.re), int_cosh<B>(x.im)), K::MulII(int_cos<B>(x.re), mono_inc<B>(mpfr_sinh, x.im))};
    }
    static C c_cosh(const C& x)   // cosh a cos b + i sinh a sin b
    {
        return C{K::MulII(int_cosh<B>(x.re), int_cos<B>(x.im)), K::MulII(mono_inc<B>(mpfr_sinh, x.re), int_sin<B>(x.im))};
    }
    static C c_sinh(const C& x)   // sinh a cos b + i cosh a sin b
    {
        return C{K::MulII(mono_inc<B>(mpfr_sinh, x.re), int_cos<B>(x.im)), K::MulII(int_cosh<B>(x.re), int_sin<B>(x.im))};
    }
    static C c_tan(const C& x) { return KC::Div(c_sin(x), c_cos(x)); }
    static C c_tanh(const C& x) { return KC::Div(c_sinh(x), c_cosh(x)); }
    static I c_abs(const C& x) { return int_sqrt<B>(K::AddII(K::SqrI(x.re), K::SqrI(x.im))); }
    // Argument: atan of an enclosure of im/re (or re/im) away from the cut along the negative
    // reals; a box that meets the cut or the origin gets the whole range [-pi, pi].
    static I c_arg(const C& x)
    {
        B pl = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDD), pu = eval<B>(mpfr_const_pi_wrap, 0, MPFR_RNDU);
        I half{pl / 2, pu / 2};   // halving is exact
        if (x.re.inf > 0) return mono_inc<B>(mpfr_atan, K::DivII(x.im, x.re));
        if (x.im.inf > 0) return K::SubII(half, mono_inc<B>(mpfr_atan, K::DivII(x.re, x.im)));
        if (x.im.sup < 0) return K::SubII(K::NegI(half), mono_inc<B>(mpfr_atan, K::DivII(x.re, x.im)));
        return I{-pu, pu};
    }
    static C c_log(const C& x) { return C{int_logk<B, mpfr_log>(c_abs(x)), c_arg(x)}; }
    static C c_log10(const C& x)
    {
        using BB = t_biasbound<B>;
        mpfr_t t;
        mpfr_init2(t, BB::prec);
        mpfr_set_ui(t, 10, MPFR_RNDN);
        mpfr_log(t, t, MPFR_RNDD);
        B l10lo = BB::get(t, MPFR_RNDD);
        mpfr_set_ui(t, 10, MPFR_RNDN);
        mpfr_log(t, t, MPFR_RNDU);
        B l10hi = BB::get(t, MPFR_RNDU);
        mpfr_clear(t);
        C l = c_log(x);
        I ln10{l10lo, l10hi};
        return C{K::DivII(l.re, ln10), K::DivII(l.im, ln10)};
    }
    static C c_sqrt(const C& x)   // exp(log(z) / 2)
    {
        if (x.re.inf == 0 && x.re.sup == 0 && x.im.inf == 0 && x.im.sup == 0) return x;
        C l = c_log(x);
        I h{(B)0.5, (B)0.5};
        return c_exp(C{K::MulII(l.re, h), K::MulII(l.im, h)});
    }
    template <C (*F)(const C&)>
    static coef cfn(t_cctx*, coef* a, int ka)
    {
        C r = F(get(box(a)));
        coefnum_release(a, ka);
        V* v = new V{};
        put(v, r);
        return finish(v);
    }
    template <I (*F)(const C&)>
    static coef crealfn(t_cctx*, coef* a, int ka)
    {
        I r = F(get(box(a)));
        coefnum_release(a, ka);
        if (r.inf == 0 && r.sup == 0) return coef{};
        return coef_fromptr(new RV{r.inf, r.sup}, RTAG);
    }

    static coef notimpl(t_cctx* ctx, const char* what, coef* a, int ka)
    {
        coefnum_release(a, ka);
        char text[160];
        snprintf(text, sizeof text, "BIAS: %s not implemented !!!!!!!!!!!\n", what);
        kst_runerror(ctx, text);
        return coef{};
    }
    static coef acos(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArcCos", a, ka); }
    static coef asin(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArcSin", a, ka); }
    static coef atan(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArcTan", a, ka); }
    static coef asinh(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArSinh", a, ka); }
    static coef acosh(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArCosh", a, ka); }
    static coef atanh(t_cctx* c, coef* a, int ka) { return notimpl(c, "CBiasArTanh", a, ka); }
    static int eq(const coef* a, const coef* b)
    {
        const V *x = box(a), *y = box(b);
        return x->re.inf == y->re.inf && x->re.sup == y->re.sup && x->im.inf == y->im.inf && x->im.sup == y->im.sup;
    }
    static int iszero(const coef* c) { return zero(box(c)); }
    static coef copy(const coef* c) { return coef_fromptr(new V(*box(c)), TAG); }
    static void del(coef* c)
    {
        delete box(c);
        c->type = BH_ZERO;
    }
    static complexe c_2zdbl(const coef* c)
    {
        coef t = coefnum_convert_raw(nullptr, c, BH_ZDBL);
        return t.z;
    }
    static double c_2dbl(const coef* c) { return c_2zdbl(c).re; }
    static long long c_2ll(const coef* c) { return (long long)c_2dbl(c); }
    static char* c_2str(const coef* c)
    {
        coef re = coefnum_build(nullptr, RTAG, c, 0, -1, false), im = coefnum_build(nullptr, RTAG, c, 1, -1, false);
        auto text = [](const coef& x) {
            if (x.type == BH_ZERO) return std::string("0");
            char* t = coef2str(&x);
            std::string r(t);
            ::free(t);
            return r;
        };
        std::string s = text(re) + " " + text(im);
        deletecoef(&re);
        deletecoef(&im);
        return strdup(s.c_str());
    }
    static char* c_2strfmt(const char*, const coef* c) { return c_2str(c); }

    static void install(const char* name)
    {
        coefnum_install_common(TAG, name, (int)sizeof(V));
        coefvtable& v = g_kst_coef_vtable[TAG];
        const coefvtable& r = g_kst_coef_vtable[RTAG];
        v.int2coef = r.int2coef;
        v.ll2coef = r.ll2coef;
        v.dbl2coef = r.dbl2coef;
        v.pi2coef = r.pi2coef;
        v.numden2coef = r.numden2coef;
        v.strentierlong2coef = r.strentierlong2coef;
        v.strreal2coef = r.strreal2coef;
        v.coef2ll = c_2ll;
        v.coef2dbl = c_2dbl;
        v.coef2zdbl = c_2zdbl;
        v.coef2str = c_2str;
        v.coef2strfmt = c_2strfmt;
        v.copycoef = copy;
        v.deletecoef = del;
        coefnum_install_arith<add, sub, mul, div>(TAG);
        v.cmp_eq[TAG] = eq;
        v.neg = neg;
        v.power_ui = powui;
        t_coefnum_elemfuncs f{cfn<c_cos>,   cfn<c_sin>,   cfn<c_tan>,        acos,
                              asin,         atan,         cfn<c_cosh>,       cfn<c_sinh>,
                              cfn<c_tanh>,  acosh,        asinh,             atanh,
                              cfn<c_exp>,   cfn<c_log>,   cfn<c_log10>,      crealfn<c_arg>,
                              cfn<c_sqrt>,  crealfn<c_abs>};
        coefnum_install_elemfuncs(TAG, f);
        v.iszero = iszero;
        v.aff = v.aff_tex = v.aff_ml = coefaff_cplx_generic;
    }
};

using t_zintdbl = t_cplxint<double, t_dcbiasinterval, t_dbiasinterval, BH_ZINTDBL, BH_INTDBL>;
using t_zintquad = t_cplxint<__float128, t_ldcbiasinterval, t_ldbiasinterval, BH_ZINTQUAD, BH_INTQUAD>;

const t_dbiasinterval s_done{1, 1}, s_dzero{0, 0};
const t_dcbiasinterval s_zdone{{1, 1}, {0, 0}}, s_zdzero{{0, 0}, {0, 0}};
const t_ldbiasinterval s_qone{1, 1}, s_qzero{0, 0};
const t_ldcbiasinterval s_zqone{{1, 1}, {0, 0}}, s_zqzero{{0, 0}, {0, 0}};

}  // namespace

void kst_coef_register_interval()
{
    t_intdbl::install("");
    t_zintdbl::install("");
    t_intquad::install("");
    t_zintquad::install("");
    g_BHZero[BH_INTDBL] = &s_dzero;
    gc_BHUn[BH_INTDBL] = &s_done;
    g_BHZero[BH_ZINTDBL] = &s_zdzero;
    gc_BHUn[BH_ZINTDBL] = &s_zdone;
    g_BHZero[BH_INTQUAD] = &s_qzero;
    gc_BHUn[BH_INTQUAD] = &s_qone;
    g_BHZero[BH_ZINTQUAD] = &s_zqzero;
    gc_BHUn[BH_ZINTQUAD] = &s_zqone;
    gc_BHReel[BH_INTDBL] = gc_BHReel[BH_ZINTDBL] = BH_INTDBL;
    gc_BHCplx[BH_INTDBL] = gc_BHCplx[BH_ZINTDBL] = BH_ZINTDBL;
    gc_BHReel[BH_INTQUAD] = gc_BHReel[BH_ZINTQUAD] = BH_INTQUAD;
    gc_BHCplx[BH_INTQUAD] = gc_BHCplx[BH_ZINTQUAD] = BH_ZINTQUAD;
}
