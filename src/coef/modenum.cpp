// Numeric modes: the mode table, construction and literal reading in the current mode, the
// conversion of numbers between modes, the precision setting and the mode display.
#include "coef/modenum.h"
#include "coef/coef_init.h"
#include "coef/coefnum_impl.h"
#include "interp/roomapi.h"
#include "interp/error.h"
#include "render/render.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

coef gc_1[KST_NMODENUM];

namespace {

eBHTypeCoef s_intmodtag = BH_ZERO;

const char* const s_keywords[7] = {"NUMDBL", "NUMRAT", "NUMRATMP", "NUMQUAD", "NUMFPMP", "NUMDBLINT", "NUMQUADINT"};
// Integers, then the real and complex tags of converted blocks and of numeric vectors, per mode.
const eBHTypeCoef s_inttag[7] = {BH_DBL, BH_RAT, BH_INTMP, BH_QUAD, BH_FPMP, BH_INTDBL, BH_INTQUAD};
const eBHTypeCoef s_blockreel[7] = {BH_DBL, BH_RAT, BH_RATMP, BH_QUAD, BH_FPMP, BH_INTDBL, BH_INTQUAD};
const eBHTypeCoef s_blockcplx[7] = {BH_ZDBL, BH_ZRAT, BH_ZRATMP, BH_ZQUAD, BH_ZFPMP, BH_ZINTDBL, BH_ZINTQUAD};
const eBHTypeCoef s_vecreel[8] = {BH_DBL, BH_DBL, BH_DBL, BH_QUAD, BH_FPMP, BH_DBL, BH_QUAD, BH_DBL};
const eBHTypeCoef s_veccplx[8] = {BH_ZDBL, BH_ZDBL, BH_ZDBL, BH_ZQUAD, BH_ZFPMP, BH_ZDBL, BH_ZQUAD, BH_ZDBL};

t_cctx* ctxof(t_cctx* ctx) { return ctx ? ctx : kst_localcctx(); }

int checkedmode(t_cctx* ctx, const char* fn)
{
    int m = kst_kctx(ctx).num.modenum;
    if (m < 0 || m > NUMINTMOD) kst_iceerror(1042, fn, m);
    return m;
}

eBHTypeCoef inttag(int mode, const char* fn)
{
    if (mode < 0 || mode > NUMINTMOD) kst_iceerror(1042, fn, mode);
    return mode == NUMINTMOD ? s_intmodtag : s_inttag[mode];
}

const coefvtable& modevt(t_cctx* ctx, const char* fn)
{
    int m = checkedmode(ctx, fn);
    eBHTypeCoef t = inttag(m, fn);
    if (t == BH_ZERO) kst_iceerror(1042, fn, m);   // mode 7 before the modular type registered
    return g_kst_coef_vtable[t];
}

bool is_gmp(int t) { return t == BH_INTMP || t == BH_RATMP || t == BH_ZINTMP || t == BH_ZRATMP; }
bool is_dblfamily(int t) { return t == BH_DBL || t == BH_ZDBL; }
bool is_quadfamily(int t) { return t == BH_QUAD || t == BH_ZQUAD; }

// Converter installed in every numeric tag's row of mode M.
template <int M>
void numconv(t_cctx* ctx, coef* c)
{
    eBHTypeCoef to = modenum_targettag(M, c->type);
    if (to == BH_ZERO || to == c->type) return;
    coef r = coefnum_convert_to(ctxof(ctx), c, to);
    deletecoef(c);
    *c = r;
}
template <int M>
coef numconvcopy(t_cctx* ctx, const coef* c)
{
    eBHTypeCoef to = modenum_targettag(M, c->type);
    if (to == BH_ZERO || to == c->type) return copycoef(c);
    return coefnum_convert_to(ctxof(ctx), c, to);
}

}  // namespace

void modenum_install_converters()
{
    static const coef_conv_fn conv[7] = {numconv<0>, numconv<1>, numconv<2>, numconv<3>,
                                         numconv<4>, numconv<5>, numconv<6>};
    static const coef_convcopy_fn convcopy[7] = {numconvcopy<0>, numconvcopy<1>, numconvcopy<2>, numconvcopy<3>,
                                                 numconvcopy<4>, numconvcopy<5>, numconvcopy<6>};
    for (int t = 1; t < BH_FIRSTRUNTIME; t++) {
        if (g_kst_coef_vtable[t].kind != 3) continue;
        for (int m = 0; m < 7; m++) {
            g_kst_coef_vtable[t].modenum_conv[m] = conv[m];
            g_kst_coef_vtable[t].modenum_convcopy[m] = convcopy[m];
        }
    }
}

// ---------------------------------------------------------------- the mode

