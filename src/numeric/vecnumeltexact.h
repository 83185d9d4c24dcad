// Element operations of the interval and GMP vectors (double intervals, GMP integers and rationals
// and their complex forms), in the shape of t_vecelt of vecnumtyped.h. Included by vecnumtyped.h.
//
// Besides the common operations these traits may carry:
// - le(a, b): the ordering "a <= b" when it is not "a < b or a == b" (intervals: certainly below);
// - sortlt(a, b): a strict weak order for sorting and extrema when lt is not one (intervals);
// - divcheck(b), powcheck(a, b): 0 when a / b and a ^ b are defined, else the number of the run
//   error to report. The vector operations check every operand pair before computing, so the
//   element kernels never see a zero divisor or an exponent they cannot take.
#pragma once
#include <cmath>

#include "coef/coefnum.h"

// ---------------------------------------------------------------- double intervals
// The bounds are rounded outward: every result encloses the exact result of its operands. The
// kernels live in vecnumintdbl.cpp, compiled with the rounding-mode discipline the interval
// arithmetic needs. Intervals have no complex vector type here.
template <> struct t_vecelt<t_intdbltype> {
    using E = t_dbiasinterval;
    using R = t_dbiasinterval;
    using realtrait = t_intdbltype;
    using cplxtrait = t_intdbltype;
    static constexpr bool cplx = false;
    static constexpr int rank = 3;
    static void init(E* e, long) { *e = E{0, 0}; }
    static void clear(E*) {}
    static void set(E* d, const E* s) { *d = *s; }
    static void setzero(E* d) { *d = E{0, 0}; }
    // The tightest enclosure of the coefficient's real part (an interval is taken as it is).
    static void fromcoef(t_cctx*, E* d, const coef* c);
    static coef tocoef(t_cctx*, const E* e)
    {
        if (e->inf == 0 && e->sup == 0) return coef{};
        return coef_fromptr(new t_dbiasinterval(*e), BH_INTDBL);
    }
    static void add(E* d, const E* a, const E* b);
    static void sub(E* d, const E* a, const E* b);
    static void mul(E* d, const E* a, const E* b);
    // A divisor containing zero gives the whole line, which still encloses the quotient.
    static void div(E* d, const E* a, const E* b);
    static void pow(E* d, const E* a, const E* b);
    static int powcheck(const E*, const E* b)
    {
        return b->inf == b->sup && std::floor(b->inf) == b->inf && std::fabs(b->inf) <= 2147483647.0 ? 0 : 26;
    }
    static bool eq(const E* a, const E* b) { return a->inf == b->inf && a->sup == b->sup; }
    // Certain order: every point of a below (at most) every point of b.
    static bool lt(const E* a, const E* b) { return a->sup < b->inf; }
    static bool le(const E* a, const E* b) { return a->sup <= b->inf; }
    static bool sortlt(const E* a, const E* b) { return a->inf < b->inf || (a->inf == b->inf && a->sup < b->sup); }
    static bool isnan(const E* a) { return std::isnan(a->inf) || std::isnan(a->sup); }
    static bool iszero(const E* a) { return a->inf == 0 && a->sup == 0; }
    static double todbl(const E* a) { return a->inf == a->sup ? a->inf : a->inf + (a->sup - a->inf) / 2; }
    static void fromdbl(E* d, double v) { *d = E{v, v}; }
    static void setone(E* d) { *d = E{1, 1}; }
    static void re(R* d, const E* s) { *d = *s; }
};

// ---------------------------------------------------------------- GMP numbers

// Scratch numbers of the calling thread for the complex kernels, so that no element operation
// allocates a number of its own.
struct t_gmpscratch {
    mpz_t z[3];
    mpq_t q[4];
    t_gmpscratch()
    {
        for (auto& x : z) mpz_init(x);
        for (auto& x : q) mpq_init(x);
    }
    ~t_gmpscratch()
    {
        for (auto& x : z) mpz_clear(x);
        for (auto& x : q) mpq_clear(x);
    }
    t_gmpscratch(const t_gmpscratch&) = delete;
    t_gmpscratch& operator=(const t_gmpscratch&) = delete;
};
inline t_gmpscratch& gmp_scratch()
{
    thread_local t_gmpscratch s;
    return s;
}

