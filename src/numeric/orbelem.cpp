// Elliptic elements <-> positions and velocities: the one-body kernels in double and quadruple
// precision (one template, so that both precisions follow the same operations in the same order)
// and the drivers that run them over arrays of vectors on the scheduler.
#include "numeric/orbelem.h"

#include <cmath>
#include <quadmath.h>

#include "coef/coefnum.h"
#include "interp/error.h"
#include "interp/roomapi.h"
#include "interp/taskloop.h"
#include "numeric/tableau.h"
#include "numeric/vecnumtyped.h"

namespace {

template <class T> struct t_orbmath;
template <> struct t_orbmath<double> {
    static constexpr double eps2 = 4.440892098500626e-16;   // twice the machine epsilon
    static double sqrt(double x) { return std::sqrt(x); }
    static double sin(double x) { return std::sin(x); }
    static double cos(double x) { return std::cos(x); }
    static double atan2(double y, double x) { return std::atan2(y, x); }
    static double abs(double x) { return std::fabs(x); }
    static double nan() { return NAN; }
};
template <> struct t_orbmath<__float128> {
    static constexpr __float128 eps2 = 2 * FLT128_EPSILON;
    static __float128 sqrt(__float128 x) { return sqrtq(x); }
    static __float128 sin(__float128 x) { return sinq(x); }
    static __float128 cos(__float128 x) { return cosq(x); }
    static __float128 atan2(__float128 y, __float128 x) { return atan2q(y, x); }
    static __float128 abs(__float128 x) { return fabsq(x); }
    static __float128 nan() { return nanq(""); }
};

template <class T>
bool kepler(T* plambda, T k, T h, T* pF)
{
    using M = t_orbmath<T>;
    const T lambda = *plambda;
    // Third-order start from F = lambda.
    T F0 = lambda;
    T c = M::cos(F0), s = M::sin(F0);
    T e1 = k * s - h * c, e2 = k * c + h * s;
    T d = lambda + e1 - F0;
    T A = 1 - e2, B = e1 / 2;
    T x = d / (A - (d / A) * B);
    const T F1 = F0 + d / ((x * e2 / 6 + B) * x + A);
    // Fifth-order step: the start is already close, so one step gains most of the digits.
    c = M::cos(F1);
    s = M::sin(F1);
    e1 = k * s - h * c;
    e2 = k * c + h * s;
    A = 1 - e2;
    B = e1 / 2;
    const T C = e2 / 6, D = -e1 / 24;
    d = lambda - (F1 - e1);
    const T x1 = d / (A - (d / A) * B);
    const T x2 = d / ((x1 * C + B) * x1 + A);
    const T x3 = d / (((x2 * D + C) * x2 + B) * x2 + A);
    const T F2 = F1 + d / ((((x3 * (-e2 / 120) + D) * x3 + C) * x3 + B) * x3 + A);
    // Newton; the accepted correction is below the rounding of F, so it is not added.
    T F = F2, delta = 0, eps = M::eps2;
    for (int count = 1;; count++) {
        F += delta;
        delta = (lambda - (F - (k * M::sin(F) - h * M::cos(F)))) / (1 - (k * M::cos(F) + h * M::sin(F)));
        if (count == 21) eps *= 4;
        if (count == 24) break;
        const T scale = M::abs(F) > 1 ? M::abs(F) : T(1);
        if (M::abs(delta) / scale <= eps) {
            *pF = F;
            return true;
        }
    }
    *pF = M::nan();
    *plambda = M::nan();
    return false;
}

template <class T>
void ellipxn(const T el[6], T mu, T X[3], T V[3])
{
    using M = t_orbmath<T>;
    const T a = el[0], k = el[2], h = el[3], q = el[4], p = el[5];
    T lambda = el[1];
    const T na = M::sqrt(mu / a);
    const T phi = M::sqrt(1 - k * k - h * h);
    const T psi = M::sqrt(1 - q * q - p * p);
    const T u[3] = {1 - 2 * p * p, 2 * p * q, -2 * p * psi};
    const T v[3] = {2 * p * q, 1 - 2 * q * q, 2 * q * psi};
    T F;
    kepler(&lambda, k, h, &F);
    const T sF = M::sin(F), cF = M::cos(F);
    const T E = h * sF + k * cF;
    const T G = (h * cF - k * sF) / (1 + phi);
    const T H = E / (1 + phi);
    const T R = na / (1 - E);
    const T X1 = a * (cF - G * h - k), Y1 = a * (G * k + sF - h);
    const T VX1 = R * (H * h - sF), VY1 = R * (cF - H * k);
    for (int i = 0; i < 3; i++) {
        X[i] = X1 * u[i] + Y1 * v[i];
        V[i] = VX1 * u[i] + VY1 * v[i];
    }
}

template <class T>
void xyzkhqpn(const T X[3], const T Vin[3], T mu, T el[6])
{
    using M = t_orbmath<T>;
    const T smu = M::sqrt(mu);
    const T V[3] = {Vin[0] / smu, Vin[1] / smu, Vin[2] / smu};
    const T x1 = X[0], x2 = X[1], x3 = X[2];
    const T V1 = V[0], V2 = V[1], V3 = V[2];
    const T r = M::sqrt(x1 * x1 + x2 * x2 + x3 * x3);
    const T v2 = V1 * V1 + V2 * V2 + V3 * V3;
    const T rv = x1 * V1 + x2 * V2 + x3 * V3;
    const T c1 = x2 * V3 - x3 * V2, c2 = x3 * V1 - x1 * V3, c3 = x1 * V2 - x2 * V1;
    const T c = M::sqrt(c1 * c1 + c2 * c2 + c3 * c3);
    const T a = r / (2 - r * v2);
    const T s = M::sqrt(2 / r - v2);
    // c + c3 = c (1 + cos i) vanishes for retrograde orbits near i = pi; written there as
    // (c1^2 + c2^2) / (c - c3) it keeps its digits instead of losing them to the cancellation.
    const T cc3 = c3 >= 0 ? c + c3 : (c1 * c1 + c2 * c2) / (c - c3);
    const T w = M::sqrt(2 * c * cc3);
    const T q = -c2 / w, p = c1 / w;
    const T u = v2 - 1 / r, t = rv / (r * c), z = c - r / c;
    const T g1 = c1 / cc3, g2 = c2 / cc3;
    const T h = ((V3 * z + x3 * t) * g1 - (V1 * z + x1 * t) + (-V2 * rv + x2 * u - (-V3 * rv + x3 * u) * g2)) / 2;
    const T k = (-V1 * rv + x1 * u - (-V3 * rv + x3 * u) * g1 + (V2 * z + x2 * t - (V3 * z + x3 * t) * g2)) / 2;
    const T m = (r * v2 - 1) / (1 + c * s);
    const T F = M::atan2(h * m - (V1 - V3 * g1) * r * s, k * m + (V2 - V3 * g2) * r * s);
    el[0] = a;
    el[1] = F - rv * s;
    el[2] = k;
    el[3] = h;
    el[4] = q;
    el[5] = p;
}

// ---------------------------------------------------------------- array drivers

// The vectors of a one-dimensional array of real vectors of the working type `flag`, checked
// in the order a user fixes them: what the array holds (350), how many (count, else `counterror`),
// their lengths and types among themselves (150), and the working type (350).
bool arrayvectors(t_cctx* ctx, const t_tableau* a, int count, int counterror, int flag, std::vector<t_vecnum*>* out)
{
    if (!a || a->ndim() != 1) {
        kst_runerror(ctx, 350);
        return false;
    }
    std::vector<t_vecnum*> vs;
    for (long i = 0; i < a->Vsize(); i++) {
        t_idcommon* e = a->elt(i).getData();
        if (e) e = e->Vgetvalue();
        if (!e || e->Vgettypeenum() != IDTYPE_VECNUM) {
            kst_runerror(ctx, 350);
            return false;
        }
        vs.push_back(static_cast<t_vecnum*>(e));
    }
    if (static_cast<int>(vs.size()) != count) {
        kst_runerror(ctx, counterror);
        return false;
    }
    for (const t_vecnum* v : vs) {
        if (v->vecflag() != vs[0]->vecflag() || v->size() != vs[0]->size()) {
            kst_runerror(ctx, 150);
            return false;
        }
    }
    if (vs[0]->vecflag() != flag) {
        kst_runerror(ctx, 350);
        return false;
    }
    *out = std::move(vs);
    return true;
}

bool samelength(t_cctx* ctx, const t_vecnum* a, const t_vecnum* b)
{
    if (a->size() == b->size()) return true;
    kst_runerror(ctx, 143, a->getName(), b->getName());
    return false;
}

// A new array [1..n] of n new vectors of the type `flag` and length `len`.
t_tableau* newresult(t_cctx* ctx, int n, int flag, uint32_t len, std::vector<t_vecnum*>* vectors)
{
    auto* t = new t_tableau(n);
    for (int i = 0; i < n; i++) {
        t_vecnum* v = vecnum_create(ctx, flag, "", len);
        vectors->push_back(v);
        t->init_elt_tab_idc(i, v);
    }
    return t;
}

template <class T>
T* data(const t_vecnum* v)
{
    return static_cast<T*>(v->rawdata());
}

// Runs body(i) for every body i; bodies are independent, so any split gives the same bits.
template <class F>
void forbodies(t_cctx* ctx, uint32_t n, F body)
{
    if (n == 0) return;
    // The smallest grain: blocks of 100 bodies claimed from a shared counter. A body costs a few
    // hundred nanoseconds, so a block outweighs its claim, and the last blocks still balance.
    auto range = [&body](int first, int last, t_cctx*) {
        for (int i = first; i <= last; i++) body(static_cast<uint32_t>(i));
    };
    t_parallel_loop_for_range_par<decltype(range)> loop(ctx, range);
    if (kst_parallel_allowed(ctx)) ZODUV_loop_for_fast<ZODUVDispatcherLocal, ZODUVSmallGrain>(0, n - 1, loop);
    else ZODUV_loop_for_fast<ZODUVDispatcherSequential, ZODUVSmallGrain>(0, n - 1, loop);
}

template <class T>
void run_ellipx(t_cctx* ctx, const std::vector<t_vecnum*>& el, T mu, const std::vector<t_vecnum*>& X,
                const std::vector<t_vecnum*>& V)
{
    T* in[6];
    T* xo[3];
    T* vo[3];
    for (int j = 0; j < 6; j++) in[j] = data<T>(el[j]);
    for (int j = 0; j < 3; j++) {
        xo[j] = data<T>(X[j]);
        vo[j] = data<T>(V[j]);
    }
    forbodies(ctx, el[0]->size(), [&](uint32_t i) {
        T e[6], x[3], v[3];
        for (int j = 0; j < 6; j++) e[j] = in[j][i];
        ellipxn<T>(e, mu, x, v);
        for (int j = 0; j < 3; j++) {
            xo[j][i] = x[j];
            vo[j][i] = v[j];
        }
    });
}

template <class T>
void run_xyzkhqp(t_cctx* ctx, const std::vector<t_vecnum*>& X, const std::vector<t_vecnum*>& V, T mu,
                 const std::vector<t_vecnum*>& el)
{
    T* xi[3];
    T* vi[3];
    T* out[6];
    for (int j = 0; j < 3; j++) {
        xi[j] = data<T>(X[j]);
        vi[j] = data<T>(V[j]);
    }
    for (int j = 0; j < 6; j++) out[j] = data<T>(el[j]);
    forbodies(ctx, X[0]->size(), [&](uint32_t i) {
        T x[3], v[3], e[6];
        for (int j = 0; j < 3; j++) {
            x[j] = xi[j][i];
            v[j] = vi[j][i];
        }
        xyzkhqpn<T>(x, v, mu, e);
        for (int j = 0; j < 6; j++) out[j][i] = e[j];
    });
}

__float128 toquad(t_cctx* ctx, const coef* c)
{
    if (c->type == BH_ZERO) return 0;
    coef q = coefnum_convert_raw(ctx, c, BH_QUAD);
    __float128 r = q.type == BH_QUAD ? *coef_box<t_quadtype>(&q) : nanq("");
    deletecoef(&q);
    return r;
}

int workingflag(const t_cctx* ctx) { return vecnum_flagreal_of_mode(kst_kctx(ctx).num.modenum); }

} // namespace