bool modenum_isavailable(int mode) { return mode >= 0 && mode <= NUMQUADINT; }
const char* modenum_keyword(int mode) { return modenum_isavailable(mode) ? s_keywords[mode] : ""; }

bool modenum_set(t_cctx* ctx, int mode)
{
    if (mode < 0 || mode > NUMQUADINT) kst_iceerror(1042, "modenum_set", mode);
    kst_kctx(ctxof(ctx)).num.modenum = mode;
    return true;
}
bool modenum_set(int mode) { return modenum_set(nullptr, mode); }
bool modenum_setandinform(t_cctx* ctx, int mode)
{
    modenum_set(ctx, mode);
    kst_runinfo(68, s_keywords[mode]);
    return true;
}
int modenum_get(t_cctx* ctx) { return kst_kctx(ctxof(ctx)).num.modenum; }

eBHTypeCoef modenum_getcoefflag(int mode) { return inttag(mode, "modenum_getcoefflag"); }
eBHTypeCoef modenum_getcoefflag() { return modenum_getcoefflag(modenum_get()); }
eBHTypeCoef modenum_gettabnumreel(t_cctx* ctx)
{
    return s_vecreel[checkedmode(ctxof(ctx), "modenum_gettabnumreel")];
}
eBHTypeCoef modenum_gettabnumcompl(t_cctx* ctx)
{
    return s_veccplx[checkedmode(ctxof(ctx), "modenum_gettabnumcompl")];
}
eBHTypeCoef modenum_getblockreel(int mode)
{
    if (!modenum_isavailable(mode)) return mode == NUMINTMOD ? s_intmodtag : BH_ZERO;
    return s_blockreel[mode];
}
eBHTypeCoef modenum_getblockcompl(int mode)
{
    if (!modenum_isavailable(mode)) return mode == NUMINTMOD ? s_intmodtag : BH_ZERO;
    return s_blockcplx[mode];
}
void modenum_setintmodtag(eBHTypeCoef tag) { s_intmodtag = tag; }

// ---------------------------------------------------------------- conversion

// Numbers left as they are in each mode, then the target of every other number. Pairs the mode
// table leaves open are resolved to the mode's own type (exact values enclosed for intervals).
eBHTypeCoef modenum_targettag(int mode, int t)
{
    if (t == BH_ZERO) return BH_ZERO;
    const bool cplx = coefnum_iscomplex(t);
    switch (mode) {
    case NUMDBL:
        if (is_dblfamily(t)) return BH_ZERO;
        return cplx ? BH_ZDBL : BH_DBL;
    case NUMRAT:
        if (is_dblfamily(t) || t == BH_RAT || t == BH_ZRAT) return BH_ZERO;
        if (is_gmp(t)) return cplx ? BH_ZRAT : BH_RAT;
        return cplx ? BH_ZDBL : BH_DBL;   // quads, intervals and MPFR go to doubles first
    case NUMRATMP:
        if (is_dblfamily(t) || is_quadfamily(t) || coefnum_isinterval(t) || is_gmp(t)) return BH_ZERO;
        if (t == BH_RAT || t == BH_ZRAT) return cplx ? BH_ZRATMP : BH_RATMP;
        return cplx ? BH_ZDBL : BH_DBL;   // MPFR and MPC
    case NUMQUAD:
        if (is_quadfamily(t)) return BH_ZERO;
        return cplx ? BH_ZQUAD : BH_QUAD;
    case NUMFPMP:
        if (t == BH_FPMP || t == BH_ZFPMP) return BH_ZERO;
        return cplx ? BH_ZFPMP : BH_FPMP;
    case NUMDBLINT:
        if (t == BH_INTDBL || t == BH_ZINTDBL) return BH_ZERO;
        return cplx ? BH_ZINTDBL : BH_INTDBL;
    case NUMQUADINT:
        if (t == BH_INTQUAD || t == BH_ZINTQUAD) return BH_ZERO;
        return cplx ? BH_ZINTQUAD : BH_INTQUAD;
    default: return BH_ZERO;
    }
}

void modenum_convert(t_cctx* ctx, coef* c)
{
    ctx = ctxof(ctx);
    if (c->type == BH_ZERO) return;
    int m = checkedmode(ctx, "modenum_convert");
    coef_vt(c).modenum_conv[m](ctx, c);
}
void modenum_convert(coef* c) { modenum_convert(nullptr, c); }
coef modenum_convertcopy(t_cctx* ctx, const coef* c)
{
    ctx = ctxof(ctx);
    if (c->type == BH_ZERO) return coef{};
    int m = checkedmode(ctx, "modenum_convert");
    return coef_vt(c).modenum_convcopy[m](ctx, c);
}

// ---------------------------------------------------------------- precision

