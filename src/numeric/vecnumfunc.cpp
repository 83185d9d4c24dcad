// The elementary functions on numeric vectors, computed on the native storage: one pass that
// writes each result element in place, in blocks spread over the scheduler's threads when the
// vector is large. Every element is computed by the same function whatever the thread count, so
// the result does not depend on _cpu.
#include "numeric/vecnumfunc.h"

#include <quadmath.h>

#include <complex>
#include <cstdlib>
#include <cstring>

#include "numeric/vecnumsimd.h"
#include "numeric/vecnumtyped.h"

namespace {

enum class vf {
    cos, sin, tan, acos, asin, atan, cosh, sinh, tanh, acosh, asinh, atanh, exp, log, log10, sqrt,
    abs, arg, real, imag, conj, neg, nint, pent, erf, erfc, sign, none
};

vf functionof(const char* opname)
{
    static const struct { const char* name; vf f; } table[] = {
        {"Vcos", vf::cos},     {"Vsin", vf::sin},     {"Vtan", vf::tan},     {"Vacos", vf::acos},
        {"Vasin", vf::asin},   {"Vatan", vf::atan},   {"Vcosh", vf::cosh},   {"Vsinh", vf::sinh},
        {"Vtanh", vf::tanh},   {"Vacosh", vf::acosh}, {"Vasinh", vf::asinh}, {"Vatanh", vf::atanh},
        {"Vexp", vf::exp},     {"Vlog", vf::log},     {"Vlog10", vf::log10}, {"Vsqrt", vf::sqrt},
        {"Vabs", vf::abs},     {"Varg", vf::arg},     {"Vreal", vf::real},   {"Vimag", vf::imag},
        {"Vconj", vf::conj},   {"Vneg", vf::neg},     {"Vnint", vf::nint},   {"Vpent", vf::pent},
        {"Verf", vf::erf},     {"Verfc", vf::erfc},   {"Vsign", vf::sign},
    };
    for (const auto& e : table)
        if (strcmp(e.name, opname) == 0) return e.f;
    return vf::none;
}

// r[i] = fn(&r[i], &src[i]) for every i, r a new vector of flag dstflag and the size of src.
template <class D, class S, class F>
t_vecnum* map(t_cctx* ctx, const t_vecnumt<S>* src, F fn)
{
    const uint32_t n = src->size();
    auto* r = static_cast<t_vecnumt<D>*>(vecnum_create(ctx, vecnum_flagof<D>(), "", n));
    auto body = [r, src, &fn](uint32_t a, uint32_t b) {
        for (uint32_t i = a; i < b; i++) fn(&(*r)[i], &(*src)[i]);
    };
    vecnum_forblocks(ctx, n, body);
    return r;
}

double sign_of(double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; }

bool simdfunction(vf f, t_simdfn* out)
{
    switch (f) {
    case vf::sin: *out = t_simdfn::sin; return true;
    case vf::cos: *out = t_simdfn::cos; return true;
    case vf::tan: *out = t_simdfn::tan; return true;
    case vf::asin: *out = t_simdfn::asin; return true;
    case vf::acos: *out = t_simdfn::acos; return true;
    case vf::atan: *out = t_simdfn::atan; return true;
    case vf::exp: *out = t_simdfn::exp; return true;
    case vf::log: *out = t_simdfn::log; return true;
    case vf::log10: *out = t_simdfn::log10; return true;
    case vf::sqrt: *out = t_simdfn::sqrt; return true;
    default: return false;
    }
}

// The vector-library form of f on a double vector; null when f has none or the processor lacks
// the vector unit. The result's pages are first written by the blocks that compute them.
t_vecnum* simd_dbl(t_cctx* ctx, const t_vecnumt<t_dbltype>* src, vf f)
{
    t_simdfn g;
    if (!simdfunction(f, &g) || !vecnum_simd_usable()) return nullptr;
    const uint32_t n = src->size();
    auto* r = static_cast<t_vecnumt<t_dbltype>*>(vecnum_create(ctx, vecnum_flagof<t_dbltype>(), "", 0));
    r->setsize_unwritten(n);
    auto body = [r, src, g](uint32_t a, uint32_t b) { vecnum_simd_dbl(g, src->data() + a, r->data() + a, b - a); };
    vecnum_forblocks(ctx, n, body);
    return r;
}

// ---------------------------------------------------------------- double

t_vecnum* real_dbl(t_cctx* ctx, const t_vecnumt<t_dbltype>* v, vf f)
{
    if (t_vecnum* r = simd_dbl(ctx, v, f)) return r;
    using T = t_dbltype;
#define KST_VF(name, expr)                                                                         \
    case vf::name: return map<T>(ctx, v, [](double* d, const double* s) { [[maybe_unused]] const double x = *s; *d = (expr); });
    switch (f) {
        KST_VF(cos, std::cos(x)) KST_VF(sin, std::sin(x)) KST_VF(tan, std::tan(x))
        KST_VF(acos, std::acos(x)) KST_VF(asin, std::asin(x)) KST_VF(atan, std::atan(x))
        KST_VF(cosh, std::cosh(x)) KST_VF(sinh, std::sinh(x)) KST_VF(tanh, std::tanh(x))
        KST_VF(acosh, std::acosh(x)) KST_VF(asinh, std::asinh(x)) KST_VF(atanh, std::atanh(x))
        KST_VF(exp, std::exp(x)) KST_VF(log, std::log(x)) KST_VF(log10, std::log10(x))
        KST_VF(sqrt, std::sqrt(x)) KST_VF(abs, std::fabs(x)) KST_VF(arg, x < 0 ? M_PI : 0.0)
        KST_VF(real, x) KST_VF(imag, 0.0) KST_VF(conj, x) KST_VF(neg, -x)
        KST_VF(nint, std::nearbyint(x)) KST_VF(pent, std::floor(x)) KST_VF(erf, std::erf(x))
        KST_VF(erfc, std::erfc(x)) KST_VF(sign, sign_of(x))
    default: return nullptr;
    }
#undef KST_VF
}

t_vecnum* cplx_dbl(t_cctx* ctx, const t_vecnumt<t_zdbltype>* v, vf f)
{
    using Z = std::complex<double>;
    using T = t_zdbltype;
#define KST_VF(name, expr)                                                                         \
    case vf::name:                                                                                 \
        return map<T>(ctx, v, [](complexe* d, const complexe* s) {                                 \
            const Z x(s->re, s->im);                                                               \
            const Z y = (expr);                                                                    \
            *d = complexe{y.real(), y.imag()};                                                     \
        });
#define KST_VFR(name, expr)                                                                        \
    case vf::name:                                                                                 \
        return map<t_dbltype>(ctx, v, [](double* d, const complexe* s) { const Z x(s->re, s->im); *d = (expr); });
    switch (f) {
        KST_VF(cos, std::cos(x)) KST_VF(sin, std::sin(x)) KST_VF(tan, std::tan(x))
        KST_VF(acos, std::acos(x)) KST_VF(asin, std::asin(x)) KST_VF(atan, std::atan(x))
        KST_VF(cosh, std::cosh(x)) KST_VF(sinh, std::sinh(x)) KST_VF(tanh, std::tanh(x))
        KST_VF(acosh, std::acosh(x)) KST_VF(asinh, std::asinh(x)) KST_VF(atanh, std::atanh(x))
        KST_VF(exp, std::exp(x)) KST_VF(log, std::log(x)) KST_VF(log10, std::log10(x))
        KST_VF(sqrt, std::sqrt(x)) KST_VF(conj, std::conj(x)) KST_VF(neg, -x)
        KST_VFR(abs, std::abs(x)) KST_VFR(arg, std::arg(x)) KST_VFR(real, x.real()) KST_VFR(imag, x.imag())
    default: return nullptr;
    }
#undef KST_VF
#undef KST_VFR
}

// ---------------------------------------------------------------- quad

__float128 sign_ofq(__float128 x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }

t_vecnum* real_quad(t_cctx* ctx, const t_vecnumt<t_quadtype>* v, vf f)
{
    using T = t_quadtype;
    using Q = __float128;
#define KST_VF(name, expr)                                                                         \
    case vf::name: return map<T>(ctx, v, [](Q* d, const Q* s) { [[maybe_unused]] const Q x = *s; *d = (expr); });
    switch (f) {
        KST_VF(cos, cosq(x)) KST_VF(sin, sinq(x)) KST_VF(tan, tanq(x))
        KST_VF(acos, acosq(x)) KST_VF(asin, asinq(x)) KST_VF(atan, atanq(x))
        KST_VF(cosh, coshq(x)) KST_VF(sinh, sinhq(x)) KST_VF(tanh, tanhq(x))
        KST_VF(acosh, acoshq(x)) KST_VF(asinh, asinhq(x)) KST_VF(atanh, atanhq(x))
        KST_VF(exp, expq(x)) KST_VF(log, logq(x)) KST_VF(log10, log10q(x))
        KST_VF(sqrt, sqrtq(x)) KST_VF(abs, fabsq(x)) KST_VF(arg, x < 0 ? M_PIq : (Q)0)
        KST_VF(real, x) KST_VF(imag, (Q)0) KST_VF(conj, x) KST_VF(neg, -x)
        KST_VF(nint, nearbyintq(x)) KST_VF(pent, floorq(x)) KST_VF(erf, erfq(x))
        KST_VF(erfc, erfcq(x)) KST_VF(sign, sign_ofq(x))
    default: return nullptr;
    }
#undef KST_VF
}

t_vecnum* cplx_quad(t_cctx* ctx, const t_vecnumt<t_zquadtype>* v, vf f)
{
    using T = t_zquadtype;
    using Q = __float128;
    using Z = __complex128;
#define KST_VF(name, expr)                                                                         \
    case vf::name:                                                                                 \
        return map<T>(ctx, v, [](zquad* d, const zquad* s) {                                       \
            Z x;                                                                                   \
            __real__ x = s->re;                                                                    \
            __imag__ x = s->im;                                                                    \
            const Z y = (expr);                                                                    \
            *d = zquad{__real__ y, __imag__ y};                                                    \
        });
#define KST_VFR(name, expr)                                                                        \
    case vf::name:                                                                                 \
        return map<t_quadtype>(ctx, v, [](Q* d, const zquad* s) {                                  \
            Z x;                                                                                   \
            __real__ x = s->re;                                                                    \
            __imag__ x = s->im;                                                                    \
            *d = (expr);                                                                           \
        });
    switch (f) {
        KST_VF(cos, ccosq(x)) KST_VF(sin, csinq(x)) KST_VF(tan, ctanq(x))
        KST_VF(acos, cacosq(x)) KST_VF(asin, casinq(x)) KST_VF(atan, catanq(x))
        KST_VF(cosh, ccoshq(x)) KST_VF(sinh, csinhq(x)) KST_VF(tanh, ctanhq(x))
        KST_VF(acosh, cacoshq(x)) KST_VF(asinh, casinhq(x)) KST_VF(atanh, catanhq(x))
        KST_VF(exp, cexpq(x)) KST_VF(log, clogq(x)) KST_VF(log10, clog10q(x))
        KST_VF(sqrt, csqrtq(x)) KST_VF(conj, conjq(x)) KST_VF(neg, -x)
        KST_VFR(abs, cabsq(x)) KST_VFR(arg, cargq(x)) KST_VFR(real, crealq(x)) KST_VFR(imag, cimagq(x))
    default: return nullptr;
    }
#undef KST_VF
#undef KST_VFR
}

// ---------------------------------------------------------------- MPFR and MPC

int fr_arg(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t d)
{
    if (mpfr_sgn(a) < 0) return mpfr_const_pi(r, d);
    mpfr_set_zero(r, 1);
    return 0;
}
int fr_zero(mpfr_ptr r, mpfr_srcptr, mpfr_rnd_t)
{
    mpfr_set_zero(r, 1);
    return 0;
}
int fr_floor(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_floor(r, a); }
int fr_sign(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t d)
{
    return mpfr_set_si(r, mpfr_nan_p(a) ? 0 : mpfr_sgn(a), d);
}

t_vecnum* real_fpmp(t_cctx* ctx, const t_vecnumt<t_fpmptype>* v, vf f)
{
    using T = t_fpmptype;
#define KST_VF(name, fn)                                                                           \
    case vf::name:                                                                                 \
        return map<T>(ctx, v, [](__mpfr_struct* d, const __mpfr_struct* s) { fn(d, s, MPFR_RNDN); });
    switch (f) {
        KST_VF(cos, mpfr_cos) KST_VF(sin, mpfr_sin) KST_VF(tan, mpfr_tan)
        KST_VF(acos, mpfr_acos) KST_VF(asin, mpfr_asin) KST_VF(atan, mpfr_atan)
        KST_VF(cosh, mpfr_cosh) KST_VF(sinh, mpfr_sinh) KST_VF(tanh, mpfr_tanh)
        KST_VF(acosh, mpfr_acosh) KST_VF(asinh, mpfr_asinh) KST_VF(atanh, mpfr_atanh)
        KST_VF(exp, mpfr_exp) KST_VF(log, mpfr_log) KST_VF(log10, mpfr_log10)
        KST_VF(sqrt, mpfr_sqrt) KST_VF(abs, mpfr_abs) KST_VF(arg, fr_arg)
        KST_VF(real, mpfr_set) KST_VF(imag, fr_zero) KST_VF(conj, mpfr_set) KST_VF(neg, mpfr_neg)
        KST_VF(nint, mpfr_rint) KST_VF(pent, fr_floor) KST_VF(erf, mpfr_erf)
        KST_VF(erfc, mpfr_erfc) KST_VF(sign, fr_sign)
    default: return nullptr;
    }
#undef KST_VF
}

int mpc_realpart(mpfr_ptr r, mpc_srcptr a, mpfr_rnd_t d) { return mpfr_set(r, mpc_realref(a), d); }
int mpc_imagpart(mpfr_ptr r, mpc_srcptr a, mpfr_rnd_t d) { return mpfr_set(r, mpc_imagref(a), d); }

t_vecnum* cplx_fpmp(t_cctx* ctx, const t_vecnumt<t_zfpmptype>* v, vf f)
{
    using T = t_zfpmptype;
#define KST_VF(name, fn)                                                                           \
    case vf::name:                                                                                 \
        return map<T>(ctx, v, [](__mpc_struct* d, const __mpc_struct* s) { fn(d, s, MPC_RNDNN); });
#define KST_VFR(name, fn)                                                                          \
    case vf::name:                                                                                 \
        return map<t_fpmptype>(ctx, v, [](__mpfr_struct* d, const __mpc_struct* s) { fn(d, s, MPFR_RNDN); });
    switch (f) {
        KST_VF(cos, mpc_cos) KST_VF(sin, mpc_sin) KST_VF(tan, mpc_tan)
        KST_VF(acos, mpc_acos) KST_VF(asin, mpc_asin) KST_VF(atan, mpc_atan)
        KST_VF(cosh, mpc_cosh) KST_VF(sinh, mpc_sinh) KST_VF(tanh, mpc_tanh)
        KST_VF(acosh, mpc_acosh) KST_VF(asinh, mpc_asinh) KST_VF(atanh, mpc_atanh)
        KST_VF(exp, mpc_exp) KST_VF(log, mpc_log) KST_VF(log10, mpc_log10)
        KST_VF(sqrt, mpc_sqrt) KST_VF(conj, mpc_conj) KST_VF(neg, mpc_neg)
        KST_VFR(abs, mpc_abs) KST_VFR(arg, mpc_arg) KST_VFR(real, mpc_realpart) KST_VFR(imag, mpc_imagpart)
    default: return nullptr;
    }
#undef KST_VF
#undef KST_VFR
}

}  // namespace