bool keplkh2(double* lambda, double k, double h, double* F) { return kepler<double>(lambda, k, h, F); }
bool keplkh2_quad(__float128* lambda, __float128 k, __float128 h, __float128* F)
{
    return kepler<__float128>(lambda, k, h, F);
}
void ELLIPXN(const double elements[6], double mu, double position[3], double velocity[3])
{
    ellipxn<double>(elements, mu, position, velocity);
}
void ELLIPXN_quad(const __float128 elements[6], __float128 mu, __float128 position[3], __float128 velocity[3])
{
    ellipxn<__float128>(elements, mu, position, velocity);
}
void XYZKHQPN(const double position[3], const double velocity[3], double mu, double elements[6])
{
    xyzkhqpn<double>(position, velocity, mu, elements);
}
void XYZKHQPN_quad(const __float128 position[3], const __float128 velocity[3], __float128 mu, __float128 elements[6])
{
    xyzkhqpn<__float128>(position, velocity, mu, elements);
}

bool tabnum_ellipx(t_cctx* ctx, const t_tableau* elements, const coef* mu, t_tableau** position, t_tableau** velocity)
{
    *position = *velocity = nullptr;
    const int flag = workingflag(ctx);
    if (flag != VECNUM_DBL && flag != VECNUM_QUAD) kst_iceerror(1012, "tabnum_ellipx", flag);
    std::vector<t_vecnum*> el, X, V;
    if (!arrayvectors(ctx, elements, 6, 400, flag, &el)) return false;
    const uint32_t n = el[0]->size();
    *position = newresult(ctx, 3, flag, n, &X);
    *velocity = newresult(ctx, 3, flag, n, &V);
    if (flag == VECNUM_DBL) run_ellipx<double>(ctx, el, mu->type == BH_ZERO ? 0.0 : coef2dbl(mu), X, V);
    else run_ellipx<__float128>(ctx, el, toquad(ctx, mu), X, V);
    return true;
}

bool tabnum_xyzkhqp(t_cctx* ctx, const t_tableau* position, const t_tableau* velocity, const coef* mu,
                    t_tableau** elements)
{
    *elements = nullptr;
    const int flag = workingflag(ctx);
    if (flag != VECNUM_DBL && flag != VECNUM_QUAD) kst_iceerror(1012, "tabnum_xyzkhqp", flag);
    std::vector<t_vecnum*> X, V, el;
    if (!arrayvectors(ctx, position, 3, 401, flag, &X) || !arrayvectors(ctx, velocity, 3, 401, flag, &V) ||
        !samelength(ctx, X[0], V[0]))
        return false;
    *elements = newresult(ctx, 6, flag, X[0]->size(), &el);
    if (flag == VECNUM_DBL) run_xyzkhqp<double>(ctx, X, V, mu->type == BH_ZERO ? 0.0 : coef2dbl(mu), el);
    else run_xyzkhqp<__float128>(ctx, X, V, toquad(ctx, mu), el);
    return true;
}
