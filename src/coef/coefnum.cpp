// What the numeric types share: boxed allocation, the normalising constructors of the exact types,
// and the universal conversion between any two numeric tags (through GMP rationals for exact
// targets and through correctly rounded MPFR values for floating and interval targets).
#include "coef/coefnum_impl.h"
#include "interp/roomapi.h"
#include "interp/error.h"
#include "coef/pool.h"

#include <climits>
#include <cstring>

// ---------------------------------------------------------------- boxes

long kst_mpfr_prec(t_cctx* ctx)
{
    if (!ctx) ctx = kst_localcctx();
    return kst_kctx(ctx).num.prec_bits;
}

// Boxes of exact integers and limb arrays of one or two words come from per-thread pools of 8-
// and 16-byte blocks: a product of millions of exact terms made two mallocs per coefficient, and
// malloc's bookkeeping and its fresh pages were half the product's time. GMP hands the size of
// every block back when it frees or grows it, so the size alone tells which pool a block is of.
// A string GMP makes is freed with its length, never more than it was given: a larger block
// freed as a smaller one only joins a pool of smaller blocks. Strings for the rest of the kernel
// are therefore written into malloc'd buffers (kst_mpz_str) and never come from GMP's allocator.
namespace {
struct t_gmpwordtag;
struct t_gmpsmalltag;
static_assert(sizeof(__mpz_struct) <= 16, "an integer box fits a small block");
thread_local t_pool<8, t_gmpwordtag> s_gmpword KST_TLS_IE;      // one limb
thread_local t_pool<16, t_gmpsmalltag> s_gmpsmall KST_TLS_IE;   // two limbs, integer boxes

int sizeclass(size_t size) { return size <= 8 ? 0 : size <= 16 ? 1 : 2; }
void* take(int c, size_t size)
{
    if (c == 0) return s_gmpword.get();
    if (c == 1) return s_gmpsmall.get();
    return kst_checkmalloc(size, "SYSCHECKMALLOC");
}
void give(int c, void* p)
{
    if (c == 0) s_gmpword.put(p);
    else if (c == 1) s_gmpsmall.put(p);
    else free(p);
}
}  // namespace

void* kst_gmp_alloc(size_t size) { return take(sizeclass(size), size); }
void* kst_gmp_realloc(void* p, size_t old, size_t size)
{
    const int from = sizeclass(old), to = sizeclass(size);
    if (from == 2 && to == 2) {
        void* q = realloc(p, size);
        if (!q) kst_fatalerror(436, static_cast<long>(size), "SYSCHECKMALLOCSIZE");
        return q;
    }
    if (from == to) return p;
    void* q = take(to, size);
    memcpy(q, p, old < size ? old : size);
    give(from, p);
    return q;
}
void kst_gmp_free(void* p, size_t size) { give(sizeclass(size), p); }
long kst_gmp_smallchunks() { return decltype(s_gmpword)::chunks() + decltype(s_gmpsmall)::chunks(); }

namespace {
bool s_gmpinstalled = false;
}  // namespace

void kst_gmp_install()
{
    mp_set_memory_functions(kst_gmp_alloc, kst_gmp_realloc, kst_gmp_free);
    s_gmpinstalled = true;
}

char* kst_mpz_str(const __mpz_struct* z)
{
    char* s = static_cast<char*>(kst_checkmalloc(mpz_sizeinbase(z, 10) + 2));
    return mpz_get_str(s, 10, z);
}
char* kst_mpq_str(const __mpq_struct* q)
{
    char* s = static_cast<char*>(kst_checkmalloc(mpz_sizeinbase(mpq_numref(q), 10) + mpz_sizeinbase(mpq_denref(q), 10) + 3));
    return mpq_get_str(s, 10, q);
}
// "a b" from two malloc'd texts, which it frees.
char* kst_strpair(char* a, char* b)
{
    const size_t na = strlen(a), nb = strlen(b);
    char* s = static_cast<char*>(kst_checkmalloc(na + nb + 2));
    memcpy(s, a, na);
    s[na] = ' ';
    memcpy(s + na + 1, b, nb + 1);
    free(a);
    free(b);
    return s;
}

