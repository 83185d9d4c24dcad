// Linear algebra on two-dimensional arrays of numbers: product, transpose, trace, determinant,
// inverse, rank, eigenvalues and eigenvectors. Results are new arrays numbered from 1.
//
// A matrix argument must have two dimensions (error 260) and, where rows and columns pair up
// (determinant, inverse, trace, eigen), be square (error 283 with its size); elements must be
// numbers (error 349). Exact numbers (integers, rationals) are handled exactly; floating numbers
// of the double mode go through LAPACK, those of the other modes through the kernel's own
// elimination and, for eigen problems in NUMQUAD, the quadruple-precision solver below.
#pragma once
#include <complex>
#include <quadmath.h>

#include "numeric/tableau.h"

class t_cctx;

t_tableau* matrix_multiplication(t_cctx* ctx, t_tableau* a, int keepa, t_tableau* b, int keepb);  // 236
t_tableau* Vtransposematrix(t_cctx* ctx, const t_tableau* a);
t_idcommon* Vtracematrix(t_cctx* ctx, const t_tableau* a);
// Steps must be 1 (error 262); a singular matrix has determinant 0 and no inverse (error 278).
t_idcommon* matrix_det(t_cctx* ctx, const t_tableau* a);
t_tableau* matrix_inverse(t_cctx* ctx, const t_tableau* a);
// -1 after an error. Floating matrices count a pivot as zero below n * eps * largest element.
int compute_rank(t_cctx* ctx, const t_tableau* a);
// [1..n] eigenvalues (real constants when every one is real, else complex), and [1..n, 1..n]
// whose column j is the right eigenvector of value j (Euclidean norm 1). A solver failure is
// error 284, an argument the solver refuses internal error 1033.
t_tableau* matrix_eigenvalues(t_cctx* ctx, const t_tableau* a);
t_tableau* matrix_eigenvector(t_cctx* ctx, const t_tableau* a, t_tableau** values = nullptr);

// Every number of the array belongs to the ring: integers, rationals, Gaussian rationals.
bool isringZ(const t_tableau* a);
bool isringQ(const t_tableau* a);
bool isringQI(const t_tableau* a);

// Quadruple-precision eigen solver with the argument lists of LAPACK's dgeev and zgeev
// (column-major, Fortran conventions; only jobvl = 'N' is accepted). Hessenberg reduction by
// Householder reflections, then complex QR iterations with Wilkinson shifts, then eigenvectors by
// back substitution on the Schur form.
extern "C" {
void qdgeev_(const char* jobvl, const char* jobvr, const int* n, __float128* a, const int* lda, __float128* wr,
             __float128* wi, __float128* vl, const int* ldvl, __float128* vr, const int* ldvr, __float128* work,
             const int* lwork, int* info);
void qzgeev_(const char* jobvl, const char* jobvr, const int* n, __complex128* a, const int* lda, __complex128* w,
             __complex128* vl, const int* ldvl, __complex128* vr, const int* ldvr, __complex128* work,
             const int* lwork, __float128* rwork, int* info);
}
