// The numeric payloads of `coef` (boxed numbers, complex pairs, intervals), their number traits,
// and the helpers that make, read and free them. Included by rooms that handle numbers directly.
#pragma once
#ifndef MPFR_WANT_FLOAT128
#define MPFR_WANT_FLOAT128   // the __float128 transfers of MPFR
#endif
#include <gmp.h>
#include <mpfr.h>
#include <mpc.h>
#include <quadmath.h>

#include "coef/coef.h"

struct zrat {
    rationnel re;
    rationnel im;
};
using zratovf = zrat;
struct zquad {
    __float128 re;
    __float128 im;
};
struct t_dbiasinterval {
    double inf;
    double sup;
};
struct t_dcbiasinterval {
    t_dbiasinterval re;
    t_dbiasinterval im;
};
struct t_ldbiasinterval {
    __float128 inf;
    __float128 sup;
};
struct t_ldcbiasinterval {
    t_ldbiasinterval re;
    t_ldbiasinterval im;
};
struct t_zintmp {
    mpz_t re;
    mpz_t im;
};
struct t_zratmp {
    mpq_t re;
    mpq_t im;
};

// Number traits: the payload type of each numeric tag, whether it is boxed, its tag and its
// real/complex counterparts. Templates of blocks, vectors and polynomials take these.
template <class V, eBHTypeCoef T, eBHTypeCoef R, eBHTypeCoef C, bool BOXED, bool EXACT>
struct t_numtraits {
    using value_type = V;
    static constexpr eBHTypeCoef tag = T;
    static constexpr eBHTypeCoef realtag = R;
    static constexpr eBHTypeCoef cplxtag = C;
    static constexpr bool boxed = BOXED;
    static constexpr bool exact = EXACT;
    static constexpr bool iscomplex = (T == C);
};
struct t_dbltype : t_numtraits<double, BH_DBL, BH_DBL, BH_ZDBL, false, false> {
    static constexpr double infinity = __builtin_inf();
    static constexpr double nan = __builtin_nan("");
};
struct t_zdbltype : t_numtraits<complexe, BH_ZDBL, BH_DBL, BH_ZDBL, false, false> {};
struct t_ratovftype : t_numtraits<ratovf, BH_RAT, BH_RAT, BH_ZRAT, false, true> {};
struct t_zratovftype : t_numtraits<zratovf, BH_ZRAT, BH_RAT, BH_ZRAT, true, true> {};
struct t_quadtype : t_numtraits<__float128, BH_QUAD, BH_QUAD, BH_ZQUAD, true, false> {};
struct t_zquadtype : t_numtraits<zquad, BH_ZQUAD, BH_QUAD, BH_ZQUAD, true, false> {};
struct t_intdbltype : t_numtraits<t_dbiasinterval, BH_INTDBL, BH_INTDBL, BH_ZINTDBL, true, false> {};
struct t_zintdbltype : t_numtraits<t_dcbiasinterval, BH_ZINTDBL, BH_INTDBL, BH_ZINTDBL, true, false> {};
struct t_intquadtype : t_numtraits<t_ldbiasinterval, BH_INTQUAD, BH_INTQUAD, BH_ZINTQUAD, true, false> {};
struct t_zintquadtype : t_numtraits<t_ldcbiasinterval, BH_ZINTQUAD, BH_INTQUAD, BH_ZINTQUAD, true, false> {};
struct t_ratmptype : t_numtraits<__mpq_struct, BH_RATMP, BH_RATMP, BH_ZRATMP, true, true> {};
struct t_zratmptype : t_numtraits<t_zratmp, BH_ZRATMP, BH_RATMP, BH_ZRATMP, true, true> {};
struct t_fpmptype : t_numtraits<__mpfr_struct, BH_FPMP, BH_FPMP, BH_ZFPMP, true, false> {};
struct t_zfpmptype : t_numtraits<__mpc_struct, BH_ZFPMP, BH_FPMP, BH_ZFPMP, true, false> {};
struct t_intmptype : t_numtraits<__mpz_struct, BH_INTMP, BH_INTMP, BH_ZINTMP, true, true> {};
struct t_zintmptype : t_numtraits<t_zintmp, BH_ZINTMP, BH_INTMP, BH_ZINTMP, true, true> {};