__mpz_struct* intmp_new()
{
    auto* z = static_cast<__mpz_struct*>(s_gmpsmall.get());
    mpz_init(z);
    return z;
}
__mpq_struct* ratmp_new()
{
    auto* q = new __mpq_struct;
    mpq_init(q);
    return q;
}
__mpfr_struct* fpmp_new2(long bits)
{
    auto* f = new __mpfr_struct;
    mpfr_init2(f, bits);
    return f;
}
__mpfr_struct* fpmp_new(t_cctx* ctx) { return fpmp_new2(kst_mpfr_prec(ctx)); }
__mpc_struct* zfpmp_new(t_cctx* ctx)
{
    auto* z = new __mpc_struct;
    mpc_init2(z, kst_mpfr_prec(ctx));
    return z;
}
t_zintmp* zintmp_new()
{
    auto* z = new t_zintmp;
    mpz_init(z->re);
    mpz_init(z->im);
    return z;
}
t_zratmp* zratmp_new()
{
    auto* q = new t_zratmp;
    mpq_init(q->re);
    mpq_init(q->im);
    return q;
}
coef intmp_fromword(long v)
{
    if (v == 0) return coef{};
    if (!s_gmpinstalled) {   // a program that keeps GMP's own allocator frees the limb with it
        __mpz_struct* z = intmp_new();
        mpz_set_si(z, v);
        return coef_fromptr(z, BH_INTMP);
    }
    // Box and one limb straight from the pool, as mpz_set_si would leave them, without the
    // growth of an empty integer that it goes through.
    auto* z = static_cast<__mpz_struct*>(s_gmpsmall.get());
    z->_mp_d = static_cast<mp_limb_t*>(s_gmpword.get());
    z->_mp_alloc = 1;
    z->_mp_d[0] = v < 0 ? -static_cast<mp_limb_t>(v) : static_cast<mp_limb_t>(v);
    z->_mp_size = v < 0 ? -1 : 1;
    return coef_fromptr(z, BH_INTMP);
}

void intmp_free(__mpz_struct* z)
{
    mpz_clear(z);
    s_gmpsmall.put(z);
}
void ratmp_free(__mpq_struct* q)
{
    mpq_clear(q);
    delete q;
}
void fpmp_free(__mpfr_struct* f)
{
    mpfr_clear(f);
    delete f;
}
void zfpmp_free(__mpc_struct* z)
{
    mpc_clear(z);
    delete z;
}
void zintmp_free(t_zintmp* z)
{
    mpz_clear(z->re);
    mpz_clear(z->im);
    delete z;
}
void zratmp_free(t_zratmp* q)
{
    mpq_clear(q->re);
    mpq_clear(q->im);
    delete q;
}
__float128* quad_new(__float128 v) { return new __float128(v); }
zquad* zquad_new(__float128 re, __float128 im) { return new zquad{re, im}; }

// ---------------------------------------------------------------- normalising constructors

coef intmp_wrap(__mpz_struct* z)
{
    if (mpz_sgn(z) == 0) {
        intmp_free(z);
        return coef{};
    }
    return coef_fromptr(z, BH_INTMP);
}

coef ratmp_wrap(__mpq_struct* q)
{
    if (mpq_sgn(q) == 0) {
        ratmp_free(q);
        return coef{};
    }
    if (mpz_cmp_ui(mpq_denref(q), 1) == 0) {
        __mpz_struct* z = intmp_new();
        mpz_swap(z, mpq_numref(q));
        ratmp_free(q);
        return coef_fromptr(z, BH_INTMP);
    }
    return coef_fromptr(q, BH_RATMP);
}

coef zintmp_wrap(t_zintmp* z)
{
    if (mpz_sgn(z->re) == 0 && mpz_sgn(z->im) == 0) {
        zintmp_free(z);
        return coef{};
    }
    return coef_fromptr(z, BH_ZINTMP);
}

coef zratmp_wrap(t_zratmp* q)
{
    if (mpq_sgn(q->re) == 0 && mpq_sgn(q->im) == 0) {
        zratmp_free(q);
        return coef{};
    }
    if (mpz_cmp_ui(mpq_denref(q->re), 1) == 0 && mpz_cmp_ui(mpq_denref(q->im), 1) == 0) {
        t_zintmp* z = zintmp_new();
        mpz_swap(z->re, mpq_numref(q->re));
        mpz_swap(z->im, mpq_numref(q->im));
        zratmp_free(q);
        return coef_fromptr(z, BH_ZINTMP);
    }
    return coef_fromptr(q, BH_ZRATMP);
}

static double q_to_dbl(mpq_srcptr q)
{
    mpfr_t f;
    mpfr_init2(f, 53);
    mpfr_set_q(f, q, MPFR_RNDN);
    double d = mpfr_get_d(f, MPFR_RNDN);
    mpfr_clear(f);
    return d;
}

static bool q_fits64(mpq_srcptr q)
{
    return mpz_fits_slong_p(mpq_numref(q)) && mpz_fits_slong_p(mpq_denref(q));
}

// A value too small for a double is zero there, and zero is tag 0.
static coef dbl_or_zero(double d) { return coefnum_fromdbl(d); }
static coef zdbl_or_zero(double re, double im)
{
    if (re == 0.0 && im == 0.0) return coef{};
    coef c{};
    c.z = complexe{re, im};
    c.type = BH_ZDBL;
    return c;
}