// The real part (part 0) or imaginary part (1) of a coefficient as an integer, truncated toward
// zero, and as an exact rational.
void vecelt_getz(mpz_ptr d, const coef* c, int part);
inline void vecelt_getq(mpq_ptr d, const coef* c, int part) { coefnum_get_q(d, c, part); }

// GMP integers. Division of integer vectors is done by the rational vectors (the vector
// operations convert first); the kernel here, reached only through a direct call, is the
// quotient truncated toward zero.
template <> struct t_vecelt<t_intmptype> {
    using E = __mpz_struct;
    using R = __mpz_struct;
    using realtrait = t_intmptype;
    using cplxtrait = t_zintmptype;
    static constexpr bool cplx = false;
    static constexpr int rank = 4;
    static void init(E* e, long) { mpz_init(e); }
    static void clear(E* e) { mpz_clear(e); }
    static void set(E* d, const E* s) { mpz_set(d, s); }
    static void setzero(E* d) { mpz_set_ui(d, 0); }
    static void fromcoef(t_cctx*, E* d, const coef* c) { vecelt_getz(d, c, 0); }
    static coef tocoef(t_cctx*, const E* e)
    {
        __mpz_struct* z = intmp_new();
        mpz_set(z, e);
        return intmp_wrap(z);
    }
    static void add(E* d, const E* a, const E* b) { mpz_add(d, a, b); }
    static void sub(E* d, const E* a, const E* b) { mpz_sub(d, a, b); }
    static void mul(E* d, const E* a, const E* b) { mpz_mul(d, a, b); }
    static void div(E* d, const E* a, const E* b) { mpz_tdiv_q(d, a, b); }
    static void pow(E* d, const E* a, const E* b) { mpz_pow_ui(d, a, mpz_get_ui(b)); }
    static int divcheck(const E* b) { return mpz_sgn(b) == 0 ? 24 : 0; }
    static int powcheck(const E*, const E* b) { return mpz_sgn(b) < 0 ? 133 : mpz_fits_ulong_p(b) ? 0 : 26; }
    static bool eq(const E* a, const E* b) { return mpz_cmp(a, b) == 0; }
    static bool lt(const E* a, const E* b) { return mpz_cmp(a, b) < 0; }
    static bool le(const E* a, const E* b) { return mpz_cmp(a, b) <= 0; }
    static bool isnan(const E*) { return false; }
    static bool iszero(const E* a) { return mpz_sgn(a) == 0; }
    static double todbl(const E* a) { return mpz_get_d(a); }
    static void fromdbl(E* d, double v)
    {
        if (std::isfinite(v)) mpz_set_d(d, v);
        else mpz_set_ui(d, 0);
    }
    static void setone(E* d) { mpz_set_ui(d, 1); }
    static void re(R* d, const E* s) { mpz_set(d, s); }
};

