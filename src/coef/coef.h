// The tagged coefficient value `coef`, its per-tag dispatch record `coefvtable`, and the public
// arithmetic entry points that every other room uses on numbers, polynomials and series nodes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

class t_cctx;
class t_render;
struct t_troncworkstack;
struct t_troncmon;
struct t_variable;

// One byte of type tag; 0..127 index the table, a negative tag is invalid.
enum eBHTypeCoef : int8_t {
    BH_ZERO = 0,
    BH_POLYNOME = 1,
    BH_DBL = 2,
    BH_ZDBL = 3,
    BH_POLPLEIN = 4,
    BH_HOMOG = 5,
    BH_HDAL = 6,
    BH_RAT = 7,
    BH_ZRAT = 8,
    BH_QUAD = 9,
    BH_ZQUAD = 10,
    BH_INTDBL = 11,
    BH_ZINTDBL = 12,
    BH_INTQUAD = 13,
    BH_ZINTQUAD = 14,
    BH_DIVISOR = 15,
    BH_FOURIER = 16,
    BH_RATMP = 18,
    BH_ZRATMP = 19,
    BH_FPMP = 20,
    BH_ZFPMP = 21,
    BH_INTMP = 22,
    BH_ZINTMP = 23,
    BH_FIRSTRUNTIME = 64,
};
constexpr int BH_NTAGS = 128;

// 64-bit rational: reduced, denominator > 0. As a `ratovf` a denominator of -1 says that the
// numerator word holds a double (the value overflowed 64 bits).
struct rationnel {
    int64_t num;
    int64_t den;
};
using ratovf = rationnel;
struct complexe {
    double re;
    double im;
};

// Three 64-bit payload words, one 32-bit word, the tag at byte 28: the same 32 bytes are written
// to series files, so the layout is fixed.
struct coef {
    union {
        uint64_t w[3];
        double d;          // BH_DBL
        complexe z;        // BH_ZDBL
        rationnel r;       // BH_RAT
        void* p;           // every boxed number
        struct {
            uint64_t w0;
            void* p1;      // algebraic nodes: pointer in the second word
            int32_t lo, hi;
        } node;
    };
    int32_t i32;
    eBHTypeCoef type;
};
static_assert(sizeof(coef) == 32, "coef is a 32-byte record");
static_assert(offsetof(coef, i32) == 24, "the 32-bit word follows the three payload words");
static_assert(offsetof(coef, type) == 28, "the tag sits at byte 28");

inline coef coef_zero() { return coef{}; }
inline coef coef_fromdbl(double v)
{
    coef c{};
    c.d = v;
    c.type = BH_DBL;
    return c;
}
inline coef coef_fromptr(void* p, eBHTypeCoef t)
{
    coef c{};
    c.p = p;
    c.type = t;
    return c;
}
inline unsigned coef_tag(const coef* c) { return (unsigned)(uint8_t)c->type & (BH_NTAGS - 1); }

// Signatures of the table cells. After each operand comes its keep flag: non-zero keeps it,
// 0 hands it over (it ends with tag 0 or inside the result).
using coef_binop_fn = coef (*)(t_cctx*, coef* a, int keep_a, coef* b, int keep_b, int parallel);
using coef_multr_fn = coef (*)(t_cctx*, coef*, int, coef*, int, t_troncworkstack*, int parallel);
using coef_multrmon_fn = coef (*)(t_cctx*, coef*, int, coef*, int, const t_troncmon*, int);
using coef_divop_fn = coef (*)(t_cctx*, coef* a, int keep_a, coef* b, int keep_b);
using coef_diveucl_fn = coef (*)(t_cctx*, coef* a, int keep_a, coef* b, int keep_b, coef* rest);
using coef_gcdext_fn = coef (*)(t_cctx*, coef* a, int, coef* b, int, coef* u, coef* v);
using coef_resultant_fn = coef (*)(t_cctx*, coef* a, int, coef* b, int, t_variable* var);
using coef_cmp_fn = int (*)(const coef*, const coef*);
using coef_fma_fn = void (*)(t_cctx*, coef* acc, coef& b, int keep_b, coef& c, int keep_c, int parallel);
using coef_fmatr_fn = void (*)(t_cctx*, coef* acc, coef& b, int, coef& c, int, t_troncworkstack*, int);
using coef_fmatrmon_fn = void (*)(t_cctx*, coef* acc, coef& b, int, coef& c, int, const t_troncmon*, int);
using coef_unop_fn = coef (*)(t_cctx*, coef* a, int keep_a);
using coef_powui_fn = coef (*)(t_cctx*, coef* a, int keep_a, unsigned long n);
using coef_pred_fn = int (*)(const coef*);
using coef_conv_fn = void (*)(t_cctx*, coef* c);                 // in place
using coef_convcopy_fn = coef (*)(t_cctx*, const coef* c);       // copy, source untouched
using coef_aff_fn = void (*)(t_cctx*, t_render*, const coef*, int affc);