coef ratovf_fromq(mpq_srcptr q)
{
    if (mpq_sgn(q) == 0) return coef{};
    if (!q_fits64(q)) return dbl_or_zero(q_to_dbl(q));
    coef c{};
    c.r.num = mpz_get_si(mpq_numref(q));
    c.r.den = mpz_get_si(mpq_denref(q));
    c.type = BH_RAT;
    return c;
}

coef zratovf_fromq(mpq_srcptr re, mpq_srcptr im)
{
    if (mpq_sgn(re) == 0 && mpq_sgn(im) == 0) return coef{};
    if (!q_fits64(re) || !q_fits64(im)) return zdbl_or_zero(q_to_dbl(re), q_to_dbl(im));
    auto* z = new zrat;
    z->re = rationnel{mpz_get_si(mpq_numref(re)), mpz_get_si(mpq_denref(re))};
    z->im = rationnel{mpz_get_si(mpq_numref(im)), mpz_get_si(mpq_denref(im))};
    return coef_fromptr(z, BH_ZRAT);
}

coef ratovf_make(int64_t num, int64_t den)
{
    if (num == 0) return coef{};
    mpq_t q;
    mpq_init(q);
    mpz_set_si(mpq_numref(q), num);
    mpz_set_si(mpq_denref(q), den);
    mpq_canonicalize(q);
    coef c = ratovf_fromq(q);
    mpq_clear(q);
    return c;
}

// ---------------------------------------------------------------- universal access

bool coefnum_iscomplex(int tag)
{
    switch (tag) {
    case BH_ZDBL: case BH_ZRAT: case BH_ZQUAD: case BH_ZINTDBL: case BH_ZINTQUAD:
    case BH_ZRATMP: case BH_ZFPMP: case BH_ZINTMP: return true;
    default: return false;
    }
}

bool coefnum_isinterval(int tag)
{
    return tag == BH_INTDBL || tag == BH_ZINTDBL || tag == BH_INTQUAD || tag == BH_ZINTQUAD;
}

static void q_from_rat(mpq_ptr q, const rationnel& r)
{
    if (r.den == -1) {   // a ratovf holding a double
        double d;
        memcpy(&d, &r.num, sizeof d);
        mpq_set_d(q, d);
        return;
    }
    mpz_set_si(mpq_numref(q), r.num);
    mpz_set_si(mpq_denref(q), r.den);
    mpq_canonicalize(q);
}

static void q_from_dbl(mpq_ptr q, double d)
{
    if (__builtin_isfinite(d)) mpq_set_d(q, d);
    else mpq_set_ui(q, 0, 1);
}

static void q_from_quad(mpq_ptr q, __float128 v)
{
    if (!finiteq(v)) {
        mpq_set_ui(q, 0, 1);
        return;
    }
    mpfr_t f;
    mpfr_init2(f, 113);
    mpfr_set_float128(f, v, MPFR_RNDN);
    mpfr_get_q(q, f);
    mpfr_clear(f);
}

static void q_from_fr(mpq_ptr q, mpfr_srcptr f)
{
    if (mpfr_number_p(f)) mpfr_get_q(q, f);
    else mpq_set_ui(q, 0, 1);
}

template <class B>
static void q_mid(mpq_ptr q, const B& lo, const B& hi, void (*get)(mpq_ptr, B))
{
    mpq_t t;
    mpq_init(t);
    get(q, lo);
    get(t, hi);
    mpq_add(q, q, t);
    mpq_div_2exp(q, q, 1);
    mpq_clear(t);
}