template <> struct t_vecelt<t_ratmptype> {
    using E = __mpq_struct;
    using R = __mpq_struct;
    using realtrait = t_ratmptype;
    using cplxtrait = t_zratmptype;
    static constexpr bool cplx = false;
    static constexpr int rank = 5;
    static void init(E* e, long) { mpq_init(e); }
    static void clear(E* e) { mpq_clear(e); }
    static void set(E* d, const E* s) { mpq_set(d, s); }
    static void setzero(E* d) { mpq_set_ui(d, 0, 1); }
    static void fromcoef(t_cctx*, E* d, const coef* c) { vecelt_getq(d, c, 0); }
    static coef tocoef(t_cctx*, const E* e)
    {
        __mpq_struct* q = ratmp_new();
        mpq_set(q, e);
        return ratmp_wrap(q);
    }
    static void add(E* d, const E* a, const E* b) { mpq_add(d, a, b); }
    static void sub(E* d, const E* a, const E* b) { mpq_sub(d, a, b); }
    static void mul(E* d, const E* a, const E* b) { mpq_mul(d, a, b); }
    static void div(E* d, const E* a, const E* b) { mpq_div(d, a, b); }
    // a^n for the integer n that powcheck accepted: numerator and denominator raised apart stay
    // coprime, so the result needs no canonicalisation.
    static void pow(E* d, const E* a, const E* b)
    {
        const long n = mpz_get_si(mpq_numref(b));
        const unsigned long m = n < 0 ? 0UL - (unsigned long)n : (unsigned long)n;
        if (n < 0) mpq_inv(d, a);
        else mpq_set(d, a);
        mpz_pow_ui(mpq_numref(d), mpq_numref(d), m);
        mpz_pow_ui(mpq_denref(d), mpq_denref(d), m);
    }
    static int divcheck(const E* b) { return mpq_sgn(b) == 0 ? 24 : 0; }
    static int powcheck(const E* a, const E* b)
    {
        if (mpz_cmp_ui(mpq_denref(b), 1) != 0 || !mpz_fits_slong_p(mpq_numref(b))) return 26;
        return mpq_sgn(b) < 0 && mpq_sgn(a) == 0 ? 24 : 0;
    }
    static bool eq(const E* a, const E* b) { return mpq_equal(a, b) != 0; }
    static bool lt(const E* a, const E* b) { return mpq_cmp(a, b) < 0; }
    static bool le(const E* a, const E* b) { return mpq_cmp(a, b) <= 0; }
    static bool isnan(const E*) { return false; }
    static bool iszero(const E* a) { return mpq_sgn(a) == 0; }
    static double todbl(const E* a) { return mpq_get_d(a); }
    static void fromdbl(E* d, double v)
    {
        if (std::isfinite(v)) mpq_set_d(d, v);
        else mpq_set_ui(d, 0, 1);
    }
    static void setone(E* d) { mpq_set_ui(d, 1, 1); }
    static void re(R* d, const E* s) { mpq_set(d, s); }
};

// Integer powers of the complex GMP elements by squaring, in scratch elements of the thread.
template <class O>
void vecelt_powui(typename O::E* d, const typename O::E* a, unsigned long n)
{
    struct t_pair {
        typename O::E base, acc;
        t_pair() { O::init(&base, 0), O::init(&acc, 0); }
        ~t_pair() { O::clear(&base), O::clear(&acc); }
    };
    thread_local t_pair s;
    O::set(&s.base, a);
    O::setone(&s.acc);
    while (n) {
        if (n & 1) O::mul(&s.acc, &s.acc, &s.base);
        n >>= 1;
        if (n) O::mul(&s.base, &s.base, &s.base);
    }
    O::set(d, &s.acc);
}

