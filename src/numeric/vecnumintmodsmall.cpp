// Vectors of residues modulo a small prime: storage in 8, 16 or 32 bits, conversion from and to
// coefficients, reductions, display, and the element-wise kernels (one loop per operation and
// width, the modulus and the operand checks taken out of the loop).
#include "numeric/vecnumintmodsmall.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "coef/coefnum.h"
#include "interp/error.h"
#include "interp/roomapi.h"
#include "render/render.h"

namespace {

uint32_t widthof(uint32_t p) { return p - 1 <= 0xFFu ? 1 : p - 1 <= 0xFFFFu ? 2 : 4; }

uint32_t mulmod(uint32_t a, uint32_t b, uint32_t p) { return (uint32_t)((uint64_t)a * b % p); }

uint32_t powmod(uint32_t b, uint64_t e, uint32_t p)
{
    uint32_t r = 1 % p;
    while (e) {
        if (e & 1) r = mulmod(r, b, p);
        e >>= 1;
        if (e) b = mulmod(b, b, p);
    }
    return r;
}

// Deterministic below 2^32 with the witnesses 2, 7 and 61.
bool isprime32(uint32_t n)
{
    if (n < 2) return false;
    for (uint32_t s : {2u, 3u, 5u, 7u, 61u})
        if (n % s == 0) return n == s;
    uint32_t d = n - 1;
    int r = 0;
    while (!(d & 1)) {
        d >>= 1;
        r++;
    }
    for (uint32_t a : {2u, 7u, 61u}) {
        uint32_t x = powmod(a, d, n);
        if (x == 1 || x == n - 1) continue;
        bool composite = true;
        for (int k = 1; k < r && composite; k++) {
            x = mulmod(x, x, n);
            if (x == n - 1) composite = false;
        }
        if (composite) return false;
    }
    return true;
}

// Inverse of a non-zero residue (extended Euclid; p prime so it exists).
uint32_t invmod(uint32_t a, uint32_t p)
{
    int64_t t = 0, nt = 1, r = p, nr = a;
    while (nr) {
        const int64_t q = r / nr;
        int64_t x = t - q * nt;
        t = nt;
        nt = x;
        x = r - q * nr;
        r = nr;
        nr = x;
    }
    return (uint32_t)(t < 0 ? t + p : t);
}

template <t_intmodop OP>
inline uint32_t opmod(uint32_t x, uint32_t y, uint32_t p)
{
    if constexpr (OP == INTMOD_ADD) {
        const uint64_t s = (uint64_t)x + y;
        return (uint32_t)(s >= p ? s - p : s);
    } else if constexpr (OP == INTMOD_SUB) {
        return x >= y ? x - y : (uint32_t)((uint64_t)x + p - y);
    } else if constexpr (OP == INTMOD_MUL) {
        return mulmod(x, y, p);
    } else if constexpr (OP == INTMOD_DIV) {
        return mulmod(x, invmod(y, p), p);
    } else {
        return powmod(x, y, p);
    }
}

// d[i] = fa(i) op fb(i) over the storage of width U.
template <class U, t_intmodop OP, class FA, class FB>
void runloop(void* dst, uint32_t n, uint32_t p, FA fa, FB fb)
{
    U* d = static_cast<U*>(dst);
    for (uint32_t i = 0; i < n; i++) d[i] = (U)opmod<OP>(fa(i), fb(i), p);
}

template <class U>
const U* cells(const t_vecnum* v)
{
    return static_cast<const U*>(v->rawdata());
}

t_vecnumintmodsmall* asmod(t_vecnum* v) { return static_cast<t_vecnumintmodsmall*>(v); }
const t_vecnumintmodsmall* asmod(const t_vecnum* v) { return static_cast<const t_vecnumintmodsmall*>(v); }

coef intcoef(uint32_t r)
{
    __mpz_struct* z = intmp_new();
    mpz_set_ui(z, r);
    return intmp_wrap(z);
}

void release(t_vecnum* v, int keep)
{
    if (!keep && v) v->Vdelete();
}

// Calls f(U()) with the storage type of a width.
template <class F>
void bywidth(size_t bits, F&& f)
{
    if (bits == 8) f(uint8_t{});
    else if (bits == 16) f(uint16_t{});
    else f(uint32_t{});
}

// a op b element by element into dst (dst may be a or b).
template <t_intmodop OP>
void vv(t_vecnumintmodsmall* dst, const t_vecnumintmodsmall* a, const t_vecnumintmodsmall* b)
{
    bywidth(a->bits(), [&](auto u) {
        using U = decltype(u);
        const U* x = cells<U>(a);
        const U* y = cells<U>(b);
        runloop<U, OP>(dst->rawdata(), a->size(), a->modulus(), [x](uint32_t i) -> uint32_t { return x[i]; },
                       [y](uint32_t i) -> uint32_t { return y[i]; });
    });
}

// v op s (side 0) or s op v (side 1) for a residue s.
template <t_intmodop OP>
void vs(t_vecnumintmodsmall* dst, const t_vecnumintmodsmall* v, uint32_t s, int side)
{
    bywidth(v->bits(), [&](auto u) {
        using U = decltype(u);
        const U* x = cells<U>(v);
        auto fv = [x](uint32_t i) -> uint32_t { return x[i]; };
        auto fs = [s](uint32_t) { return s; };
        if (side == 0) runloop<U, OP>(dst->rawdata(), v->size(), v->modulus(), fv, fs);
        else runloop<U, OP>(dst->rawdata(), v->size(), v->modulus(), fs, fv);
    });
}

bool haszero(const t_vecnumintmodsmall* v)
{
    for (uint32_t i = 0; i < v->size(); i++)
        if (v->get(i) == 0) return true;
    return false;
}

void dispatch_vv(t_intmodop op, t_vecnumintmodsmall* d, const t_vecnumintmodsmall* a, const t_vecnumintmodsmall* b)
{
    switch (op) {
    case INTMOD_ADD: vv<INTMOD_ADD>(d, a, b); break;
    case INTMOD_SUB: vv<INTMOD_SUB>(d, a, b); break;
    case INTMOD_MUL: vv<INTMOD_MUL>(d, a, b); break;
    case INTMOD_DIV: vv<INTMOD_DIV>(d, a, b); break;
    case INTMOD_POW: vv<INTMOD_POW>(d, a, b); break;
    }
}

void dispatch_vs(t_intmodop op, t_vecnumintmodsmall* d, const t_vecnumintmodsmall* v, uint32_t s, int side)
{
    switch (op) {
    case INTMOD_ADD: vs<INTMOD_ADD>(d, v, s, side); break;
    case INTMOD_SUB: vs<INTMOD_SUB>(d, v, s, side); break;
    case INTMOD_MUL: vs<INTMOD_MUL>(d, v, s, side); break;
    case INTMOD_DIV: vs<INTMOD_DIV>(d, v, s, side); break;
    case INTMOD_POW: vs<INTMOD_POW>(d, v, s, side); break;
    }
}

// v[i]^e for an integer e of any size and sign: a non-zero residue has order dividing p - 1, so
// e counts modulo p - 1; zero stays zero (e > 0) or gives one (e = 0). Zero bases with e < 0
// are refused before (446).
void powinteger(t_vecnumintmodsmall* d, const t_vecnumintmodsmall* v, mpz_srcptr e)
{
    const uint32_t p = v->modulus();
    const uint32_t ered = (uint32_t)mpz_fdiv_ui(e, p - 1);
    const int sign = mpz_sgn(e);
    bywidth(v->bits(), [&](auto u) {
        using U = decltype(u);
        const U* x = cells<U>(v);
        U* out = static_cast<U*>(d->rawdata());
        for (uint32_t i = 0; i < v->size(); i++) out[i] = (U)(x[i] == 0 ? (sign == 0 ? 1 % p : 0) : powmod(x[i], ered, p));
    });
}

}  // namespace