void coefnum_get_q(mpq_ptr q, const coef* c, int part)
{
    switch (c->type) {
    case BH_DBL: q_from_dbl(q, part ? 0.0 : c->d); return;
    case BH_ZDBL: q_from_dbl(q, part ? c->z.im : c->z.re); return;
    case BH_RAT:
        if (part) mpq_set_ui(q, 0, 1);
        else q_from_rat(q, c->r);
        return;
    case BH_ZRAT: {
        const zrat* z = coef_box<t_zratovftype>(c);
        q_from_rat(q, part ? z->im : z->re);
        return;
    }
    case BH_QUAD: q_from_quad(q, part ? 0 : *coef_box<t_quadtype>(c)); return;
    case BH_ZQUAD: {
        const zquad* z = coef_box<t_zquadtype>(c);
        q_from_quad(q, part ? z->im : z->re);
        return;
    }
    case BH_INTDBL: {
        if (part) return mpq_set_ui(q, 0, 1);
        const t_dbiasinterval* i = coef_box<t_intdbltype>(c);
        q_mid<double>(q, i->inf, i->sup, q_from_dbl);
        return;
    }
    case BH_ZINTDBL: {
        const t_dcbiasinterval* i = coef_box<t_zintdbltype>(c);
        const t_dbiasinterval& p = part ? i->im : i->re;
        q_mid<double>(q, p.inf, p.sup, q_from_dbl);
        return;
    }
    case BH_INTQUAD: {
        if (part) return mpq_set_ui(q, 0, 1);
        const t_ldbiasinterval* i = coef_box<t_intquadtype>(c);
        q_mid<__float128>(q, i->inf, i->sup, q_from_quad);
        return;
    }
    case BH_ZINTQUAD: {
        const t_ldcbiasinterval* i = coef_box<t_zintquadtype>(c);
        const t_ldbiasinterval& p = part ? i->im : i->re;
        q_mid<__float128>(q, p.inf, p.sup, q_from_quad);
        return;
    }
    case BH_RATMP:
        if (part) mpq_set_ui(q, 0, 1);
        else mpq_set(q, coef_box<t_ratmptype>(c));
        return;
    case BH_ZRATMP: {
        const t_zratmp* z = coef_box<t_zratmptype>(c);
        mpq_set(q, part ? z->im : z->re);
        return;
    }
    case BH_FPMP:
        if (part) mpq_set_ui(q, 0, 1);
        else q_from_fr(q, coef_box<t_fpmptype>(c));
        return;
    case BH_ZFPMP: {
        const __mpc_struct* z = coef_box<t_zfpmptype>(c);
        q_from_fr(q, part ? mpc_imagref(z) : mpc_realref(z));
        return;
    }
    case BH_INTMP:
        if (part) mpq_set_ui(q, 0, 1);
        else mpq_set_z(q, coef_box<t_intmptype>(c));
        return;
    case BH_ZINTMP: {
        const t_zintmp* z = coef_box<t_zintmptype>(c);
        mpq_set_z(q, part ? z->im : z->re);
        return;
    }
    default: mpq_set_ui(q, 0, 1); return;
    }
}

template <class B>
static void fr_bound(mpfr_ptr r, const B& lo, const B& hi, mpfr_rnd_t rnd, int (*set)(mpfr_ptr, B, mpfr_rnd_t))
{
    if (rnd == MPFR_RNDD) {
        set(r, lo, MPFR_RNDD);
    } else if (rnd == MPFR_RNDU) {
        set(r, hi, MPFR_RNDU);
    } else {
        mpfr_t a, b;
        mpfr_init2(a, 120);
        mpfr_init2(b, 120);
        set(a, lo, MPFR_RNDN);   // exact: 120 bits hold any double or quad
        set(b, hi, MPFR_RNDN);
        mpfr_add(r, a, b, rnd);
        mpfr_div_2ui(r, r, 1, rnd);
        mpfr_clear(a);
        mpfr_clear(b);
    }
}

static void fr_from_rat(mpfr_ptr r, const rationnel& v, mpfr_rnd_t rnd)
{
    mpq_t q;
    mpq_init(q);
    q_from_rat(q, v);
    mpfr_set_q(r, q, rnd);
    mpq_clear(q);
}

void coefnum_get_fr(mpfr_ptr r, const coef* c, int part, mpfr_rnd_t rnd)
{
    switch (c->type) {
    case BH_DBL: mpfr_set_d(r, part ? 0.0 : c->d, rnd); return;
    case BH_ZDBL: mpfr_set_d(r, part ? c->z.im : c->z.re, rnd); return;
    case BH_RAT:
        if (part) mpfr_set_zero(r, 1);
        else fr_from_rat(r, c->r, rnd);
        return;
    case BH_ZRAT: {
        const zrat* z = coef_box<t_zratovftype>(c);
        fr_from_rat(r, part ? z->im : z->re, rnd);
        return;
    }
    case BH_QUAD: mpfr_set_float128(r, part ? 0 : *coef_box<t_quadtype>(c), rnd); return;
    case BH_ZQUAD: {
        const zquad* z = coef_box<t_zquadtype>(c);
        mpfr_set_float128(r, part ? z->im : z->re, rnd);
        return;
    }
    case BH_INTDBL: {
        if (part) return mpfr_set_zero(r, 1);
        const t_dbiasinterval* i = coef_box<t_intdbltype>(c);
        fr_bound<double>(r, i->inf, i->sup, rnd, mpfr_set_d);
        return;
    }
    case BH_ZINTDBL: {
        const t_dcbiasinterval* i = coef_box<t_zintdbltype>(c);
        const t_dbiasinterval& p = part ? i->im : i->re;
        fr_bound<double>(r, p.inf, p.sup, rnd, mpfr_set_d);
        return;
    }
    case BH_INTQUAD: {
        if (part) return mpfr_set_zero(r, 1);
        const t_ldbiasinterval* i = coef_box<t_intquadtype>(c);
        fr_bound<__float128>(r, i->inf, i->sup, rnd, mpfr_set_float128);
        return;
    }
    case BH_ZINTQUAD: {
        const t_ldcbiasinterval* i = coef_box<t_zintquadtype>(c);
        const t_ldbiasinterval& p = part ? i->im : i->re;
        fr_bound<__float128>(r, p.inf, p.sup, rnd, mpfr_set_float128);
        return;
    }
    case BH_RATMP:
        if (part) mpfr_set_zero(r, 1);
        else mpfr_set_q(r, coef_box<t_ratmptype>(c), rnd);
        return;
    case BH_ZRATMP: {
        const t_zratmp* z = coef_box<t_zratmptype>(c);
        mpfr_set_q(r, part ? z->im : z->re, rnd);
        return;
    }
    case BH_FPMP:
        if (part) mpfr_set_zero(r, 1);
        else mpfr_set(r, coef_box<t_fpmptype>(c), rnd);
        return;
    case BH_ZFPMP: {
        const __mpc_struct* z = coef_box<t_zfpmptype>(c);
        mpfr_set(r, part ? mpc_imagref(z) : mpc_realref(z), rnd);
        return;
    }
    case BH_INTMP:
        if (part) mpfr_set_zero(r, 1);
        else mpfr_set_z(r, coef_box<t_intmptype>(c), rnd);
        return;
    case BH_ZINTMP: {
        const t_zintmp* z = coef_box<t_zintmptype>(c);
        mpfr_set_z(r, part ? z->im : z->re, rnd);
        return;
    }
    default: mpfr_set_zero(r, 1); return;
    }
}

