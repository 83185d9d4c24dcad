// Number printing shared by the coefficient types and the series output: the `_affc` formats of
// doubles and the continued-fraction test behind the fraction formats.
#pragma once
#include <cstddef>

#include "coef/coef.h"
#include "interp/roomapi.h"

extern int g_kst_opt_affc;   // slot of `_affc`
// The number format in force for `ctx` (1..9).
inline int kst_affc(const t_cctx* ctx) { return static_cast<int>(kst_option(ctx, g_kst_opt_affc)); }

// p/q with |p/q - x| <= 1e-12, q < 100000 and q != 1 (numerator signed like x); false otherwise.
bool fractcont(double x, long* num, long* den);
// One double as text with the `_affc` format (1..9; anything else is internal error 1028).
int sortie_fact_std(int affc, char* buf, size_t size, double v);

// Shapes in the renderer's dialect: a number's text, a fraction, a complex pair.
void coefaff_text(t_render* r, const char* text);
void coefaff_frac(t_render* r, const char* num, const char* den, bool aligned);
void coefaff_dbl(t_render* r, double v, int affc);
void coefaff_cplx(t_render* r, t_cctx* ctx, const coef* re, const coef* imabs, bool imneg, int affc);
