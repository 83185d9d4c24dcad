// The elementary functions on the stored numbers of a vector: every function of every vector
// type agrees with the same function on one coefficient, long vectors give the same numbers
// whatever the thread count, and the functions that used to go through doubles keep the
// precision of quad and MPFR vectors.
#include <quadmath.h>

#include <cmath>
#include <cstring>

#include "numeric/vecnumfunc.h"
#include "vecnumtest.h"

namespace {

struct t_fn {
    const char* name;
    coef_unop_fn coefvtable::*op;
    double lo, hi;   // real domain of the samples
};
const t_fn k_functions[] = {
    {"Vcos", &coefvtable::cos, -2, 2},     {"Vsin", &coefvtable::sin, -2, 2},
    {"Vtan", &coefvtable::tan, -1, 1},     {"Vacos", &coefvtable::acos, -0.9, 0.9},
    {"Vasin", &coefvtable::asin, -0.9, 0.9}, {"Vatan", &coefvtable::atan, -3, 3},
    {"Vcosh", &coefvtable::cosh, -2, 2},   {"Vsinh", &coefvtable::sinh, -2, 2},
    {"Vtanh", &coefvtable::tanh, -2, 2},   {"Vacosh", &coefvtable::acosh, 1.1, 4},
    {"Vasinh", &coefvtable::asinh, -3, 3}, {"Vatanh", &coefvtable::atanh, -0.9, 0.9},
    {"Vexp", &coefvtable::exp, -2, 2},     {"Vlog", &coefvtable::log, 0.1, 5},
    {"Vlog10", &coefvtable::log10, 0.1, 5}, {"Vsqrt", &coefvtable::sqrt, 0, 5},
    {"Vabs", &coefvtable::abs, -3, 3},     {"Varg", &coefvtable::arg, -3, 3},
    {"Vneg", &coefvtable::neg, -3, 3},     {"Vconj", &coefvtable::conj, -3, 3},
    {"Vreal", &coefvtable::real, -3, 3},   {"Vimag", &coefvtable::imag, -3, 3},
    {"Vnint", &coefvtable::nint, -3, 3},   {"Vpent", &coefvtable::pent, -3, 3},
};

const int k_flags[] = {VECNUM_DBL, VECNUM_ZDBL, VECNUM_QUAD, VECNUM_ZQUAD, VECNUM_FPMP, VECNUM_ZFPMP};

// The functions that double vectors compute through the vector library, at its 1-ulp accuracy,
// with their correctly rounded MPFR references.
using t_mpfrfn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
const struct {
    const char* name;
    t_mpfrfn ref;
} k_simd[] = {
    {"Vsin", mpfr_sin}, {"Vcos", mpfr_cos},   {"Vtan", mpfr_tan},     {"Vasin", mpfr_asin}, {"Vacos", mpfr_acos},
    {"Vatan", mpfr_atan}, {"Vexp", mpfr_exp}, {"Vlog", mpfr_log},     {"Vlog10", mpfr_log10}, {"Vsqrt", mpfr_sqrt},
};

t_mpfrfn simdreference(const char* name)
{
    for (const auto& f : k_simd)
        if (strcmp(f.name, name) == 0) return f.ref;
    return nullptr;
}

// |got - f(x)| in units of the last place of the correctly rounded f(x).
double ulperror(t_mpfrfn f, double x, double got)
{
    mpfr_t a, r;
    mpfr_inits2(200, a, r, (mpfr_ptr) nullptr);
    mpfr_set_d(a, x, MPFR_RNDN);
    f(r, a, MPFR_RNDN);
    const double want = mpfr_get_d(r, MPFR_RNDN);
    mpfr_sub_d(r, r, got, MPFR_RNDN);
    const double ulp = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
    const double e = std::fabs(mpfr_get_d(r, MPFR_RNDN)) / ulp;
    mpfr_clears(a, r, (mpfr_ptr) nullptr);
    return e;
}

std::vector<double> samples(double lo, double hi, int n)
{
    std::vector<double> x;
    for (int k = 0; k < n; k++) x.push_back(lo + (hi - lo) * (k + 0.5) / n);
    return x;
}

}  // namespace

