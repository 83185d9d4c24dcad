// Elementary functions of doubles eight at a time through the SLEEF vector library (its 1.0-ulp
// functions; sqrt is correctly rounded). Every element, the tail of a block included, goes
// through the same vector function, so a result does not depend on how the work was split.
#pragma once
#include <cstdint>

enum class t_simdfn { sin, cos, tan, asin, acos, atan, exp, log, log10, sqrt };

// True when the processor has the 512-bit vector unit these kernels are built for.
bool vecnum_simd_usable();
// dst[i] = f(src[i]) for i in [0, n); dst and src may be the same array.
void vecnum_simd_dbl(t_simdfn f, const double* src, double* dst, uint32_t n);