// ---------------------------------------------------------------- the class

t_vecnumintmodsmall::t_vecnumintmodsmall(const char* name, uint32_t p, uint32_t n)
    : t_vecnum(VECNUM_INTMODSMALL, name, 0), m_p(p), m_width(widthof(p))
{
    grow(n);
}

t_vecnumintmodsmall::t_vecnumintmodsmall(const t_vecnumintmodsmall& o)
    : t_vecnum(o.vecflag(), o.getName(), 0), m_p(o.m_p), m_width(o.m_width)
{
    grow(o.m_size);
    if (o.m_size) memcpy(m_pdata, o.m_pdata, (size_t)o.m_size * m_width);
}

t_vecnumintmodsmall::~t_vecnumintmodsmall() { free(m_pdata); }

void t_vecnumintmodsmall::grow(uint32_t n)
{
    if (n <= m_size) return;
    if (n > m_reserved || !m_pdata) {
        void* p = realloc(m_pdata, kst_checkmulsize(n, m_width));
        if (!p) kst_fatalerror(436, (long)n * (long)m_width, "SYSCHECKMALLOCSIZE");
        m_pdata = p;
        m_reserved = n;
    }
    memset(static_cast<char*>(m_pdata) + (size_t)m_size * m_width, 0, (size_t)(n - m_size) * m_width);
    m_size = n;
}