bool modenum_setprec(t_cctx* ctx, int digits)
{
    ctx = ctxof(ctx);
    if (digits < KST_MODENUM_PREC_MIN || digits > KST_MODENUM_PREC_MAX) {
        kst_runerror(ctx, 4, "_modenum_prec");
        return false;
    }
    long bits = (long)std::floor((double)digits / 0.3010299956639812);
    if (bits < MPFR_PREC_MIN) bits = MPFR_PREC_MIN;
    if (bits > (long)MPFR_PREC_MAX) bits = (long)MPFR_PREC_MAX;
    kst_kctx(ctx).num.prec_digits = digits;
    kst_kctx(ctx).num.prec_bits = bits;
    mpfr_free_cache();   // pi and the other cached constants are recomputed at the new precision
    return true;
}
bool modenum_setprec(int digits) { return modenum_setprec(nullptr, digits); }
bool modenum_setprecandinform(t_cctx* ctx, int digits)
{
    if (!modenum_setprec(ctx, digits)) return false;
    kst_runinfo(69, digits);
    return true;
}

// ---------------------------------------------------------------- display

void modenum_display(t_cctx* ctx, t_render* r)
{
    ctx = ctxof(ctx);
    int m = kst_kctx(ctx).num.modenum;
    if (!modenum_isavailable(m)) kst_iceerror(1042, "modenum_display", m);
    if (!r) r = kst_cctx_render(ctx);
    switch (r->getkind()) {
    case KST_RENDER_TEX: r->Vformat("\\_modenum  &=&    %s\\\\\n", s_keywords[m]); break;
    case KST_RENDER_ML:
    case KST_RENDER_HTML:
        r->Vformat("<mtr><mtd>_modenum</mtd><mtd>=</mtd><mtd>%s</mtd></mtr>\n", s_keywords[m]);
        break;
    default: r->Vformat("\t\t_modenum   =    %s\n", s_keywords[m]);
    }
}

void modenum_prec_display(t_cctx* ctx, t_render* r)
{
    ctx = ctxof(ctx);
    if (!r) r = kst_cctx_render(ctx);
    switch (r->getkind()) {
    case KST_RENDER_TEX: r->Vformat("\\_modenum\\_prec  &=&    %d\\\\\n", kst_kctx(ctx).num.prec_digits); break;
    case KST_RENDER_ML:
    case KST_RENDER_HTML:
        r->Vformat("<mtr><mtd>_modenum_prec</mtd><mtd>=</mtd><mtd>%d</mtd></mtr>\n", kst_kctx(ctx).num.prec_digits);
        break;
    default: r->Vformat("\t\t_modenum_prec  =    %d\n", kst_kctx(ctx).num.prec_digits);
    }
}

// ---------------------------------------------------------------- epsilon

double getepsilon(double) { return DBL_EPSILON; }
__float128 getepsilon(__float128) { return FLT128_EPSILON; }

coef getepsilon(t_cctx* ctx, eBHTypeCoef tag)
{
    ctx = ctxof(ctx);
    switch (tag) {
    case BH_QUAD: return coef_fromptr(quad_new(FLT128_EPSILON), BH_QUAD);
    case BH_FPMP: {
        // the last power of two whose sum with 1 still exceeds 1 at the context precision
        long prec = kst_mpfr_prec(ctx);
        __mpfr_struct* eps = fpmp_new2(prec);
        mpfr_t one, half, sum;
        mpfr_inits2(prec, one, half, sum, (mpfr_ptr)0);
        mpfr_set_ui(one, 1, MPFR_RNDN);
        mpfr_set_ui(eps, 1, MPFR_RNDN);
        for (;;) {
            mpfr_div_2ui(half, eps, 1, MPFR_RNDN);
            mpfr_add(sum, one, half, MPFR_RNDN);
            if (mpfr_cmp(sum, one) <= 0) break;
            mpfr_set(eps, half, MPFR_RNDN);
        }
        mpfr_clears(one, half, sum, (mpfr_ptr)0);
        return coef_fromptr(eps, BH_FPMP);
    }
    case BH_INTDBL: return g_kst_coef_vtable[BH_INTDBL].dbl2coef(ctx, DBL_EPSILON);
    default: return coef_fromdbl(DBL_EPSILON);
    }
}

// ---------------------------------------------------------------- construction and literals