// Number of numeric modes that own a converter column (t_eModeNum 0..7).
constexpr int KST_NMODENUM = 8;

// One record per tag. Rows are indexed by the right operand's tag, the fma rows by the tag of c
// (the record being that of b), so any binary cell is two array indices away.
struct coefvtable {
    const char* name;
    int kind;                            // 3 for numeric tags
    // construction from host values
    coef (*int2coef)(t_cctx*, int);
    coef (*ll2coef)(t_cctx*, long long);
    coef (*zint2coef)(t_cctx*, int re, int im);
    coef (*dbl2coef)(t_cctx*, double);
    coef (*pi2coef)(t_cctx*);
    coef (*numden2coef)(t_cctx*, int num, int den);
    coef (*numdencplx2coef)(t_cctx*, long long rn, long long rd, long long in, long long id);
    coef (*strentierlong2coef)(t_cctx*, const char*);
    coef (*strreal2coef)(t_cctx*, const char*);
    // conversion out
    long long (*coef2ll)(const coef*);
    double (*coef2dbl)(const coef*);
    complexe (*coef2zdbl)(const coef*);
    char* (*coef2str)(const coef*);                      // malloc'd, caller frees
    char* (*coef2strfmt)(const char* fmt, const coef*);  // fmt applies to each double field
    coef (*float2rat)(t_cctx*, coef*, int keep);
    // numeric-mode conversion, indexed by the target mode
    coef_conv_fn modenum_conv[KST_NMODENUM];
    coef_convcopy_fn modenum_convcopy[KST_NMODENUM];
    // life cycle
    coef (*copycoef)(const coef*);
    void (*deletecoef)(coef*);
    // binary rows
    coef_binop_fn add[BH_NTAGS];
    coef_binop_fn sub[BH_NTAGS];
    coef_binop_fn mulnotr[BH_NTAGS];
    coef_multr_fn multr[BH_NTAGS];
    coef_multrmon_fn multrmon[BH_NTAGS];
    coef_divop_fn div[BH_NTAGS];
    coef_diveucl_fn diveucl[BH_NTAGS];
    coef_divop_fn divexact[BH_NTAGS];
    coef_divop_fn powreal[BH_NTAGS];
    coef_divop_fn gcd[BH_NTAGS];
    coef_gcdext_fn gcdext[BH_NTAGS];
    coef_divop_fn divgcd[BH_NTAGS];
    coef_resultant_fn resultant_uni[BH_NTAGS];
    coef_resultant_fn resultant_multi[BH_NTAGS];
    coef_cmp_fn cmp_eq[BH_NTAGS];
    coef_cmp_fn cmp_lt[BH_NTAGS];
    coef_cmp_fn cmp_le[BH_NTAGS];
    coef_cmp_fn cmp_gt[BH_NTAGS];
    coef_cmp_fn cmp_ge[BH_NTAGS];
    // fused multiply-accumulate: acc := acc + b*c, this record is b's, the row index c's tag
    coef_fmatr_fn fmacctr[BH_NTAGS];
    coef_fma_fn fmaccnotr[BH_NTAGS];
    coef_fmatrmon_fn fmacctrmon[BH_NTAGS];
    // unary operations
    coef_unop_fn neg;
    coef_powui_fn power_ui;
    coef_divop_fn exponentiation;
    coef_unop_fn conj, abs, real, imag;
    coef_unop_fn cos, sin, tan, acos, asin, atan, cosh, sinh, tanh, acosh, asinh, atanh;
    coef_unop_fn exp, log, log10, arg, sqrt;
    coef_unop_fn pent, nint, inf, sup, norm_inf;
    coef_divop_fn modulo_coefnum;
    coef_pred_fn isentierlong, isreal, iscplx, isrealorcplx, isrational, containcplx;
    coef_pred_fn cmp_egal_1, cmp_egal_neg1, iszero;
    coef_unop_fn getnumer, getdenom;
    int (*getring)(const coef*);
    coef (*clean_eps)(t_cctx*, coef*, int keep, double eps);
    coef (*clean_rateps)(t_cctx*, coef*, int keep, double eps);
    // output: one number in the renderer's dialect with the `_affc` format
    coef_aff_fn aff;
    coef_aff_fn aff_tex;
    coef_aff_fn aff_ml;
    // storage (binary payload after the 32-byte record; text form)
    int (*save)(const coef*, FILE*);
    int (*load)(t_cctx*, coef*, FILE*);
    int (*saveF)(const coef*, FILE*);
    int (*loadF)(t_cctx*, coef*, FILE*);
};