uint32_t t_vecnumintmodsmall::get(uint32_t i) const
{
    switch (m_width) {
    case 1: return static_cast<const uint8_t*>(m_pdata)[i];
    case 2: return static_cast<const uint16_t*>(m_pdata)[i];
    default: return static_cast<const uint32_t*>(m_pdata)[i];
    }
}

void t_vecnumintmodsmall::set(uint32_t i, uint32_t r)
{
    switch (m_width) {
    case 1: static_cast<uint8_t*>(m_pdata)[i] = (uint8_t)r; break;
    case 2: static_cast<uint16_t*>(m_pdata)[i] = (uint16_t)r; break;
    default: static_cast<uint32_t*>(m_pdata)[i] = r; break;
    }
}

bool t_vecnumintmodsmall::reduce(t_cctx* ctx, const coef* c, uint32_t* r) const
{
    *r = 0;
    if (c->type == BH_ZERO) return true;
    mpq_t q;
    mpq_init(q);
    coefnum_get_q(q, c, 0);
    const uint32_t num = (uint32_t)mpz_fdiv_ui(mpq_numref(q), m_p);
    const uint32_t den = (uint32_t)mpz_fdiv_ui(mpq_denref(q), m_p);
    mpq_clear(q);
    if (den == 0) {
        kst_runerror(ctx, 446);
        return false;
    }
    *r = den == 1 ? num : mulmod(num, invmod(den, m_p), m_p);
    return true;
}

void t_vecnumintmodsmall::Vreset(t_cctx*, uint32_t n)
{
    free(m_pdata);
    m_pdata = nullptr;
    m_size = m_reserved = 0;
    grow(n);
}

t_vecnum* t_vecnumintmodsmall::Vcreate(t_cctx*, const char* name, uint32_t n) const
{
    return new t_vecnumintmodsmall(name ? name : getName(), m_p, n);
}

coef t_vecnumintmodsmall::data2coef(t_cctx*, uint32_t i) const { return intcoef(get(i)); }

void t_vecnumintmodsmall::coef2data(t_cctx* ctx, uint32_t i, const coef* c)
{
    uint32_t r;
    if (!reduce(ctx, c, &r)) return;
    if (i >= m_size) grow(i + 1);
    set(i, r);
}

coef t_vecnumintmodsmall::Vsum(t_cctx*, int, int) const
{
    uint32_t s = 0;
    for (uint32_t i = 0; i < m_size; i++) s = opmod<INTMOD_ADD>(s, get(i), m_p);
    return intcoef(s);
}

coef t_vecnumintmodsmall::Vprod(t_cctx*, int) const
{
    uint32_t s = 1 % m_p;
    for (uint32_t i = 0; i < m_size; i++) s = mulmod(s, get(i), m_p);
    return intcoef(s);
}

namespace {
t_vecnum* combine(t_cctx* ctx, const t_vecnumintmodsmall* a, const t_vecnum* b, bool both)
{
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        return nullptr;
    }
    auto* r = static_cast<t_vecnumintmodsmall*>(a->Vcreate(ctx, "", a->size()));
    for (uint32_t i = 0; i < a->size(); i++) {
        coef c = b->data2coef(ctx, i);
        const bool x = a->get(i) != 0, y = c.type != BH_ZERO;
        deletecoef(&c);
        r->set(i, (both ? x && y : x || y) ? 1 : 0);
    }
    return r;
}
}  // namespace

t_vecnum* t_vecnumintmodsmall::Vcmpand(t_cctx* ctx, const t_vecnum* o) const { return combine(ctx, this, o, true); }
t_vecnum* t_vecnumintmodsmall::Vcmpor(t_cctx* ctx, const t_vecnum* o) const { return combine(ctx, this, o, false); }

void t_vecnumintmodsmall::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = kst_cctx_getrender(ctx, stream);
    char buf[64];
    snprintf(buf, sizeof buf, "t_vecnumintmodsmall<%zu bits>('", bits());
    std::string text = buf;
    text += getName();
    text += "' = {";
    for (uint32_t i = 0; i < m_size; i++) {
        snprintf(buf, sizeof buf, i ? ", %u" : "%u", get(i));
        text += buf;
    }
    snprintf(buf, sizeof buf, "}) mod %u", m_p);
    text += buf;
    r->Vrender_unsafe(text.c_str());
    r->writenewline();
}

// ---------------------------------------------------------------- creation and conversion

t_vecnum* vecnum_createintmodsmall(t_cctx* ctx, const char* name, uint32_t p, uint32_t n)
{
    if (!isprime32(p)) {
        kst_runerror(ctx, 444);
        return nullptr;
    }
    return new t_vecnumintmodsmall(name ? name : "", p, n);
}