bool vecnum_simd_usable()
{
    // KEST_NOSIMD=1 keeps the scalar functions (to compare the two).
    static const bool usable = __builtin_cpu_supports("avx512f") && !getenv("KEST_NOSIMD");
    return usable;
}

t_vecnum* vecnum_elemfunc(t_cctx* ctx, const t_vecnum* v, const char* opname)
{
    const vf f = functionof(opname);
    if (f == vf::none) return nullptr;
    t_vecnum* r = nullptr;
    vecnum_visit(v, [&](auto* t) {
        using S = std::remove_cv_t<std::remove_pointer_t<decltype(t)>>;
        using O = typename S::ops;
        if constexpr (std::is_same_v<O, t_vecelt<t_dbltype>>) r = real_dbl(ctx, t, f);
        else if constexpr (std::is_same_v<O, t_vecelt<t_zdbltype>>) r = cplx_dbl(ctx, t, f);
        else if constexpr (std::is_same_v<O, t_vecelt<t_quadtype>>) r = real_quad(ctx, t, f);
        else if constexpr (std::is_same_v<O, t_vecelt<t_zquadtype>>) r = cplx_quad(ctx, t, f);
        else if constexpr (std::is_same_v<O, t_vecelt<t_fpmptype>>) r = real_fpmp(ctx, t, f);
        else if constexpr (std::is_same_v<O, t_vecelt<t_zfpmptype>>) r = cplx_fpmp(ctx, t, f);
    });
    return r;
}
