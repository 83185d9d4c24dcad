// Elliptic elements and Cartesian coordinates of a two-body problem, in the non-singular
// variables (a, lambda, k = e cos w, h = e sin w, q = sin(i/2) cos W, p = sin(i/2) sin W), for one
// body (double and quadruple kernels) and for arrays of vectors holding many bodies.
#pragma once
#include "coef/coef.h"

class t_cctx;
class t_tableau;

// Kepler's equation lambda = F - k sin F + h cos F solved for the eccentric longitude F: a third-
// then a fifth-order step from F = lambda, then Newton steps until the correction is at most
// 2 epsilon relative to max(1, |F|) (loosened fourfold from the 21st step). After 23 steps
// without convergence F and lambda become NaN and the result is false.
bool keplkh2(double* lambda, double k, double h, double* F);
bool keplkh2_quad(__float128* lambda, __float128 k, __float128 h, __float128* F);

// One body: elements (a, lambda, k, h, q, p) and mu = G (m0 + m) to position and velocity, and
// back. A body whose Kepler equation fails gets NaN.
void ELLIPXN(const double elements[6], double mu, double position[3], double velocity[3]);
void ELLIPXN_quad(const __float128 elements[6], __float128 mu, __float128 position[3], __float128 velocity[3]);
void XYZKHQPN(const double position[3], const double velocity[3], double mu, double elements[6]);
void XYZKHQPN_quad(const __float128 position[3], const __float128 velocity[3], __float128 mu, __float128 elements[6]);

// Arrays of vectors, one entry per body, in the working type of the numeric mode (double, or
// quadruple in NUMQUAD and NUMQUADINT); mu is rounded to it once. The arrays are one-dimensional
// and hold real vectors of that type (error 350), of one length and type per array (150), the
// same length in every array (143); 6 element vectors (400), 3 position and 3 velocity vectors
// (401). Results are new arrays [1..3] (x, y, z and their velocities) or [1..6]; false and no
// result after an error. Another working type is internal error 1012.
bool tabnum_ellipx(t_cctx* ctx, const t_tableau* elements, const coef* mu, t_tableau** position,
                   t_tableau** velocity);
bool tabnum_xyzkhqp(t_cctx* ctx, const t_tableau* position, const t_tableau* velocity, const coef* mu,
                    t_tableau** elements);

// ell_to_xyz and xyz_to_ell in the language (orbelem_lang.cpp).
void kst_orbelem_registerlanguage();