template <class T>
inline typename T::value_type* coef_box(const coef* c)
{
    return static_cast<typename T::value_type*>(c->p);
}

// Boxed numbers: allocation with their library initialisation, and release. MPFR and MPC numbers
// take the bit precision of the given context (the thread's context when null).
long kst_mpfr_prec(t_cctx* ctx);
__mpz_struct* intmp_new();
__mpq_struct* ratmp_new();
__mpfr_struct* fpmp_new(t_cctx* ctx);
__mpfr_struct* fpmp_new2(long bits);
__mpc_struct* zfpmp_new(t_cctx* ctx);
t_zintmp* zintmp_new();
t_zratmp* zratmp_new();
void intmp_free(__mpz_struct*);
void ratmp_free(__mpq_struct*);
void fpmp_free(__mpfr_struct*);
void zfpmp_free(__mpc_struct*);
void zintmp_free(t_zintmp*);
// GMP's memory functions for the whole process (small blocks from a per-thread pool), installed
// by kest_init, and the decimal text of a GMP number in a malloc'd buffer (callers free() it).
void kst_gmp_install();
void* kst_gmp_alloc(size_t size);
void* kst_gmp_realloc(void* p, size_t old, size_t size);
void kst_gmp_free(void* p, size_t size);
long kst_gmp_smallchunks();
char* kst_mpz_str(const __mpz_struct* z);
char* kst_mpq_str(const __mpq_struct* q);
char* kst_strpair(char* a, char* b);   // "a b"; frees both
void zratmp_free(t_zratmp*);
__float128* quad_new(__float128 v);
zquad* zquad_new(__float128 re, __float128 im);

// A double result: tag 0 when it is zero (exactly, or once rounded or underflowed).
inline coef coefnum_fromdbl(double v) { return v == 0.0 ? coef{} : coef_fromdbl(v); }

// Normalising constructors of the exact types: zero gives tag 0, an integral GMP rational an
// INTMP, a complex rational with integral parts a ZINTMP. They take over the box.
coef intmp_wrap(__mpz_struct* z);
// The exact integer v (tag 0 for zero), made in one step.
coef intmp_fromword(long v);
coef ratmp_wrap(__mpq_struct* q);
coef zintmp_wrap(t_zintmp* z);
coef zratmp_wrap(t_zratmp* q);
coef ratovf_make(int64_t num, int64_t den);      // reduces; den != 0
coef ratovf_fromq(mpq_srcptr q);                 // 64-bit rational, or double when it does not fit
coef zratovf_fromq(mpq_srcptr re, mpq_srcptr im);

// Universal access used by conversions and by the cells without a native kernel: the exact
// rational value of a part (part 0 real, 1 imaginary; intervals give their midpoint) and the part
// rounded into an MPFR number at that number's precision (intervals: lower bound when rounding
// down, upper bound when rounding up, midpoint otherwise).
void coefnum_get_q(mpq_ptr q, const coef* c, int part);
void coefnum_get_fr(mpfr_ptr r, const coef* c, int part, mpfr_rnd_t rnd);
bool coefnum_iscomplex(int tag);
// Conversion that returns exactly the tag asked for (an integral GMP rational stays a RATMP):
// what the mixed cells need before running the same-type cell of the result type.
coef coefnum_convert_raw(t_cctx* ctx, const coef* c, eBHTypeCoef to);
bool coefnum_isinterval(int tag);

// Packed blocks of numbers (the layout series blocks use: g_BHSize[tag] bytes per number, the
// value itself in each slot, a 64-bit rational slot with denominator -1 holding a double).
// blockview lends slot i as a coefficient (no ownership); blockstore moves c into an uninitialised
// slot (converting it to the block's tag first when needed); blockclear frees a slot's limbs;
// block_convert makes a new block of `to` numbers from `count` numbers of `from` (malloc'd).
coef coefnum_blockview(eBHTypeCoef t, void* data, long i);
void coefnum_blockstore(t_cctx* ctx, eBHTypeCoef t, void* data, long i, coef* c);
void coefnum_blockclear(eBHTypeCoef t, void* data, long i);
void* coefnum_block_convert(t_cctx* ctx, long count, void* src, eBHTypeCoef from, eBHTypeCoef to);

// Quad text forms.
int real16_sprintfmt(char* buf, size_t size, const char* fmt, __float128 v);
char* real16tostr(__float128 v);