// ---------------------------------------------------------------- part-wise construction

namespace {

// One part of the source, as an exact rational (zero for pim == -1), negated on request.
void part_q(mpq_ptr q, const coef* c, int part, bool neg)
{
    if (part < 0) {
        mpq_set_ui(q, 0, 1);
        return;
    }
    coefnum_get_q(q, c, part);
    if (neg) mpq_neg(q, q);
}

// One part rounded into f (a bound when rnd is directed); negation swaps the rounding direction.
void part_fr(mpfr_ptr f, const coef* c, int part, bool neg, mpfr_rnd_t rnd)
{
    if (part < 0) {
        mpfr_set_zero(f, 1);
        return;
    }
    if (neg) {
        mpfr_rnd_t opp = rnd == MPFR_RNDD ? MPFR_RNDU : (rnd == MPFR_RNDU ? MPFR_RNDD : rnd);
        coefnum_get_fr(f, c, part, opp);
        mpfr_neg(f, f, MPFR_RNDN);
    } else {
        coefnum_get_fr(f, c, part, rnd);
    }
}

double part_dbl(const coef* c, int part, bool neg)
{
    if (part < 0) return 0.0;
    double d;
    if (c->type == BH_DBL) d = part ? 0.0 : c->d;
    else if (c->type == BH_ZDBL) d = part ? c->z.im : c->z.re;
    else {
        mpfr_t f;
        mpfr_init2(f, 53);
        coefnum_get_fr(f, c, part, MPFR_RNDN);
        d = mpfr_get_d(f, MPFR_RNDN);
        mpfr_clear(f);
    }
    return neg ? -d : d;
}

__float128 part_quad(const coef* c, int part, bool neg, mpfr_rnd_t rnd = MPFR_RNDN)
{
    if (part < 0) return 0;
    mpfr_t f;
    mpfr_init2(f, 113);
    part_fr(f, c, part, neg, rnd);
    __float128 v = mpfr_get_float128(f, rnd);
    mpfr_clear(f);
    return v;
}

double part_dblbound(const coef* c, int part, bool neg, mpfr_rnd_t rnd)
{
    if (part < 0) return 0.0;
    mpfr_t f;
    mpfr_init2(f, 53);
    part_fr(f, c, part, neg, rnd);
    double d = mpfr_get_d(f, rnd);
    mpfr_clear(f);
    return d;
}

}  // namespace

namespace {
// The floating and interval results of coefnum_build: a value that is zero once rounded (the real
// part of a pure imaginary number, a rational below the smallest double) is tag 0.
template <class V>
coef boxed_or_zero(V* v, eBHTypeCoef tag)
{
    coef r = coef_fromptr(v, tag);
    if (!g_kst_coef_vtable[tag].iszero(&r)) return r;
    deletecoef(&r);
    return coef{};
}
}  // namespace

