// Power-of-two complex Fourier transforms in double and quad precision (the built-in kernels of
// frequency analysis and of the fft statements), and the plans through which the double
// statements reach a transform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// ---------------------------------------------------------------- kernels
// `data` holds n complex numbers interleaved (re0, im0, re1, im1, ...); n must be a power of two
// (callers check with fft_ispow2). sign -1 gives Z_j = sum_k z_k exp(-2 pi i jk/n), sign +1 the
// same with exp(+...); neither divides by n. In place, no allocation but the shared twiddle table
// of each size.
bool fft_ispow2(size_t n);
void fft_radix2(double* data, size_t n, int sign);
void fft_radix2(__float128* data, size_t n, int sign);

// The classic 1-based layout: data[1..2nn] interleaved, so `data` points one before the first
// real part.
void naf_four1(double* data, size_t nn, int isign);
void quad_four1(__float128* data, size_t nn, int isign);

// Several dimensions, row-major (the last index varies fastest), every extent a power of two:
// the one-dimensional transform along each axis in turn.
void dbl_fourn(double* data, const std::vector<size_t>& dims, int isign);
void quad_fourn(__float128* data, const std::vector<size_t>& dims, int isign);

// ---------------------------------------------------------------- plans
// A transform of a given shape and direction, made once and kept until fft_reset. The built-in
// kernels back every plan; an external library would only have to fill `execute`.
struct t_fftplan {
    std::vector<size_t> dims;     // extents, row-major
    int sign;                     // -1 forward, +1 backward
    const char* backend;          // "builtin"
    void (*execute)(const t_fftplan* plan, double* data);
};

// Null when an extent is not a power of two (or there is none). The plan stays valid until
// fft_reset; making and finding plans takes a lock, executing them does not.
const t_fftplan* fftplan_create(size_t n, int sign);
const t_fftplan* fftplannd_create(const std::vector<size_t>& dims, int sign);
// Orders plans by rank, then extents, then sign: <0, 0, >0.
int fftplannd_cmp(const t_fftplan& a, const t_fftplan& b);
// Drops every plan (the statement `reset`), and the number of plans kept.
void fft_reset();
size_t fftplan_count();