TEST(VecnumFunctions, EveryTypeAgreesWithTheCoefficientFunction)
{
    t_cctx* ctx = tctx();
    for (int flag : k_flags) {
        const bool cplx = vecnum_flagcplx(flag) == flag;
        for (const t_fn& f : k_functions) {
            const bool partonly = f.op == &coefvtable::nint || f.op == &coefvtable::pent;
            if (cplx && partonly) continue;   // no complex rounding: those stay on the coefficients
            std::vector<double> re = samples(f.lo, f.hi, 7), im;
            if (cplx) im = samples(-0.4, 0.6, 7);
            vecptr v = mkvec(flag, re, im);
            vecptr r(vecnum_elemfunc(ctx, v.get(), f.name));
            ASSERT_TRUE(r) << f.name << " flag " << flag;
            ASSERT_EQ(r->size(), v->size());
            const bool realresult = cplx && (f.op == &coefvtable::abs || f.op == &coefvtable::arg ||
                                             f.op == &coefvtable::real || f.op == &coefvtable::imag);
            EXPECT_EQ(r->vecflag(), realresult ? vecnum_flagreal(flag) : flag) << f.name;
            const t_mpfrfn ref = flag == VECNUM_DBL ? simdreference(f.name) : nullptr;
            for (uint32_t i = 0; i < v->size(); i++) {
                if (ref) {   // the vector library: within 1 ulp of the exact value
                    EXPECT_LE(ulperror(ref, re[i], values(r.get())[i]), 1.0) << f.name << " of " << re[i];
                    continue;
                }
                coef c = v->data2coef(ctx, i);
                coef want = (coef_vt(&c).*f.op)(ctx, &c, 0);
                coef got = r->data2coef(ctx, i);
                EXPECT_TRUE(coef_cmp_egal(&got, &want))
                    << f.name << " flag " << flag << " element " << i << ": " << values(r.get())[i];
                deletecoef(&c);
                deletecoef(&want);
                deletecoef(&got);
            }
        }
    }
}

TEST(VecnumFunctions, LongVectorsGiveTheSameNumbersWithOneAndTwoThreads)
{
    t_cctx* ctx = tctx();
    const int saved = ctx->kc.cpu;
    std::vector<double> x = samples(-30, 30, 100000);
    for (int flag : {VECNUM_DBL, VECNUM_QUAD}) {
        vecptr v = mkvec(flag, x);
        ctx->kc.cpu = 1;
        vecptr one(vecnum_elemfunc(ctx, v.get(), "Vsin"));
        ctx->kc.cpu = 2;
        vecptr two(vecnum_elemfunc(ctx, v.get(), "Vsin"));
        ASSERT_TRUE(one && two);
        EXPECT_EQ(memcmp(one->rawdata(), two->rawdata(), x.size() * (flag == VECNUM_DBL ? 8 : 16)), 0);
        EXPECT_LE(ulperror(mpfr_sin, x[99999], values(two.get())[99999]), 1.0);
    }
    ctx->kc.cpu = saved;
}

TEST(VecnumFunctions, ErfAndRoundingKeepTheVectorsPrecision)
{
    t_cctx* ctx = tctx();
    vecptr q = mkvec(VECNUM_QUAD, {0.5, -2.5, 3.5, 0.0});
    vecptr e(vecnum_elemfunc(ctx, q.get(), "Verf"));
    const __float128 erfhalf = strtoflt128("0.5204998778130465376827466538919645457", nullptr);
    EXPECT_LT(fabsq(static_cast<t_vecnumquad*>(e.get())->data()[0] - erfhalf), 1e-33Q);
    vecptr n(vecnum_elemfunc(ctx, q.get(), "Vnint"));
    EXPECT_EQ(values(n.get()), (std::vector<double>{0, -2, 4, 0}));   // halves to even
    vecptr s(vecnum_elemfunc(ctx, q.get(), "Vsign"));
    EXPECT_EQ(values(s.get()), (std::vector<double>{1, -1, 1, 0}));

    vecptr m = mkvec(VECNUM_FPMP, {0.5});
    vecptr em(vecnum_elemfunc(ctx, m.get(), "Verfc"));
    const auto* x = &static_cast<t_vecnumfpmp*>(em.get())->data()[0];
    __mpfr_struct ref;
    mpfr_init2(&ref, mpfr_get_prec(x));
    mpfr_set_d(&ref, 0.5, MPFR_RNDN);
    mpfr_erfc(&ref, &ref, MPFR_RNDN);
    EXPECT_TRUE(mpfr_equal_p(x, &ref));
    mpfr_clear(&ref);

    // No native form: the caller goes through the coefficients.
    vecptr z = mkvec(VECNUM_ZDBL, {1}, {1});
    EXPECT_EQ(vecnum_elemfunc(ctx, z.get(), "Verf"), nullptr);
    EXPECT_EQ(vecnum_elemfunc(ctx, q.get(), "Vfac"), nullptr);
}