coef coefnum_build(t_cctx* ctx, eBHTypeCoef to, const coef* c, int pre, int pim, bool negim)
{
    if (c->type == BH_ZERO) return coef{};
    switch (to) {
    case BH_ZERO: return coef{};
    case BH_DBL: return dbl_or_zero(part_dbl(c, pre, false));
    case BH_ZDBL: return zdbl_or_zero(part_dbl(c, pre, false), part_dbl(c, pim, negim));
    case BH_RAT: {
        mpq_t q;
        mpq_init(q);
        part_q(q, c, pre, false);
        coef r = ratovf_fromq(q);
        mpq_clear(q);
        return r;
    }
    case BH_ZRAT: {
        mpq_t a, b;
        mpq_init(a);
        mpq_init(b);
        part_q(a, c, pre, false);
        part_q(b, c, pim, negim);
        coef r = zratovf_fromq(a, b);
        mpq_clear(a);
        mpq_clear(b);
        return r;
    }
    case BH_QUAD: return boxed_or_zero(quad_new(part_quad(c, pre, false)), BH_QUAD);
    case BH_ZQUAD: return boxed_or_zero(zquad_new(part_quad(c, pre, false), part_quad(c, pim, negim)), BH_ZQUAD);
    case BH_INTDBL:
        return boxed_or_zero(new t_dbiasinterval{part_dblbound(c, pre, false, MPFR_RNDD),
                                                 part_dblbound(c, pre, false, MPFR_RNDU)},
                             BH_INTDBL);
    case BH_ZINTDBL:
        return boxed_or_zero(
            new t_dcbiasinterval{{part_dblbound(c, pre, false, MPFR_RNDD), part_dblbound(c, pre, false, MPFR_RNDU)},
                                 {part_dblbound(c, pim, negim, MPFR_RNDD), part_dblbound(c, pim, negim, MPFR_RNDU)}},
            BH_ZINTDBL);
    case BH_INTQUAD:
        return boxed_or_zero(new t_ldbiasinterval{part_quad(c, pre, false, MPFR_RNDD),
                                                  part_quad(c, pre, false, MPFR_RNDU)},
                             BH_INTQUAD);
    case BH_ZINTQUAD:
        return boxed_or_zero(
            new t_ldcbiasinterval{{part_quad(c, pre, false, MPFR_RNDD), part_quad(c, pre, false, MPFR_RNDU)},
                                  {part_quad(c, pim, negim, MPFR_RNDD), part_quad(c, pim, negim, MPFR_RNDU)}},
            BH_ZINTQUAD);
    case BH_RATMP:
    case BH_INTMP: {
        __mpq_struct* q = ratmp_new();
        part_q(q, c, pre, false);
        // a GMP rational target stays a (possibly integral) rational: the mixed cells rely on
        // getting the tag they asked for; coefnum_convert_to normalises afterwards
        if (to == BH_RATMP && mpq_sgn(q) != 0) return coef_fromptr(q, BH_RATMP);
        return ratmp_wrap(q);
    }
    case BH_ZRATMP:
    case BH_ZINTMP: {
        t_zratmp* q = zratmp_new();
        part_q(q->re, c, pre, false);
        part_q(q->im, c, pim, negim);
        if (to == BH_ZRATMP && (mpq_sgn(q->re) != 0 || mpq_sgn(q->im) != 0)) return coef_fromptr(q, BH_ZRATMP);
        return zratmp_wrap(q);
    }
    case BH_FPMP: {
        __mpfr_struct* f = fpmp_new(ctx);
        part_fr(f, c, pre, false, MPFR_RNDN);
        return boxed_or_zero(f, BH_FPMP);
    }
    case BH_ZFPMP: {
        __mpc_struct* z = zfpmp_new(ctx);
        part_fr(mpc_realref(z), c, pre, false, MPFR_RNDN);
        part_fr(mpc_imagref(z), c, pim, negim, MPFR_RNDN);
        return boxed_or_zero(z, BH_ZFPMP);
    }
    default: kst_iceerror(1041, "coefnum_build");
    }
}

coef coefnum_convert_raw(t_cctx* ctx, const coef* c, eBHTypeCoef to)
{
    if (c->type == BH_ZERO) return coef{};
    if (c->type == to) return copycoef(c);
    return coefnum_build(ctx, to, c, 0, coefnum_iscomplex(c->type) ? 1 : -1, false);
}

coef coefnum_convert_to(t_cctx* ctx, const coef* c, eBHTypeCoef to)
{
    coef r = coefnum_convert_raw(ctx, c, to);
    if (r.type == BH_RATMP) return ratmp_wrap(coef_box<t_ratmptype>(&r));
    if (r.type == BH_ZRATMP) return zratmp_wrap(coef_box<t_zratmptype>(&r));
    return r;
}

// ---------------------------------------------------------------- elementary functions

void coefnum_install_elemfuncs(eBHTypeCoef t, const t_coefnum_elemfuncs& f)
{
    coefvtable& v = g_kst_coef_vtable[t];
    v.cos = f.cos;
    v.sin = f.sin;
    v.tan = f.tan;
    v.acos = f.acos;
    v.asin = f.asin;
    v.atan = f.atan;
    v.cosh = f.cosh;
    v.sinh = f.sinh;
    v.tanh = f.tanh;
    v.acosh = f.acosh;
    v.asinh = f.asinh;
    v.atanh = f.atanh;
    v.exp = f.exp;
    v.log = f.log;
    v.log10 = f.log10;
    v.arg = f.arg;
    v.sqrt = f.sqrt;
    if (f.abs) v.abs = f.abs;
}