// The dispatch table, filled once at start-up (kst_coef_inittables) and read-only afterwards.
extern coefvtable g_kst_coef_vtable[BH_NTAGS];
// Per tag: stored width of one number in a block, its stored zero and one, its counterparts.
extern int g_BHSize[BH_NTAGS];
extern const void* g_BHZero[BH_NTAGS];
extern const void* gc_BHUn[BH_NTAGS];
extern eBHTypeCoef gc_BHReel[BH_NTAGS];
extern eBHTypeCoef gc_BHCplx[BH_NTAGS];
extern const coef gc_0;

// Takes the next run-time tag (the first is 64) for a type of `size` stored bytes.
int kst_coefnum_register(int size, char* tagchar, eBHTypeCoef* tag);

inline const coefvtable& coef_vt(const coef* c) { return g_kst_coef_vtable[coef_tag(c)]; }
inline bool coef_isnumeric(const coef* c) { return coef_vt(c).kind == 3; }
inline bool coef_iszero(const coef* c) { return c->type == BH_ZERO; }
// Name carried for messages ("invalid" for a negative tag, "" where the record has none).
const char* coef_typename(const coef* c);

// Public entry points: a + b, a - b, a * b, a / b with keep flags; acc += b*c.
inline coef coef_addition(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coef_vt(a).add[coef_tag(b)](ctx, a, ka, b, kb, 0);
}
inline coef coef_soustraction(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coef_vt(a).sub[coef_tag(b)](ctx, a, ka, b, kb, 0);
}
inline coef coef_multiplication(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coef_vt(a).mulnotr[coef_tag(b)](ctx, a, ka, b, kb, 0);
}
inline coef coef_multiplicationtr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, t_troncworkstack* tr)
{
    return coef_vt(a).multr[coef_tag(b)](ctx, a, ka, b, kb, tr, 0);
}
inline coef coef_division(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    return coef_vt(a).div[coef_tag(b)](ctx, a, ka, b, kb);
}
inline void coef_fmaccnotr(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc)
{
    g_kst_coef_vtable[coef_tag(&b)].fmaccnotr[coef_tag(&c)](ctx, acc, b, kb, c, kc, 0);
}
inline coef copycoef(const coef* c) { return coef_vt(c).copycoef(c); }
inline void deletecoef(coef* c)
{
    if (c->type != BH_ZERO) coef_vt(c).deletecoef(c);
    c->type = BH_ZERO;
}
inline int coef_cmp_egal(const coef* a, const coef* b) { return coef_vt(a).cmp_eq[coef_tag(b)](a, b); }
inline int coef_cmp_lt(const coef* a, const coef* b) { return coef_vt(a).cmp_lt[coef_tag(b)](a, b); }
inline int coef_cmp_le(const coef* a, const coef* b) { return coef_vt(a).cmp_le[coef_tag(b)](a, b); }
inline int coef_cmp_gt(const coef* a, const coef* b) { return coef_vt(a).cmp_gt[coef_tag(b)](a, b); }
inline int coef_cmp_ge(const coef* a, const coef* b) { return coef_vt(a).cmp_ge[coef_tag(b)](a, b); }
inline coef coef_neg(t_cctx* ctx, coef* a, int ka) { return coef_vt(a).neg(ctx, a, ka); }
inline double coef2dbl(const coef* c) { return coef_vt(c).coef2dbl(c); }
inline complexe coef2zdbl(const coef* c) { return coef_vt(c).coef2zdbl(c); }
inline long long coef2ll(const coef* c) { return coef_vt(c).coef2ll(c); }
inline char* coef2str(const coef* c) { return coef_vt(c).coef2str(c); }

// a^n for an integer n (negative n through the inverse).
coef coef_power_int(t_cctx* ctx, coef* a, int ka, long n);
// Exact conversion of any numeric coefficient to the numeric tag `to` (a copy; rounding to
// nearest for floating targets, outward for interval targets).
coef coefnum_convert_to(t_cctx* ctx, const coef* c, eBHTypeCoef to);

// Prints one number with the `_affc` format through the renderer (plain, TeX or MathML by kind).
void coef_aff(t_cctx* ctx, t_render* r, const coef* c, int affc);
// The same into a malloc'd string (plain dialect).
char* coef_affstr(t_cctx* ctx, const coef* c, int affc);
