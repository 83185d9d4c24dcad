// Numeric modes: which coefficient type new numbers get, how literals are read, how existing
// numbers are converted when next used, and the MPFR precision of the context.
#pragma once
#include "coef/coef.h"

enum t_eModeNum {
    NUMDBL = 0,
    NUMRAT = 1,
    NUMRATMP = 2,
    NUMQUAD = 3,
    NUMFPMP = 4,
    NUMDBLINT = 5,
    NUMQUADINT = 6,
    NUMINTMOD = 7,   // selected only by the modular algorithms
};

// The constant one of each mode (made by modenum_init) and the zero constant.
extern coef gc_1[KST_NMODENUM];

// Mode of a context (the thread's context when none is given).
bool modenum_set(t_cctx* ctx, int mode);              // 0..6; above is internal error 1042
bool modenum_set(int mode);
// As modenum_set, then information message 68 with the mode's keyword.
bool modenum_setandinform(t_cctx* ctx, int mode);
int modenum_get(t_cctx* ctx = nullptr);
bool modenum_isavailable(int mode);
const char* modenum_keyword(int mode);                // "NUMDBL" ... "NUMQUADINT"
// Tag of the integers made in a mode (mode 7: the registered modular tag).
eBHTypeCoef modenum_getcoefflag(int mode);
eBHTypeCoef modenum_getcoefflag();
// Real and complex number tags of the numeric vectors of the context's mode.
eBHTypeCoef modenum_gettabnumreel(t_cctx* ctx = nullptr);
eBHTypeCoef modenum_gettabnumcompl(t_cctx* ctx = nullptr);
// Real and complex tags of the number blocks converted to a mode (series blocks).
eBHTypeCoef modenum_getblockreel(int mode);
eBHTypeCoef modenum_getblockcompl(int mode);
// The tag of the residues that mode 7 makes, given by the modular room at start-up.
void modenum_setintmodtag(eBHTypeCoef tag);

// Conversion of one coefficient to the context's mode: in place, or as a copy.
void modenum_convert(t_cctx* ctx, coef* c);
void modenum_convert(coef* c);
coef modenum_convertcopy(t_cctx* ctx, const coef* c);
// The tag a number of tag `tag` gets in mode `mode`, or BH_ZERO when it stays as it is.
eBHTypeCoef modenum_targettag(int mode, int tag);

// Precision of MPFR numbers in decimal digits (1..2147483391): sets the bit precision
// floor(digits / log10(2)) and drops cached constants. Out of range: run error 4, unchanged.
bool modenum_setprec(t_cctx* ctx, int digits);
bool modenum_setprec(int digits);
// As modenum_setprec, then information message 69.
bool modenum_setprecandinform(t_cctx* ctx, int digits);
constexpr int KST_MODENUM_PREC_MIN = 1;
constexpr int KST_MODENUM_PREC_MAX = 2147483391;

// Display of the settings in the renderer's dialect.
void modenum_display(t_cctx* ctx, t_render* r);
void modenum_prec_display(t_cctx* ctx, t_render* r);

// Machine epsilon of a number type (double, quad, MPFR at the context precision, double interval).
coef getepsilon(t_cctx* ctx, eBHTypeCoef tag);
double getepsilon(double);
__float128 getepsilon(__float128);

// Construction in the current mode.
coef coef_creenum_init(int n);
coef coef_creenum_init(t_cctx* ctx, int n);
coef coef_creenumlong_init(t_cctx* ctx, long long n);
coef coef_creenumden_init(int num, int den);
coef coef_creenumden_init(t_cctx* ctx, int num, int den);
coef coef_creenumcplx_init(int re, int im);
coef coef_creenumdencplx_init(long long rn, long long rd, long long in, long long id);
coef coef_dbl2coef(double v);
coef coef_pi2coef(t_cctx* ctx = nullptr);
// Literals: integers too long for 64 bits, reals, and either (Fortran "D" exponents accepted).
coef strentierlong2coef(const char* text);
coef strreal2coef(const char* text);
coef strnum2coef(const char* text);
coef strentierlong2coef(t_cctx* ctx, const char* text);
coef strreal2coef(t_cctx* ctx, const char* text);
coef strnum2coef(t_cctx* ctx, const char* text);