namespace {
template <coef_unop_fn coefvtable::*F>
coef viadbl(t_cctx* ctx, coef* a, int ka)
{
    eBHTypeCoef to = coefnum_iscomplex(a->type) ? BH_ZDBL : BH_DBL;
    coef t = coefnum_convert_raw(ctx, a, to);
    coefnum_release(a, ka);
    return (g_kst_coef_vtable[coef_tag(&t)].*F)(ctx, &t, 0);
}
}  // namespace

void coefnum_install_elemfuncs_viadbl(eBHTypeCoef t)
{
    t_coefnum_elemfuncs f{viadbl<&coefvtable::cos>,   viadbl<&coefvtable::sin>,   viadbl<&coefvtable::tan>,
                          viadbl<&coefvtable::acos>,  viadbl<&coefvtable::asin>,  viadbl<&coefvtable::atan>,
                          viadbl<&coefvtable::cosh>,  viadbl<&coefvtable::sinh>,  viadbl<&coefvtable::tanh>,
                          viadbl<&coefvtable::acosh>, viadbl<&coefvtable::asinh>, viadbl<&coefvtable::atanh>,
                          viadbl<&coefvtable::exp>,   viadbl<&coefvtable::log>,   viadbl<&coefvtable::log10>,
                          viadbl<&coefvtable::arg>,   viadbl<&coefvtable::sqrt>,  viadbl<&coefvtable::abs>};
    coefnum_install_elemfuncs(t, f);
}

// ---------------------------------------------------------------- integer power

coef coef_power_int(t_cctx* ctx, coef* a, int ka, long n)
{
    if (n < 0) {
        if (a->type == BH_ZERO) return coefnum_divbyzero(ctx, a, ka, a, 1);
        // one of the operand's own real type keeps exact types exact (1/INTMP is a RATMP)
        coef one = g_kst_coef_vtable[gc_BHReel[coef_tag(a)]].int2coef(ctx, 1);
        coef inv = coef_division(ctx, &one, 0, a, ka);
        // the magnitude of LONG_MIN does not fit a long: go through unsigned
        return coef_vt(&inv).power_ui(ctx, &inv, 0, (unsigned long)(-(n + 1)) + 1UL);
    }
    return coef_vt(a).power_ui(ctx, a, ka, (unsigned long)n);
}

// ---------------------------------------------------------------- packed blocks of numbers

namespace {
size_t slotsize(eBHTypeCoef t) { return (size_t)g_BHSize[t]; }
void* slot(eBHTypeCoef t, void* data, long i) { return (char*)data + (size_t)i * slotsize(t); }

// Frees the shell of a box whose contents were moved elsewhere (the structures are trivial).
void free_shell(eBHTypeCoef t, void* p)
{
    switch (t) {
    case BH_ZRAT: delete static_cast<zrat*>(p); break;
    case BH_QUAD: delete static_cast<__float128*>(p); break;
    case BH_ZQUAD: delete static_cast<zquad*>(p); break;
    case BH_INTDBL: delete static_cast<t_dbiasinterval*>(p); break;
    case BH_ZINTDBL: delete static_cast<t_dcbiasinterval*>(p); break;
    case BH_INTQUAD: delete static_cast<t_ldbiasinterval*>(p); break;
    case BH_ZINTQUAD: delete static_cast<t_ldcbiasinterval*>(p); break;
    case BH_RATMP: delete static_cast<__mpq_struct*>(p); break;
    case BH_ZRATMP: delete static_cast<t_zratmp*>(p); break;
    case BH_FPMP: delete static_cast<__mpfr_struct*>(p); break;
    case BH_ZFPMP: delete static_cast<__mpc_struct*>(p); break;
    case BH_INTMP: s_gmpsmall.put(p); break;
    case BH_ZINTMP: delete static_cast<t_zintmp*>(p); break;
    default: break;
    }
}

void store_zero(t_cctx* ctx, eBHTypeCoef t, void* s)
{
    switch (t) {
    case BH_RAT: *static_cast<rationnel*>(s) = rationnel{0, 1}; break;
    case BH_ZRAT: *static_cast<zrat*>(s) = zrat{{0, 1}, {0, 1}}; break;
    case BH_INTMP: mpz_init(static_cast<__mpz_struct*>(s)); break;
    case BH_ZINTMP: mpz_init(static_cast<t_zintmp*>(s)->re); mpz_init(static_cast<t_zintmp*>(s)->im); break;
    case BH_RATMP: mpq_init(static_cast<__mpq_struct*>(s)); break;
    case BH_ZRATMP: mpq_init(static_cast<t_zratmp*>(s)->re); mpq_init(static_cast<t_zratmp*>(s)->im); break;
    case BH_FPMP: mpfr_init2(static_cast<__mpfr_struct*>(s), kst_mpfr_prec(ctx)); mpfr_set_zero(static_cast<__mpfr_struct*>(s), 1); break;
    case BH_ZFPMP: mpc_init2(static_cast<__mpc_struct*>(s), kst_mpfr_prec(ctx)); mpc_set_ui(static_cast<__mpc_struct*>(s), 0, MPC_RNDNN); break;
    default: memset(s, 0, slotsize(t)); break;   // doubles, quads and intervals: all-zero bytes are 0
    }
}
}  // namespace