coef coef_creenum_init(t_cctx* ctx, int n)
{
    ctx = ctxof(ctx);
    return modevt(ctx, "coef_creenum_init").int2coef(ctx, n);
}
coef coef_creenum_init(int n) { return coef_creenum_init(nullptr, n); }
coef coef_creenumlong_init(t_cctx* ctx, long long n)
{
    ctx = ctxof(ctx);
    return modevt(ctx, "coef_creenumlong_init").ll2coef(ctx, n);
}
coef coef_creenumden_init(t_cctx* ctx, int num, int den)
{
    ctx = ctxof(ctx);
    if (den == 0) {
        kst_runerror(ctx, 24);
        return coef{};
    }
    return modevt(ctx, "coef_creenumden_init").numden2coef(ctx, num, den);
}
coef coef_creenumden_init(int num, int den) { return coef_creenumden_init(nullptr, num, den); }
coef coef_creenumcplx_init(int re, int im)
{
    t_cctx* ctx = ctxof(nullptr);
    const coefvtable& v = modevt(ctx, "coef_creenumcplx_init");
    if (v.zint2coef) return v.zint2coef(ctx, re, im);
    // types without a complex constructor: build through the exact complex value
    coef t{};
    zrat z{{re, 1}, {im, 1}};
    t.p = &z;
    t.type = BH_ZRAT;
    return coefnum_convert_to(ctx, &t, gc_BHCplx[inttag(kst_kctx(ctx).num.modenum, "coef_creenumcplx_init")]);
}
coef coef_creenumdencplx_init(long long rn, long long rd, long long in, long long id)
{
    t_cctx* ctx = ctxof(nullptr);
    if (rd == 0 || id == 0) {
        kst_runerror(ctx, 24);
        return coef{};
    }
    const coefvtable& v = modevt(ctx, "coef_creenumdencplx_init");
    if (v.numdencplx2coef) return v.numdencplx2coef(ctx, rn, rd, in, id);
    mpq_t a, b;
    mpq_inits(a, b, (mpq_ptr)0);
    mpz_set_si(mpq_numref(a), rn);
    mpz_set_si(mpq_denref(a), rd);
    mpq_canonicalize(a);
    mpz_set_si(mpq_numref(b), in);
    mpz_set_si(mpq_denref(b), id);
    mpq_canonicalize(b);
    t_zratmp z;
    z.re[0] = a[0];
    z.im[0] = b[0];
    coef t = coef_fromptr(&z, BH_ZRATMP);
    eBHTypeCoef rt = inttag(kst_kctx(ctx).num.modenum, "coef_creenumdencplx_init");
    coef r = coefnum_convert_to(ctx, &t, mpq_sgn(b) ? gc_BHCplx[rt] : rt);
    mpq_clears(a, b, (mpq_ptr)0);
    return r;
}
coef coef_dbl2coef(double v)
{
    t_cctx* ctx = ctxof(nullptr);
    return modevt(ctx, "coef_dbl2coef").dbl2coef(ctx, v);
}
coef coef_pi2coef(t_cctx* ctx)
{
    ctx = ctxof(ctx);
    return modevt(ctx, "coef_pi2coef").pi2coef(ctx);
}

coef strreal2coef(t_cctx* ctx, const char* text)
{
    ctx = ctxof(ctx);
    const coefvtable& v = modevt(ctx, "strreal2coef");
    if (!v.strreal2coef) kst_iceerror(1042, "strreal2coef", kst_kctx(ctx).num.modenum);
    return v.strreal2coef(ctx, text);
}
coef strentierlong2coef(t_cctx* ctx, const char* text)
{
    ctx = ctxof(ctx);
    const coefvtable& v = modevt(ctx, "strentierlong2coef");
    if (!v.strentierlong2coef) kst_iceerror(1042, "strentierlong2coef", kst_kctx(ctx).num.modenum);
    return v.strentierlong2coef(ctx, text);
}
coef strnum2coef(t_cctx* ctx, const char* text)
{
    if (strpbrk(text, "Dd")) {   // Fortran exponent: 1.5D3
        std::string s(text);
        for (char& ch : s)
            if (ch == 'D' || ch == 'd') ch = 'E';
        return strnum2coef(ctx, s.c_str());
    }
    if (strpbrk(text, ".Ee")) return strreal2coef(ctx, text);
    return strentierlong2coef(ctx, text);
}
coef strreal2coef(const char* text) { return strreal2coef(nullptr, text); }
coef strentierlong2coef(const char* text) { return strentierlong2coef(nullptr, text); }
coef strnum2coef(const char* text) { return strnum2coef(nullptr, text); }

// ---------------------------------------------------------------- start-up

void modenum_init()
{
    kst_coef_inittables();
    t_cctx* ctx = ctxof(nullptr);
    for (int m = 0; m < KST_NMODENUM; m++) {
        deletecoef(&gc_1[m]);
        eBHTypeCoef t = m == NUMINTMOD ? s_intmodtag : s_inttag[m];
        const coefvtable& v = g_kst_coef_vtable[t];
        gc_1[m] = (t != BH_ZERO && v.int2coef) ? v.int2coef(ctx, 1) : coef{};
    }
}
