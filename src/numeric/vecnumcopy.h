// Copies between numeric vectors and host arrays of C types: whole vectors, single elements, and
// the raw element bytes of the fixed-size vector types.
//
// For every host type NAME of the list below there are
//   bool Vcopyto_NAME(t_cctx* ctx, const t_vecnum* v, T* dst, size_t n);
//   bool Vcopyfrom_NAME(t_cctx* ctx, t_vecnum* v, const T* src, size_t n);
// and, for sint through doubleComplex,
//   bool Vcopytosingle_NAME(t_cctx* ctx, const t_vecnum* v, uint32_t index, T* dst);
//
//   sint int, uint unsigned, sint16 int16_t, uint16 uint16_t, sint32 int32_t, uint32 uint32_t,
//   sint64 int64_t, uint64 uint64_t, slong long, ulong unsigned long, sshort short,
//   ushort unsigned short, double, float, longdouble long double, doubleComplex complexe
//   (laid out as std::complex<double>), float128 __float128, float128Complex zquad (laid out as
//   __complex128).
//
// Conversions, the same for every vector type:
// - a real target from a complex vector takes the real part; a complex target from a real vector
//   gets zero imaginary parts; a complex host value into a real vector keeps its real part;
// - floating targets and floating elements are rounded to nearest (MPFR and MPC elements are
//   rounded once, straight from their own precision);
// - integer targets take the nearest integer, halfway cases away from zero (2.5 -> 3,
//   -2.5 -> -3), computed in the element's own precision, then saturated to the target's range:
//   a value above the largest integer of the type gives that integer, below the smallest the
//   smallest, and NaN gives 0. Saturation keeps every copy total, as the binary file writer does.
//
// Vcopyto writes n values: the first elements of the vector, then zeros past its end.
// Vcopytosingle writes element index (0-based), or zero past the end. Vcopyfrom resizes the
// vector to n and fills it; MPFR and MPC elements take the vector's own precision (the one it
// was made with), whatever the context's precision is now. src must not point into the vector.
// A null array with n > 0 is run error 52; n above the largest vector size is run error 562
// (the vector is then left as it was). Each returns false after a reported error.
#pragma once
#include <cstddef>
#include <cstdint>

#include "numeric/vecnum.h"

struct zquad;

#define KST_VECNUM_HOSTTYPES_SINGLE(X)                                                                 \
    X(sint, int)                                                                                       \
    X(uint, unsigned int)                                                                              \
    X(sint16, int16_t)                                                                                 \
    X(uint16, uint16_t)                                                                                \
    X(sint32, int32_t)                                                                                 \
    X(uint32, uint32_t)                                                                                \
    X(sint64, int64_t)                                                                                 \
    X(uint64, uint64_t)                                                                                \
    X(slong, long)                                                                                     \
    X(ulong, unsigned long)                                                                            \
    X(sshort, short)                                                                                   \
    X(ushort, unsigned short)                                                                          \
    X(double, double)                                                                                  \
    X(float, float)                                                                                    \
    X(longdouble, long double)                                                                         \
    X(doubleComplex, complexe)
#define KST_VECNUM_HOSTTYPES(X)                                                                        \
    KST_VECNUM_HOSTTYPES_SINGLE(X)                                                                     \
    X(float128, __float128)                                                                            \
    X(float128Complex, zquad)

#define KST_VECNUM_DECLARE_COPY(name, type)                                                            \
    bool Vcopyto_##name(t_cctx* ctx, const t_vecnum* v, type* dst, size_t n);                          \
    bool Vcopyfrom_##name(t_cctx* ctx, t_vecnum* v, const type* src, size_t n);
#define KST_VECNUM_DECLARE_SINGLE(name, type)                                                          \
    bool Vcopytosingle_##name(t_cctx* ctx, const t_vecnum* v, uint32_t index, type* dst);
KST_VECNUM_HOSTTYPES(KST_VECNUM_DECLARE_COPY)
KST_VECNUM_HOSTTYPES_SINGLE(KST_VECNUM_DECLARE_SINGLE)
#undef KST_VECNUM_DECLARE_COPY
#undef KST_VECNUM_DECLARE_SINGLE

// Raw element bytes: sizeof(double), sizeof(complexe), sizeof(__float128) or sizeof(zquad) for
// the fixed-size types, 0 for MPFR and MPC vectors (their elements point to limbs).
size_t vecnum_rawsize(const t_vecnum* v);
// n elements as bytes (n * vecnum_rawsize), zero bytes past the end of the vector; and the
// vector resized to n elements taken from bytes. A vector without fixed-size elements is run
// error 560; the other errors are those of the typed copies.
bool VcopyToRawData(t_cctx* ctx, const t_vecnum* v, void* dst, size_t n);
bool VcopyFromRawData(t_cctx* ctx, t_vecnum* v, const void* src, size_t n);