coef coefnum_blockview(eBHTypeCoef t, void* data, long i)
{
    coef c{};
    void* s = slot(t, data, i);
    switch (t) {
    case BH_DBL: c.d = *static_cast<double*>(s); break;
    case BH_ZDBL: c.z = *static_cast<complexe*>(s); break;
    case BH_RAT:
        c.r = *static_cast<rationnel*>(s);
        if (c.r.den == -1) {   // a ratovf carrying a double: its numerator word is that double
            c.w[1] = 0;
            c.type = BH_DBL;
            return c;
        }
        break;
    case BH_ZRAT: {
        const zrat* z = static_cast<const zrat*>(s);
        if (z->re.den == -1 || z->im.den == -1) {   // overflowed: the parts are doubles
            mpq_t q;
            mpq_init(q);
            q_from_rat(q, z->re);
            c.z.re = q_to_dbl(q);
            q_from_rat(q, z->im);
            c.z.im = q_to_dbl(q);
            mpq_clear(q);
            c.type = BH_ZDBL;
            return c;
        }
        c.p = s;
        break;
    }
    default: c.p = s; break;
    }
    c.type = t;
    return c;
}

void coefnum_blockstore(t_cctx* ctx, eBHTypeCoef t, void* data, long i, coef* c)
{
    void* s = slot(t, data, i);
    if (c->type == BH_ZERO) {
        store_zero(ctx, t, s);
    } else if (c->type == t) {
        switch (t) {
        case BH_DBL: *static_cast<double*>(s) = c->d; break;
        case BH_ZDBL: *static_cast<complexe*>(s) = c->z; break;
        case BH_RAT: *static_cast<rationnel*>(s) = c->r; break;
        default:
            memcpy(s, c->p, slotsize(t));   // the limbs now belong to the slot
            free_shell(t, c->p);
            break;
        }
    } else if (t == BH_RAT && c->type == BH_DBL) {
        rationnel r;   // an overflowed 64-bit rational travels as a ratovf holding a double
        memcpy(&r.num, &c->d, sizeof c->d);
        r.den = -1;
        *static_cast<rationnel*>(s) = r;
    } else if (t == BH_ZRAT && c->type == BH_ZDBL) {
        zrat z;
        memcpy(&z.re.num, &c->z.re, sizeof(double));
        memcpy(&z.im.num, &c->z.im, sizeof(double));
        z.re.den = z.im.den = -1;
        *static_cast<zrat*>(s) = z;
    } else {
        // any other tag: bring it to the block's type first (exactly that tag, or an overflowed
        // rational handled above)
        coef r = coefnum_convert_raw(ctx, c, t);
        deletecoef(c);
        const bool storable = r.type == t || r.type == BH_ZERO || (t == BH_RAT && r.type == BH_DBL) ||
                              (t == BH_ZRAT && r.type == BH_ZDBL);
        if (!storable) kst_iceerror(1041, "coefnum_blockstore");
        coefnum_blockstore(ctx, t, data, i, &r);
        return;
    }
    c->type = BH_ZERO;
}

void coefnum_blockclear(eBHTypeCoef t, void* data, long i)
{
    void* s = slot(t, data, i);
    switch (t) {
    case BH_INTMP: mpz_clear(static_cast<__mpz_struct*>(s)); break;
    case BH_ZINTMP: mpz_clear(static_cast<t_zintmp*>(s)->re); mpz_clear(static_cast<t_zintmp*>(s)->im); break;
    case BH_RATMP: mpq_clear(static_cast<__mpq_struct*>(s)); break;
    case BH_ZRATMP: mpq_clear(static_cast<t_zratmp*>(s)->re); mpq_clear(static_cast<t_zratmp*>(s)->im); break;
    case BH_FPMP: mpfr_clear(static_cast<__mpfr_struct*>(s)); break;
    case BH_ZFPMP: mpc_clear(static_cast<__mpc_struct*>(s)); break;
    default: break;
    }
}

void* coefnum_block_convert(t_cctx* ctx, long count, void* src, eBHTypeCoef from, eBHTypeCoef to)
{
    void* dst = kst_checkmalloc(kst_checkmulsize((size_t)count, slotsize(to) ? slotsize(to) : 1), "SYSCHECKMALLOC");
    for (long i = 0; i < count; i++) {
        coef v = coefnum_blockview(from, src, i);
        coef r = (v.type == to) ? copycoef(&v) : coefnum_convert_raw(ctx, &v, to);
        coefnum_blockstore(ctx, to, dst, i, &r);
    }
    return dst;
}