t_vecnum* vecnum_convertintmodsmall(t_cctx* ctx, const t_vecnum* v, uint32_t p, const char* name)
{
    t_vecnum* r = vecnum_createintmodsmall(ctx, name, p, v->size());
    if (!r) return nullptr;
    auto* m = asmod(r);
    for (uint32_t i = 0; i < v->size(); i++) {
        coef c = v->data2coef(ctx, i);
        uint32_t x;
        const bool ok = m->reduce(ctx, &c, &x);
        deletecoef(&c);
        if (!ok) {
            r->Vdelete();
            return nullptr;
        }
        m->set(i, x);
    }
    return r;
}

// ---------------------------------------------------------------- element-wise operations

t_vecnum* intmodsmall_vecvec(t_cctx* ctx, t_intmodop op, t_vecnum* a, int keepa, t_vecnum* b, int keepb)
{
    int err = 0;
    if (a->vecflag() != VECNUM_INTMODSMALL || b->vecflag() != VECNUM_INTMODSMALL) err = 23;
    else if (asmod(a)->modulus() != asmod(b)->modulus()) err = 445;
    else if (a->size() != b->size()) err = 143;
    else if (op == INTMOD_DIV && haszero(asmod(b))) err = 446;
    if (err) {
        if (err == 143) kst_runerror(ctx, 143, a->getName(), b->getName());
        else kst_runerror(ctx, err);
        release(a, keepa);
        if (b != a) release(b, keepb);
        return nullptr;
    }
    t_vecnum* dst = !keepa ? a : (!keepb ? b : a->Vcreate(ctx, "", a->size()));
    dispatch_vv(op, asmod(dst), asmod(a), asmod(b));
    if (dst != a) release(a, keepa);
    if (dst != b && b != a) release(b, keepb);
    return dst;
}

t_vecnum* intmodsmall_coef(t_cctx* ctx, t_intmodop op, int side, t_vecnum* v, int keepv, coef* c, int keepc)
{
    const t_vecnumintmodsmall* src = asmod(v);
    int err = 0;
    uint32_t s = 0;
    mpz_t e;
    mpz_init(e);
    const bool integerexponent = op == INTMOD_POW && side == 0;
    if (integerexponent) {
        // The exponent is an integer, not a residue: its sign and size matter.
        mpq_t q;
        mpq_init(q);
        if (c->type != BH_ZERO) coefnum_get_q(q, c, 0);
        if (mpz_cmp_ui(mpq_denref(q), 1) != 0) err = 26;
        else mpz_set(e, mpq_numref(q));
        mpq_clear(q);
        if (!err && mpz_sgn(e) < 0 && haszero(src)) err = 446;
    } else if (!src->reduce(ctx, c, &s)) {
        err = -1;   // reported by reduce
    } else if (op == INTMOD_DIV && (side == 0 ? s == 0 : haszero(src))) {
        err = 446;
    }
    if (!err && op == INTMOD_DIV && side == 0) {   // one inverse for the whole vector
        op = INTMOD_MUL;
        s = invmod(s, src->modulus());
    }
    t_vecnum* dst = nullptr;
    if (err > 0) kst_runerror(ctx, err);
    if (!err) {
        dst = keepv ? v->Vcreate(ctx, "", v->size()) : v;
        if (integerexponent) powinteger(asmod(dst), src, e);
        else dispatch_vs(op, asmod(dst), src, s, side);
    }
    mpz_clear(e);
    if (dst != v) release(v, keepv);
    if (!keepc) deletecoef(c);
    return dst;
}

t_vecnum* intmodsmall_cmp(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b, t_vecnum_cmpop op)
{
    if (a->vecflag() != VECNUM_INTMODSMALL || b->vecflag() != VECNUM_INTMODSMALL || (op != VCMP_EQ && op != VCMP_NE)) {
        kst_runerror(ctx, 23);
        return nullptr;
    }
    if (asmod(a)->modulus() != asmod(b)->modulus()) {
        kst_runerror(ctx, 445);
        return nullptr;
    }
    if (a->size() != b->size()) {
        kst_runerror(ctx, 143, a->getName(), b->getName());
        return nullptr;
    }
    auto* r = static_cast<t_vecnumintmodsmall*>(a->Vcreate(ctx, "", a->size()));
    for (uint32_t i = 0; i < a->size(); i++)
        r->set(i, (asmod(a)->get(i) == asmod(b)->get(i)) == (op == VCMP_EQ) ? 1 : 0);
    return r;
}
