// Copies between numeric vectors and host arrays: one typed loop per (vector type, host type),
// chosen once per call, with the element conversions of vecnumcopy.h.
#include "numeric/vecnumcopy.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "numeric/vecnumtyped.h"

static_assert(sizeof(long) == 8, "long carries every 64-bit integer through mpfr_get_si");
static_assert(sizeof(complexe) == 2 * sizeof(double) && sizeof(zquad) == 2 * sizeof(__float128));

namespace {

template <class H> constexpr bool is_cplxhost = std::is_same_v<H, complexe> || std::is_same_v<H, zquad>;

// ------------------------------------------------------------------ element part -> host scalar
// Nearest integer, ties away from zero, saturated; F is wide enough that the type's bounds are
// exact in it, so the comparisons decide saturation without rounding.
template <class I, class F>
I round_saturate(F x)
{
    if (x != x) return 0;
    F r;
    if constexpr (std::is_same_v<F, __float128>) r = roundq(x);
    else r = std::round(x);
    if (r <= static_cast<F>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
    if (r >= static_cast<F>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
    return static_cast<I>(r);
}

// tmp has 128 bits: every integer of a 64-bit type is exact there, and larger values saturate
// anyway.
template <class I>
I round_saturate(const __mpfr_struct* x, mpfr_ptr tmp)
{
    if (mpfr_nan_p(x)) return 0;
    mpfr_round(tmp, x);
    if constexpr (std::is_signed_v<I>) {
        const long v = mpfr_get_si(tmp, MPFR_RNDN);   // saturated to long by MPFR
        if (v <= static_cast<long>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
        if (v >= static_cast<long>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
        return static_cast<I>(v);
    } else {
        if (mpfr_sgn(tmp) <= 0) return 0;
        const unsigned long v = mpfr_get_ui(tmp, MPFR_RNDN);
        if (v >= static_cast<unsigned long>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
        return static_cast<I>(v);
    }
}

template <class S>
S scalar_of(double x, mpfr_ptr)
{
    if constexpr (std::is_integral_v<S>) return round_saturate<S>(static_cast<long double>(x));
    else return static_cast<S>(x);
}
template <class S>
S scalar_of(__float128 x, mpfr_ptr)
{
    if constexpr (std::is_integral_v<S>) return round_saturate<S>(x);
    else return static_cast<S>(x);
}
template <class S>
S scalar_of(const __mpfr_struct* x, mpfr_ptr tmp)
{
    if constexpr (std::is_integral_v<S>) return round_saturate<S>(x, tmp);
    else if constexpr (std::is_same_v<S, float>) return mpfr_get_flt(x, MPFR_RNDN);
    else if constexpr (std::is_same_v<S, double>) return mpfr_get_d(x, MPFR_RNDN);
    else if constexpr (std::is_same_v<S, long double>) return mpfr_get_ld(x, MPFR_RNDN);
    else return mpfr_get_float128(x, MPFR_RNDN);
}

// Real and imaginary parts of a stored element, as the scalar_of overloads take them.
double part_re(const double& e) { return e; }
double part_re(const complexe& e) { return e.re; }
double part_im(const complexe& e) { return e.im; }
__float128 part_re(const __float128& e) { return e; }
__float128 part_re(const zquad& e) { return e.re; }
__float128 part_im(const zquad& e) { return e.im; }
const __mpfr_struct* part_re(const __mpfr_struct& e) { return &e; }
const __mpfr_struct* part_re(const __mpc_struct& e) { return mpc_realref(&e); }
const __mpfr_struct* part_im(const __mpc_struct& e) { return mpc_imagref(&e); }

template <class H, class O>
H load(const typename O::E& e, mpfr_ptr tmp)
{
    if constexpr (is_cplxhost<H>) {
        using S = decltype(H::re);
        H h;
        h.re = scalar_of<S>(part_re(e), tmp);
        if constexpr (O::cplx) h.im = scalar_of<S>(part_im(e), tmp);
        else h.im = 0;
        return h;
    } else {
        return scalar_of<H>(part_re(e), tmp);
    }
}

// ------------------------------------------------------------------ host scalar -> element part
template <class S> void put(double& d, S s) { d = static_cast<double>(s); }
template <class S> void put(__float128& d, S s) { d = static_cast<__float128>(s); }
template <class S>
void put(__mpfr_struct* d, S s)
{
    if constexpr (std::is_integral_v<S> && std::is_signed_v<S>) mpfr_set_si(d, static_cast<long>(s), MPFR_RNDN);
    else if constexpr (std::is_integral_v<S>) mpfr_set_ui(d, static_cast<unsigned long>(s), MPFR_RNDN);
    else if constexpr (std::is_same_v<S, float>) mpfr_set_flt(d, s, MPFR_RNDN);
    else if constexpr (std::is_same_v<S, double>) mpfr_set_d(d, s, MPFR_RNDN);
    else if constexpr (std::is_same_v<S, long double>) mpfr_set_ld(d, s, MPFR_RNDN);
    else mpfr_set_float128(d, s, MPFR_RNDN);
}

template <class O, class H>
void store(typename O::E& e, const H& h)
{
    if constexpr (is_cplxhost<H>) {
        if constexpr (std::is_same_v<typename O::E, __mpc_struct>) {
            put(mpc_realref(&e), h.re);
            put(mpc_imagref(&e), h.im);
        } else if constexpr (O::cplx) {
            put(e.re, h.re);
            put(e.im, h.im);
        } else if constexpr (std::is_same_v<typename O::E, __mpfr_struct>) {
            put(&e, h.re);
        } else {
            put(e, h.re);
        }
    } else {
        if constexpr (std::is_same_v<typename O::E, __mpc_struct>) {
            put(mpc_realref(&e), h);
            mpfr_set_zero(mpc_imagref(&e), 1);
        } else if constexpr (std::is_same_v<typename O::E, __mpfr_struct>) {
            put(&e, h);
        } else if constexpr (O::cplx) {
            put(e.re, h);
            e.im = 0;
        } else {
            put(e, h);
        }
    }
}

// The scratch number of the integer conversions of MPFR and MPC elements, made once per call.
template <class O>
struct t_scratch {
    static constexpr bool need = std::is_same_v<typename O::R, __mpfr_struct>;
    __mpfr_struct x;
    t_scratch()
    {
        if constexpr (need) mpfr_init2(&x, 128);
    }
    ~t_scratch()
    {
        if constexpr (need) mpfr_clear(&x);
    }
    t_scratch(const t_scratch&) = delete;
    t_scratch& operator=(const t_scratch&) = delete;
    mpfr_ptr get() { return need ? &x : nullptr; }
};

template <class T>
using t_opsof = typename std::remove_cv_t<std::remove_pointer_t<T>>::ops;

// The floating element kinds are copied directly; the exact and interval ones go through an MPFR
// (MPC) copy at the context's precision.
template <class O>
constexpr bool k_floating = std::is_same_v<typename O::R, double> || std::is_same_v<typename O::R, __float128> ||
                            std::is_same_v<typename O::R, __mpfr_struct>;

struct t_floatcopy {
    t_vecnum* v = nullptr;
    t_floatcopy(t_cctx* ctx, const t_vecnum* from)
    {
        if (!vecnum_isfloatflag(from->vecflag()))
            v = vecnum_convertcopy(ctx, from, from->Vvecnumiscplx() ? VECNUM_ZFPMP : VECNUM_FPMP);
    }
    ~t_floatcopy()
    {
        if (v) v->Vdelete();
    }
    t_floatcopy(const t_floatcopy&) = delete;
    t_floatcopy& operator=(const t_floatcopy&) = delete;
};

bool checkarray(t_cctx* ctx, const void* p, size_t n)
{
    if (n > 0 && !p) {
        kst_runerror(ctx, 52);
        return false;
    }
    return true;
}

// ------------------------------------------------------------------ the three copies
template <class H>
bool copyto(t_cctx* ctx, const t_vecnum* v, H* dst, size_t n)
{
    if (!checkarray(ctx, dst, n)) return false;
    t_floatcopy f(ctx, v);
    const bool known = vecnum_visit(f.v ? f.v : v, [&](auto* t) {
        using O = t_opsof<decltype(t)>;
        if constexpr (k_floating<O>) {
        t_scratch<O> tmp;
        const size_t m = n < t->size() ? n : t->size();
        const auto* e = t->data();
        for (size_t i = 0; i < m; i++) dst[i] = load<H, O>(e[i], tmp.get());
        for (size_t i = m; i < n; i++) dst[i] = H{};
        }
    });
    if (!known) kst_runerror(ctx, 560);
    return known;
}

template <class H>
bool copytosingle(t_cctx* ctx, const t_vecnum* v, uint32_t index, H* dst)
{
    if (!checkarray(ctx, dst, 1)) return false;
    t_floatcopy f(ctx, v);
    const bool known = vecnum_visit(f.v ? f.v : v, [&](auto* t) {
        using O = t_opsof<decltype(t)>;
        if constexpr (k_floating<O>) {
            t_scratch<O> tmp;
            *dst = index < t->size() ? load<H, O>((*t)[index], tmp.get()) : H{};
        }
    });
    if (!known) kst_runerror(ctx, 560);
    return known;
}

bool checksize(t_cctx* ctx, size_t n)
{
    if (n > UINT32_MAX) {
        kst_runerror(ctx, 562);
        return false;
    }
    return true;
}

template <class H>
bool copyfrom(t_cctx* ctx, t_vecnum* v, const H* src, size_t n)
{
    if (!checkarray(ctx, src, n) || !checksize(ctx, n)) return false;
    if (!vecnum_isfloatflag(v->vecflag()) && vecnum_visit(v, [](auto*) {})) {
        // Filled through an MPFR (MPC) vector, then converted element by element.
        t_vecnum* tmp = vecnum_create(ctx, v->Vvecnumiscplx() ? VECNUM_ZFPMP : VECNUM_FPMP, "", 0);
        const bool ok = copyfrom(ctx, tmp, src, n);
        if (ok) {
            v->Vreset(ctx, static_cast<uint32_t>(n));
            for (uint32_t i = 0; i < static_cast<uint32_t>(n); i++) {
                coef c = tmp->data2coef(ctx, i);
                v->coef2data(ctx, i, &c);
                deletecoef(&c);
            }
        }
        tmp->Vdelete();
        return ok;
    }
    const bool known = vecnum_visit(v, [&](auto* t) {
        using O = t_opsof<decltype(t)>;
        if constexpr (k_floating<O>) {
            t->reset(static_cast<uint32_t>(n));
            auto* e = t->data();
            for (size_t i = 0; i < n; i++) store<O>(e[i], src[i]);
        }
    });
    if (!known) kst_runerror(ctx, 560);
    return known;
}

} // namespace

#define KST_VECNUM_DEFINE_COPY(name, type)                                                              \
    bool Vcopyto_##name(t_cctx* ctx, const t_vecnum* v, type* dst, size_t n) { return copyto(ctx, v, dst, n); } \
    bool Vcopyfrom_##name(t_cctx* ctx, t_vecnum* v, const type* src, size_t n)                         \
    {                                                                                                  \
        return copyfrom(ctx, v, src, n);                                                               \
    }
#define KST_VECNUM_DEFINE_SINGLE(name, type)                                                           \
    bool Vcopytosingle_##name(t_cctx* ctx, const t_vecnum* v, uint32_t index, type* dst)               \
    {                                                                                                  \
        return copytosingle(ctx, v, index, dst);                                                       \
    }
KST_VECNUM_HOSTTYPES(KST_VECNUM_DEFINE_COPY)
KST_VECNUM_HOSTTYPES_SINGLE(KST_VECNUM_DEFINE_SINGLE)
#undef KST_VECNUM_DEFINE_COPY
#undef KST_VECNUM_DEFINE_SINGLE

// ------------------------------------------------------------------ raw bytes
size_t vecnum_rawsize(const t_vecnum* v)
{
    size_t size = 0;
    vecnum_visit(v, [&](auto* t) {
        using O = t_opsof<decltype(t)>;
        if constexpr (std::is_same_v<typename O::R, double> || std::is_same_v<typename O::R, __float128>)
            size = sizeof(typename O::E);
    });
    return size;
}

bool VcopyToRawData(t_cctx* ctx, const t_vecnum* v, void* dst, size_t n)
{
    const size_t elt = vecnum_rawsize(v);
    if (elt == 0) {
        kst_runerror(ctx, 560);
        return false;
    }
    if (!checkarray(ctx, dst, n)) return false;
    const size_t m = n < v->size() ? n : v->size();
    if (m) memcpy(dst, v->rawdata(), m * elt);
    if (n > m) memset(static_cast<char*>(dst) + m * elt, 0, (n - m) * elt);   // 0.0 in IEEE formats
    return true;
}

bool VcopyFromRawData(t_cctx* ctx, t_vecnum* v, const void* src, size_t n)
{
    const size_t elt = vecnum_rawsize(v);
    if (elt == 0) {
        kst_runerror(ctx, 560);
        return false;
    }
    if (!checkarray(ctx, src, n) || !checksize(ctx, n)) return false;
    v->Vreset(ctx, static_cast<uint32_t>(n));
    if (n) memcpy(v->rawdata(), src, n * elt);
    return true;
}