TEST(VecnumFunctions, VectorLibraryStaysWithin1UlpOverWideRanges)
{
    // Large arguments of sin and cos (reduced exactly), exp near its overflow, log near 0 and
    // far out, on enough points that any lane or tail of the 8-wide kernels is exercised.
    t_cctx* ctx = tctx();
    const struct { const char* name; double lo, hi; } ranges[] = {
        {"Vsin", -1e6, 1e6}, {"Vcos", 1e10, 1e12}, {"Vtan", -1e3, 1e3},  {"Vexp", -700, 700},
        {"Vlog", 1e-300, 1e-290}, {"Vlog", 0.5, 2}, {"Vlog10", 1, 1e300}, {"Vsqrt", 1e-300, 1e300},
        {"Vasin", -1, 1},  {"Vacos", -1, 1},      {"Vatan", -1e8, 1e8},
    };
    for (const auto& r : ranges) {
        std::vector<double> x = samples(r.lo, r.hi, 1003);
        vecptr v = mkvec(VECNUM_DBL, x);
        vecptr y(vecnum_elemfunc(ctx, v.get(), r.name));
        ASSERT_TRUE(y);
        std::vector<double> got = values(y.get());
        double worst = 0;
        for (size_t i = 0; i < x.size(); i++) worst = std::max(worst, ulperror(simdreference(r.name), x[i], got[i]));
        EXPECT_LE(worst, 1.0) << r.name << " on [" << r.lo << ", " << r.hi << "]";
    }
}

TEST(VecnumFunctions, SpecialValuesAndShortTailsMatchTheScalarFunctions)
{
    // NaN, infinities, signed zeros, overflow and values outside the domain give what the scalar
    // functions give; every length from 1 to 19 gives the same numbers as the same elements of a
    // long vector (the last partial group of eight reads and writes only the vector's elements).
    t_cctx* ctx = tctx();
    const double nan = std::nan(""), inf = INFINITY;
    const std::vector<double> special = {nan, inf, -inf, 0.0, -0.0, -1.0, 1e-310, 800, -800, 1e300, -1e300};
    for (const auto& f : k_simd) {
        vecptr v = mkvec(VECNUM_DBL, special);
        vecptr y(vecnum_elemfunc(ctx, v.get(), f.name));
        ASSERT_TRUE(y);
        std::vector<double> got = values(y.get());
        for (size_t i = 0; i < special.size(); i++) {
            mpfr_t a;
            mpfr_init2(a, 200);
            mpfr_set_d(a, special[i], MPFR_RNDN);
            f.ref(a, a, MPFR_RNDN);
            const double want = mpfr_get_d(a, MPFR_RNDN);
            mpfr_clear(a);
            if (std::isnan(want)) {
                EXPECT_TRUE(std::isnan(got[i])) << f.name << "(" << special[i] << ") = " << got[i];
            } else if (std::isinf(want) || want == 0) {
                EXPECT_EQ(got[i], want) << f.name << "(" << special[i] << ")";
                EXPECT_EQ(std::signbit(got[i]), std::signbit(want)) << f.name << "(" << special[i] << ")";
            } else {
                EXPECT_LE(ulperror(f.ref, special[i], got[i]), 1.0) << f.name << "(" << special[i] << ")";
            }
        }
        std::vector<double> x = samples(0.1, 3, 19);
        vecptr whole = mkvec(VECNUM_DBL, x);
        vecptr wy(vecnum_elemfunc(ctx, whole.get(), f.name));
        std::vector<double> all = values(wy.get());
        for (size_t n = 1; n <= x.size(); n++) {
            vecptr part = mkvec(VECNUM_DBL, std::vector<double>(x.begin(), x.begin() + n));
            vecptr py(vecnum_elemfunc(ctx, part.get(), f.name));
            ASSERT_EQ(py->size(), n);
            std::vector<double> short_ = values(py.get());   // bit for bit: NaNs included
            EXPECT_EQ(memcmp(short_.data(), all.data(), n * sizeof(double)), 0) << f.name << " length " << n;
        }
    }
}
