// Interpolation of a function known by samples (x, y) at the abscissae of a target vector, by
// straight lines, parabolas, a natural cubic spline or Hermite polynomials of a chosen order.
#pragma once
#include <cstddef>

class t_cctx;
class t_vecnum;

enum t_einterpol { INTERPOL_LINEAR = 1, INTERPOL_QUADRATIC = 2, INTERPOL_SPLINE = 3, INTERPOL_HERMITE = 4 };

// Newton coefficients c[0..n] of the polynomial through (x[0..n], y[0..n]) by divided differences.
// An abscissa repeated k times in a row carries in the y of its k-th repetition the k-th
// derivative there, so the same routine builds Hermite polynomials.
void interherm(int n, const double* x, const double* y, double* c);

// The kernel on plain arrays: out[0..p) at t[0..p) from m samples. x and t may come in any order
// (ascending, descending or mixed; an abscissa repeated in the samples keeps its order); targets
// outside the samples are extrapolated with the nearest segment or window. `order` is the
// Hermite order. False when the samples cannot be ordered (a NaN abscissa); m must be at least
// the number of points the method needs.
bool interpol_dbl(t_einterpol method, const double* x, const double* y, size_t m, const double* t, size_t p,
                  int order, double* out);

// interpol(method, x, y, t, n) of the language: a new real vector of the mode's type with the
// values at t, or null after an error: x and y of different lengths (143), x or t empty (228),
// fewer than 2 points needed (388), x shorter than the points needed (229). The work is done in
// double precision: outside the modes whose real vectors are doubles, warning 10 and conversions.
// A method outside t_einterpol is internal error 1031.
t_vecnum* interpol(t_cctx* ctx, t_einterpol method, const t_vecnum* x, const t_vecnum* y, const t_vecnum* t,
                   long order);

// interpol in the language (interpol_lang.cpp).
void kst_interpol_registerlanguage();
