// Built with -mavx512f (see CMakeLists.txt): called only once vecnum_simd_usable() said yes.
#include "numeric/vecnumsimd.h"

// g++ 12's _mm512_sqrt_pd starts from _mm512_undefined_pd and warns that it may be read; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#include <sleef.h>

namespace {

template <auto F>
void run(const double* src, double* dst, uint32_t n)
{
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) _mm512_storeu_pd(dst + i, F(_mm512_loadu_pd(src + i)));
    if (i < n) {
        // The tail through the same function, in a masked vector: the lanes past the end read
        // and write nothing.
        const __mmask8 m = static_cast<__mmask8>((1u << (n - i)) - 1);
        const __m512d x = _mm512_maskz_loadu_pd(m, src + i);
        _mm512_mask_storeu_pd(dst + i, m, F(x));
    }
}

__m512d sqrt8(__m512d x) { return _mm512_sqrt_pd(x); }

} // namespace

void vecnum_simd_dbl(t_simdfn f, const double* src, double* dst, uint32_t n)
{
    switch (f) {
    case t_simdfn::sin: run<Sleef_sind8_u10>(src, dst, n); break;
    case t_simdfn::cos: run<Sleef_cosd8_u10>(src, dst, n); break;
    case t_simdfn::tan: run<Sleef_tand8_u10>(src, dst, n); break;
    case t_simdfn::asin: run<Sleef_asind8_u10>(src, dst, n); break;
    case t_simdfn::acos: run<Sleef_acosd8_u10>(src, dst, n); break;
    case t_simdfn::atan: run<Sleef_atand8_u10>(src, dst, n); break;
    case t_simdfn::exp: run<Sleef_expd8_u10>(src, dst, n); break;
    case t_simdfn::log: run<Sleef_logd8_u10>(src, dst, n); break;
    case t_simdfn::log10: run<Sleef_log10d8_u10>(src, dst, n); break;
    case t_simdfn::sqrt: run<sqrt8>(src, dst, n); break;
    }
}