template <> struct t_vecelt<t_zintmptype> {
    using E = t_zintmp;
    using R = __mpz_struct;
    using realtrait = t_intmptype;
    using cplxtrait = t_zintmptype;
    static constexpr bool cplx = true;
    static constexpr int rank = 4;
    static void init(E* e, long)
    {
        mpz_init(e->re);
        mpz_init(e->im);
    }
    static void clear(E* e)
    {
        mpz_clear(e->re);
        mpz_clear(e->im);
    }
    static void set(E* d, const E* s)
    {
        mpz_set(d->re, s->re);
        mpz_set(d->im, s->im);
    }
    static void setzero(E* d)
    {
        mpz_set_ui(d->re, 0);
        mpz_set_ui(d->im, 0);
    }
    static void fromcoef(t_cctx*, E* d, const coef* c)
    {
        vecelt_getz(d->re, c, 0);
        if (coefnum_iscomplex(coef_tag(c))) vecelt_getz(d->im, c, 1);
        else mpz_set_ui(d->im, 0);
    }
    static coef tocoef(t_cctx*, const E* e)
    {
        t_zintmp* z = zintmp_new();
        mpz_set(z->re, e->re);
        mpz_set(z->im, e->im);
        return zintmp_wrap(z);
    }
    static void add(E* d, const E* a, const E* b)
    {
        mpz_add(d->re, a->re, b->re);
        mpz_add(d->im, a->im, b->im);
    }
    static void sub(E* d, const E* a, const E* b)
    {
        mpz_sub(d->re, a->re, b->re);
        mpz_sub(d->im, a->im, b->im);
    }
    static void mul(E* d, const E* a, const E* b)
    {
        t_gmpscratch& s = gmp_scratch();
        mpz_mul(s.z[0], a->re, b->re);
        mpz_submul(s.z[0], a->im, b->im);
        mpz_mul(s.z[1], a->re, b->im);
        mpz_addmul(s.z[1], a->im, b->re);
        mpz_swap(d->re, s.z[0]);
        mpz_swap(d->im, s.z[1]);
    }
    // a conj(b) / |b|^2, each part truncated toward zero (as for the real integers: the vector
    // operations divide complex integers as complex rationals).
    static void div(E* d, const E* a, const E* b)
    {
        t_gmpscratch& s = gmp_scratch();
        mpz_mul(s.z[0], a->re, b->re);
        mpz_addmul(s.z[0], a->im, b->im);
        mpz_mul(s.z[1], a->im, b->re);
        mpz_submul(s.z[1], a->re, b->im);
        mpz_mul(s.z[2], b->re, b->re);
        mpz_addmul(s.z[2], b->im, b->im);
        mpz_tdiv_q(d->re, s.z[0], s.z[2]);
        mpz_tdiv_q(d->im, s.z[1], s.z[2]);
    }
    static void pow(E* d, const E* a, const E* b) { vecelt_powui<t_vecelt>(d, a, mpz_get_ui(b->re)); }
    static int divcheck(const E* b) { return iszero(b) ? 24 : 0; }
    static int powcheck(const E*, const E* b)
    {
        if (mpz_sgn(b->im) != 0) return 26;
        if (mpz_sgn(b->re) < 0) return 133;
        return mpz_fits_ulong_p(b->re) ? 0 : 26;
    }
    static bool eq(const E* a, const E* b) { return mpz_cmp(a->re, b->re) == 0 && mpz_cmp(a->im, b->im) == 0; }
    static bool iszero(const E* a) { return mpz_sgn(a->re) == 0 && mpz_sgn(a->im) == 0; }
    static void setone(E* d)
    {
        mpz_set_ui(d->re, 1);
        mpz_set_ui(d->im, 0);
    }
    static void setri(E* d, const R* re, const R* im)
    {
        mpz_set(d->re, re);
        if (im) mpz_set(d->im, im);
        else mpz_set_ui(d->im, 0);
    }
    static void re(R* d, const E* s) { mpz_set(d, s->re); }
    static void im(R* d, const E* s) { mpz_set(d, s->im); }
};

template <> struct t_vecelt<t_zratmptype> {
    using E = t_zratmp;
    using R = __mpq_struct;
    using realtrait = t_ratmptype;
    using cplxtrait = t_zratmptype;
    static constexpr bool cplx = true;
    static constexpr int rank = 5;
    static void init(E* e, long)
    {
        mpq_init(e->re);
        mpq_init(e->im);
    }
    static void clear(E* e)
    {
        mpq_clear(e->re);
        mpq_clear(e->im);
    }
    static void set(E* d, const E* s)
    {
        mpq_set(d->re, s->re);
        mpq_set(d->im, s->im);
    }
    static void setzero(E* d)
    {
        mpq_set_ui(d->re, 0, 1);
        mpq_set_ui(d->im, 0, 1);
    }
    static void fromcoef(t_cctx*, E* d, const coef* c)
    {
        vecelt_getq(d->re, c, 0);
        if (coefnum_iscomplex(coef_tag(c))) vecelt_getq(d->im, c, 1);
        else mpq_set_ui(d->im, 0, 1);
    }
    static coef tocoef(t_cctx*, const E* e)
    {
        t_zratmp* z = zratmp_new();
        mpq_set(z->re, e->re);
        mpq_set(z->im, e->im);
        return zratmp_wrap(z);
    }
    static void add(E* d, const E* a, const E* b)
    {
        mpq_add(d->re, a->re, b->re);
        mpq_add(d->im, a->im, b->im);
    }
    static void sub(E* d, const E* a, const E* b)
    {
        mpq_sub(d->re, a->re, b->re);
        mpq_sub(d->im, a->im, b->im);
    }
    static void mul(E* d, const E* a, const E* b)
    {
        t_gmpscratch& s = gmp_scratch();
        mpq_mul(s.q[0], a->re, b->re);
        mpq_mul(s.q[2], a->im, b->im);
        mpq_sub(s.q[0], s.q[0], s.q[2]);
        mpq_mul(s.q[1], a->re, b->im);
        mpq_mul(s.q[2], a->im, b->re);
        mpq_add(s.q[1], s.q[1], s.q[2]);
        mpq_swap(d->re, s.q[0]);
        mpq_swap(d->im, s.q[1]);
    }
    // a conj(b) / |b|^2, exact. Every part of a and b is read before d is written (d may be either).
    static void div(E* d, const E* a, const E* b)
    {
        t_gmpscratch& s = gmp_scratch();
        mpq_mul(s.q[0], a->re, b->re);
        mpq_mul(s.q[3], a->im, b->im);
        mpq_add(s.q[0], s.q[0], s.q[3]);
        mpq_mul(s.q[1], a->im, b->re);
        mpq_mul(s.q[3], a->re, b->im);
        mpq_sub(s.q[1], s.q[1], s.q[3]);
        mpq_mul(s.q[2], b->re, b->re);
        mpq_mul(s.q[3], b->im, b->im);
        mpq_add(s.q[2], s.q[2], s.q[3]);
        mpq_div(d->re, s.q[0], s.q[2]);
        mpq_div(d->im, s.q[1], s.q[2]);
    }
    // 1 / d in place: conj(d) / |d|^2.
    static void inv(E* d)
    {
        t_gmpscratch& s = gmp_scratch();
        mpq_mul(s.q[2], d->re, d->re);
        mpq_mul(s.q[3], d->im, d->im);
        mpq_add(s.q[2], s.q[2], s.q[3]);
        mpq_div(d->re, d->re, s.q[2]);
        mpq_div(d->im, d->im, s.q[2]);
        mpq_neg(d->im, d->im);
    }
    static void pow(E* d, const E* a, const E* b)
    {
        const long n = mpz_get_si(mpq_numref(b->re));
        const unsigned long m = n < 0 ? 0UL - (unsigned long)n : (unsigned long)n;
        vecelt_powui<t_vecelt>(d, a, m);
        if (n < 0) inv(d);
    }
    static int divcheck(const E* b) { return iszero(b) ? 24 : 0; }
    static int powcheck(const E* a, const E* b)
    {
        if (mpq_sgn(b->im) != 0 || mpz_cmp_ui(mpq_denref(b->re), 1) != 0 || !mpz_fits_slong_p(mpq_numref(b->re)))
            return 26;
        return mpq_sgn(b->re) < 0 && iszero(a) ? 24 : 0;
    }
    static bool eq(const E* a, const E* b) { return mpq_equal(a->re, b->re) && mpq_equal(a->im, b->im); }
    static bool iszero(const E* a) { return mpq_sgn(a->re) == 0 && mpq_sgn(a->im) == 0; }
    static void setone(E* d)
    {
        mpq_set_ui(d->re, 1, 1);
        mpq_set_ui(d->im, 0, 1);
    }
    static void setri(E* d, const R* re, const R* im)
    {
        mpq_set(d->re, re);
        if (im) mpq_set(d->im, im);
        else mpq_set_ui(d->im, 0, 1);
    }
    static void re(R* d, const E* s) { mpq_set(d, s->re); }
    static void im(R* d, const E* s) { mpq_set(d, s->im); }
};
