// Elementary functions and unary operations per type, against MPFR: quads within an ulp of MPFR at
// 113 bits, MPFR numbers equal to MPFR itself, intervals enclosing the high-precision value at
// every sampled point, exact types exact where the result is rational.
#include "coeftest.h"

#include <random>
#include <vector>

namespace {

using Elem = CoefTest;
using mpfr_fn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

struct t_fn {
    const char* name;
    coef_unop_fn coefvtable::*slot;
    mpfr_fn ref;
    double lo, hi;   // sampling range inside the domain
};
const t_fn s_fns[] = {
    {"cos", &coefvtable::cos, mpfr_cos, -20, 20},       {"sin", &coefvtable::sin, mpfr_sin, -20, 20},
    {"tan", &coefvtable::tan, mpfr_tan, -1.5, 1.5},     {"acos", &coefvtable::acos, mpfr_acos, -0.99, 0.99},
    {"asin", &coefvtable::asin, mpfr_asin, -0.99, 0.99}, {"atan", &coefvtable::atan, mpfr_atan, -50, 50},
    {"cosh", &coefvtable::cosh, mpfr_cosh, -10, 10},    {"sinh", &coefvtable::sinh, mpfr_sinh, -10, 10},
    {"tanh", &coefvtable::tanh, mpfr_tanh, -5, 5},      {"acosh", &coefvtable::acosh, mpfr_acosh, 1.01, 50},
    {"asinh", &coefvtable::asinh, mpfr_asinh, -50, 50}, {"atanh", &coefvtable::atanh, mpfr_atanh, -0.99, 0.99},
    {"exp", &coefvtable::exp, mpfr_exp, -30, 30},       {"log", &coefvtable::log, mpfr_log, 0.01, 1000},
    {"log10", &coefvtable::log10, mpfr_log10, 0.01, 1000}, {"sqrt", &coefvtable::sqrt, mpfr_sqrt, 0, 1000},
};

// |value - reference| in units of the last place at `prec` bits.
double ulps(mpfr_srcptr value, mpfr_srcptr ref, int prec)
{
    mpfr_t d;
    mpfr_init2(d, 300);
    mpfr_sub(d, value, ref, MPFR_RNDN);
    mpfr_abs(d, d, MPFR_RNDN);
    long e = mpfr_zero_p(ref) ? -1000 : mpfr_get_exp(ref);
    mpfr_mul_2si(d, d, prec - e, MPFR_RNDN);
    double u = mpfr_get_d(d, MPFR_RNDN);
    mpfr_clear(d);
    return u;
}

TEST_F(Elem, QuadAgainstMpfr113)
{
    std::mt19937_64 rng(7);
    for (const auto& f : s_fns) {
        std::uniform_real_distribution<double> dist(f.lo, f.hi);
        for (int i = 0; i < 200; i++) {
            __float128 x = (__float128)dist(rng) + (__float128)dist(rng) * 1e-20Q;
            coef c = coef_fromptr(quad_new(x), BH_QUAD);
            coef r = (g_kst_coef_vtable[BH_QUAD].*f.slot)(tctx(), &c, 1);
            mpfr_t a, ref, got;
            mpfr_inits2(113, a, got, (mpfr_ptr)0);
            mpfr_init2(ref, 300);
            mpfr_set_float128(a, x, MPFR_RNDN);
            f.ref(ref, a, MPFR_RNDN);
            coefnum_get_fr(got, &r, 0, MPFR_RNDN);
            EXPECT_LE(ulps(got, ref, 113), 2.0) << f.name << " " << (double)x;
            mpfr_clears(a, ref, got, (mpfr_ptr)0);
            deletecoef(&c);
            deletecoef(&r);
        }
    }
}

TEST_F(Elem, MpfrIsMpfr)
{
    std::mt19937_64 rng(11);
    for (const auto& f : s_fns) {
        std::uniform_real_distribution<double> dist(f.lo, f.hi);
        for (int i = 0; i < 50; i++) {
            coef c = g_kst_coef_vtable[BH_FPMP].dbl2coef(tctx(), dist(rng));
            if (c.type == BH_ZERO) continue;
            coef cp = copycoef(&c);
            coef r = (coef_vt(&c).*f.slot)(tctx(), &c, 0);   // handed over: computed in place
            ASSERT_EQ(r.type, BH_FPMP);
            EXPECT_EQ(c.type, BH_ZERO);
            mpfr_t ref;
            mpfr_init2(ref, 212);
            f.ref(ref, coef_box<t_fpmptype>(&cp), MPFR_RNDN);
            EXPECT_TRUE(mpfr_equal_p(ref, coef_box<t_fpmptype>(&r))) << f.name;
            mpfr_clear(ref);
            deletecoef(&cp);
            deletecoef(&r);
        }
    }
}

TEST_F(Elem, DoubleCloseToMpfr)
{
    std::mt19937_64 rng(13);
    for (const auto& f : s_fns) {
        std::uniform_real_distribution<double> dist(f.lo, f.hi);
        for (int i = 0; i < 200; i++) {
            double x = dist(rng);
            coef c = coef_fromdbl(x);
            coef r = (g_kst_coef_vtable[BH_DBL].*f.slot)(tctx(), &c, 0);
            mpfr_t a, ref, got;
            mpfr_inits2(53, a, got, (mpfr_ptr)0);
            mpfr_init2(ref, 300);
            mpfr_set_d(a, x, MPFR_RNDN);
            f.ref(ref, a, MPFR_RNDN);
            coefnum_get_fr(got, &r, 0, MPFR_RNDN);
            EXPECT_LE(ulps(got, ref, 53), 2.0) << f.name << " " << x;
            mpfr_clears(a, ref, got, (mpfr_ptr)0);
        }
    }
}

// Interval functions: the result encloses f at the bounds and at interior points.
template <class B>
void check_interval_fn(const t_fn& f, eBHTypeCoef tag, std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> dist(f.lo, f.hi), width(0, 0.5);
    for (int i = 0; i < 150; i++) {
        double a = dist(rng), w = (i % 3 == 0) ? 0.0 : width(rng);
        double b = std::min(a + w, f.hi);
        coef lo = coef_fromdbl(a), hi = coef_fromdbl(b);
        coef ia = coefnum_convert_raw(tctx(), &lo, tag), ib = coefnum_convert_raw(tctx(), &hi, tag);
        // hull of the two point intervals: [a, b]
        coef x = copycoef(&ia);
        if constexpr (sizeof(B) == sizeof(double)) {
            coef_box<t_intdbltype>(&x)->sup = b;
        } else {
            coef_box<t_intquadtype>(&x)->sup = (__float128)b;
        }
        coef r = (coef_vt(&x).*f.slot)(tctx(), &x, 1);
        ASSERT_EQ(r.type, tag) << f.name;
        mpfr_t rl, rh, p, v;
        mpfr_inits2(300, rl, rh, p, v, (mpfr_ptr)0);
        coefnum_get_fr(rl, &r, 0, MPFR_RNDD);
        coefnum_get_fr(rh, &r, 0, MPFR_RNDU);
        for (int k = 0; k <= 8; k++) {
            mpfr_set_d(p, a, MPFR_RNDN);
            mpfr_mul_d(p, p, (8 - k) / 8.0, MPFR_RNDN);
            mpfr_set_d(v, b, MPFR_RNDN);
            mpfr_mul_d(v, v, k / 8.0, MPFR_RNDN);
            mpfr_add(p, p, v, MPFR_RNDN);   // a point of [a, b]
            f.ref(v, p, MPFR_RNDN);
            EXPECT_TRUE(mpfr_lessequal_p(rl, v) && mpfr_lessequal_p(v, rh))
                << f.name << " [" << a << ", " << b << "] at " << k << ": " << mpfr_get_d(v, MPFR_RNDN) << " not in ["
                << mpfr_get_d(rl, MPFR_RNDN) << ", " << mpfr_get_d(rh, MPFR_RNDN) << "]";
        }
        mpfr_clears(rl, rh, p, v, (mpfr_ptr)0);
        for (coef* c : {&ia, &ib, &x, &r}) deletecoef(c);
    }
}

TEST_F(Elem, IntervalFunctionsEnclose)
{
    std::mt19937_64 rng(17);
    for (const auto& f : s_fns) {
        check_interval_fn<double>(f, BH_INTDBL, rng);
        check_interval_fn<__float128>(f, BH_INTQUAD, rng);
    }
}

TEST_F(Elem, IntervalCosOverExtremaAndWideRanges)
{
    coef x = mknum(BH_INTDBL, 3, 1);   // [3, 3.5] contains pi: the minimum -1 is reached
    coef_box<t_intdbltype>(&x)->sup = 3.5;
    coef r = coef_vt(&x).cos(tctx(), &x, 1);
    EXPECT_EQ(coef_box<t_intdbltype>(&r)->inf, -1.0);
    coef w = mknum(BH_INTDBL, -10, 1);
    coef_box<t_intdbltype>(&w)->sup = 10;
    coef s = coef_vt(&w).sin(tctx(), &w, 1);
    EXPECT_EQ(coef_box<t_intdbltype>(&s)->inf, -1.0);
    EXPECT_EQ(coef_box<t_intdbltype>(&s)->sup, 1.0);
    coef t = coef_vt(&x).tan(tctx(), &x, 1);   // no pole in [3, 3.5]
    EXPECT_GT(coef_box<t_intdbltype>(&t)->sup, 0.0);
    coef_box<t_intdbltype>(&x)->sup = 5;   // [3, 5] contains 3pi/2
    coef u = coef_vt(&x).tan(tctx(), &x, 1);
    EXPECT_TRUE(std::isinf(coef_box<t_intdbltype>(&u)->sup));
    for (coef* c : {&x, &r, &w, &s, &t, &u}) deletecoef(c);
}

TEST_F(Elem, ComplexIntervalInverseFunctionsAreReported)
{
    coef z = mknum(BH_ZINTDBL, 1, 2, 1, 3);
    coef r = coef_vt(&z).acos(tctx(), &z, 1);
    EXPECT_EQ(r.type, BH_ZERO);
    EXPECT_EQ(Erreur_Execution, 1);
    Erreur_Execution = 0;
    coef e = coef_vt(&z).exp(tctx(), &z, 1);   // e^(1/2) (cos 1/3 + i sin 1/3)
    ASSERT_EQ(e.type, BH_ZINTDBL);
    const t_dcbiasinterval* v = coef_box<t_zintdbltype>(&e);
    double re = std::exp(0.5) * std::cos(1.0 / 3), im = std::exp(0.5) * std::sin(1.0 / 3);
    EXPECT_LE(v->re.inf, re);
    EXPECT_GE(v->re.sup, re);
    EXPECT_LE(v->im.inf, im);
    EXPECT_GE(v->im.sup, im);
    deletecoef(&z);
    deletecoef(&e);
}

TEST_F(Elem, ExactTypesStayExactWhereTheyCan)
{
    coef q = mknum(BH_RATMP, 9, 4);
    coef s = coef_vt(&q).sqrt(tctx(), &q, 1);
    EXPECT_EQ(s.type, BH_RATMP);
    EXPECT_EQ(qtext(s), "3/2");
    coef two = mknum(BH_INTMP, 2);
    coef s2 = coef_vt(&two).sqrt(tctx(), &two, 1);
    EXPECT_EQ(s2.type, BH_DBL);
    EXPECT_EQ(s2.d, std::sqrt(2.0));
    coef n = mknum(BH_RATMP, -7, 2);
    coef pe = coef_vt(&n).pent(tctx(), &n, 1), ni = coef_vt(&n).nint(tctx(), &n, 1), ab = coef_vt(&n).abs(tctx(), &n, 1);
    EXPECT_EQ(qtext(pe), "-4");
    EXPECT_EQ(pe.type, BH_INTMP);
    EXPECT_EQ(qtext(ni), "-3");   // halves go up
    EXPECT_EQ(qtext(ab), "7/2");
    coef r = mknum(BH_RAT, -7, 2);
    coef rp = coef_vt(&r).pent(tctx(), &r, 1), rn = coef_vt(&r).nint(tctx(), &r, 1);
    EXPECT_EQ(rp.r.num, -4);
    EXPECT_EQ(rn.r.num, -3);
    coef c = coef_vt(&r).cos(tctx(), &r, 0);   // through the double
    EXPECT_EQ(c.type, BH_DBL);
    EXPECT_EQ(c.d, std::cos(-3.5));
    EXPECT_EQ(r.type, BH_ZERO);
    coef z = mknum(BH_ZRATMP, 1, 2, -1, 3);
    coef zc = coef_vt(&z).conj(tctx(), &z, 1), zr = coef_vt(&z).real(tctx(), &z, 1), zi = coef_vt(&z).imag(tctx(), &z, 1);
    EXPECT_EQ(qtext(zc, 1), "1/3");
    EXPECT_EQ(zr.type, BH_RATMP);
    EXPECT_EQ(qtext(zr), "1/2");
    EXPECT_EQ(qtext(zi), "-1/3");
    for (coef* p : {&q, &s, &two, &s2, &n, &pe, &ni, &ab, &z, &zc, &zr, &zi}) deletecoef(p);
}

TEST_F(Elem, PredicatesAndConversionsOut)
{
    coef big = g_kst_coef_vtable[BH_INTMP].strentierlong2coef(tctx(), "99999999999999999999");
    EXPECT_FALSE(coef_vt(&big).isentierlong(&big));
    EXPECT_EQ(coef2dbl(&big), 1e20);
    coef n = mknum(BH_INTMP, -42);
    EXPECT_TRUE(coef_vt(&n).isentierlong(&n));
    EXPECT_EQ(coef2ll(&n), -42);
    EXPECT_TRUE(coef_vt(&n).isrational(&n));
    coef one = mknum(BH_QUAD, 1), mone = mknum(BH_FPMP, -1);
    EXPECT_TRUE(coef_vt(&one).cmp_egal_1(&one));
    EXPECT_TRUE(coef_vt(&mone).cmp_egal_neg1(&mone));
    coef z = mknum(BH_ZQUAD, 1, 4, 3, 1);
    EXPECT_TRUE(coef_vt(&z).iscplx(&z));
    EXPECT_FALSE(coef_vt(&z).isreal(&z));
    complexe c = coef2zdbl(&z);
    EXPECT_EQ(c.re, 0.25);
    EXPECT_EQ(c.im, 3.0);
    coef iv = mknum(BH_INTDBL, 1, 3);
    EXPECT_NEAR(coef2dbl(&iv), 1.0 / 3.0, 1e-16);   // the midpoint
    coef lo = coef_vt(&iv).inf(tctx(), &iv, 1);
    EXPECT_EQ(lo.type, BH_DBL);
    EXPECT_EQ(lo.d, coef_box<t_intdbltype>(&iv)->inf);
    for (coef* p : {&big, &n, &one, &mone, &z, &iv}) deletecoef(p);
}

}  // namespace

namespace {

using cfn_mpc = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);
struct t_cfn {
    const char* name;
    coef_unop_fn coefvtable::*slot;
    cfn_mpc ref;
};

// Complex interval functions: every sampled point of the box maps inside the result box.
TEST_F(Elem, ComplexIntervalFunctionsEnclose)
{
    const t_cfn fns[] = {{"cos", &coefvtable::cos, mpc_cos},    {"sin", &coefvtable::sin, mpc_sin},
                         {"tan", &coefvtable::tan, mpc_tan},    {"cosh", &coefvtable::cosh, mpc_cosh},
                         {"sinh", &coefvtable::sinh, mpc_sinh}, {"tanh", &coefvtable::tanh, mpc_tanh},
                         {"exp", &coefvtable::exp, mpc_exp},    {"log", &coefvtable::log, mpc_log},
                         {"log10", &coefvtable::log10, mpc_log10}, {"sqrt", &coefvtable::sqrt, mpc_sqrt}};
    std::mt19937_64 rng(23);
    std::uniform_real_distribution<double> pos(-3, 3), width(0, 0.3);
    for (eBHTypeCoef tag : {BH_ZINTDBL, BH_ZINTQUAD}) {
        for (const auto& f : fns) {
            for (int i = 0; i < 100; i++) {
                double a = pos(rng), b = pos(rng);
                double wa = (a + width(rng)) - a, wb = (b + width(rng)) - b;   // a + wa exact in doubles
                if (a < 0 && a + wa > 0 && b < 0.3 && b + wb > -0.3) continue;   // log's cut: whole range
                coef z = mknum(tag, 1, 1, 1, 1);
                if (tag == BH_ZINTDBL) {
                    *coef_box<t_zintdbltype>(&z) = t_dcbiasinterval{{a, a + wa}, {b, b + wb}};
                } else {
                    *coef_box<t_zintquadtype>(&z) = t_ldcbiasinterval{{a, a + wa}, {b, b + wb}};
                }
                coef r = (coef_vt(&z).*f.slot)(tctx(), &z, 1);
                ASSERT_EQ(r.type, tag) << f.name;
                mpfr_t lo[2], hi[2];
                for (int k = 0; k < 2; k++) {
                    mpfr_inits2(300, lo[k], hi[k], (mpfr_ptr)0);
                    coefnum_get_fr(lo[k], &r, k, MPFR_RNDD);
                    coefnum_get_fr(hi[k], &r, k, MPFR_RNDU);
                }
                mpc_t p, v;
                mpc_init2(p, 300);
                mpc_init2(v, 300);
                for (int s = 0; s < 9; s++) {
                    // exact sample points: a, a + wa/2, a + wa (and the same in b)
                    mpfr_set_d(mpc_realref(p), wa, MPFR_RNDN);
                    mpfr_mul_d(mpc_realref(p), mpc_realref(p), (s % 3) / 2.0, MPFR_RNDN);
                    mpfr_add_d(mpc_realref(p), mpc_realref(p), a, MPFR_RNDN);
                    mpfr_set_d(mpc_imagref(p), wb, MPFR_RNDN);
                    mpfr_mul_d(mpc_imagref(p), mpc_imagref(p), (s / 3) / 2.0, MPFR_RNDN);
                    mpfr_add_d(mpc_imagref(p), mpc_imagref(p), b, MPFR_RNDN);
                    f.ref(v, p, MPC_RNDNN);
                    for (int k = 0; k < 2; k++) {
                        mpfr_srcptr c = k ? mpc_imagref(v) : mpc_realref(v);
                        EXPECT_TRUE(mpfr_lessequal_p(lo[k], c) && mpfr_lessequal_p(c, hi[k]))
                            << f.name << " tag " << (int)tag << " part " << k << " box [" << a << "," << a + wa
                            << "]x[" << b << "," << b + wb << "] sample " << s;
                    }
                }
                mpc_clear(p);
                mpc_clear(v);
                for (int k = 0; k < 2; k++) mpfr_clears(lo[k], hi[k], (mpfr_ptr)0);
                deletecoef(&z);
                deletecoef(&r);
            }
        }
    }
}

}  // namespace

namespace {

// Every unary slot of every numeric type (and zero) answers without an internal error, leaves a
// kept operand as it was and consumes a handed-over one.
TEST_F(Elem, EveryUnarySlotOfEveryType)
{
    static coef_unop_fn coefvtable::*const slots[] = {
        &coefvtable::neg,   &coefvtable::conj,  &coefvtable::abs,     &coefvtable::real,     &coefvtable::imag,
        &coefvtable::cos,   &coefvtable::sin,   &coefvtable::tan,     &coefvtable::acos,     &coefvtable::asin,
        &coefvtable::atan,  &coefvtable::cosh,  &coefvtable::sinh,    &coefvtable::tanh,     &coefvtable::acosh,
        &coefvtable::asinh, &coefvtable::atanh, &coefvtable::exp,     &coefvtable::log,      &coefvtable::log10,
        &coefvtable::arg,   &coefvtable::sqrt,  &coefvtable::pent,    &coefvtable::nint,     &coefvtable::inf,
        &coefvtable::sup,   &coefvtable::norm_inf, &coefvtable::getnumer, &coefvtable::getdenom};
    int n;
    const eBHTypeCoef* list = numeric_tags(&n);
    std::vector<eBHTypeCoef> tags(list, list + n);
    tags.push_back(BH_ZERO);
    for (eBHTypeCoef t : tags) {
        const bool isint = t == BH_INTMP || t == BH_ZINTMP;
        for (size_t k = 0; k < sizeof slots / sizeof slots[0]; k++) {
            SCOPED_TRACE("tag " + std::to_string((int)t) + " slot " + std::to_string(k));
            coef x = t == BH_ZERO ? coef{} : mknum(t, 1, isint ? 1 : 2, coefnum_iscomplex(t) ? 1 : 0, isint ? 1 : 4);
            coef keep = copycoef(&x);
            coef r1 = (coef_vt(&x).*slots[k])(tctx(), &x, 1);
            EXPECT_EQ(x.type, keep.type);
            EXPECT_TRUE(coef_cmp_egal(&x, &keep));
            coef r2 = (coef_vt(&x).*slots[k])(tctx(), &x, 0);
            EXPECT_EQ(x.type, BH_ZERO);
            EXPECT_EQ(r1.type, r2.type);
            Erreur_Execution = 0;   // complex-only refusals are run errors, not crashes
            for (coef* c : {&keep, &r1, &r2}) deletecoef(c);
        }
        // powers, remainder and the text forms
        coef x = t == BH_ZERO ? coef{} : mknum(t, 3, isint ? 1 : 2, coefnum_iscomplex(t) ? 1 : 0, 1);
        coef p = coef_vt(&x).power_ui(tctx(), &x, 1, 3);
        coef half = coef_fromdbl(0.5), two = mknum(BH_INTMP, 2);
        coef e = coef_vt(&x).exponentiation(tctx(), &x, 1, &two, 1);
        EXPECT_TRUE(coef_cmp_egal(&e, &x) || t == BH_ZERO || coefnum_isinterval(t) || !coef_cmp_egal(&e, &p));
        coef h = coef_vt(&x).exponentiation(tctx(), &x, 1, &half, 1);
        coef m = coef_vt(&x).modulo_coefnum(tctx(), &x, 1, &two, 1);
        Erreur_Execution = 0;
        char* s = coef_vt(&x).coef2str(&x);
        EXPECT_NE(s, nullptr);
        free(s);
        EXPECT_FALSE(affstr(x, 4).empty());
        for (coef* c : {&x, &p, &e, &h, &m, &two}) deletecoef(c);
    }
}

TEST_F(Elem, PowersAndRemainders)
{
    coef seven = mknum(BH_INTMP, 7), three = mknum(BH_INTMP, 3), mthree = mknum(BH_INTMP, -3);
    coef m = coef_vt(&seven).modulo_coefnum(tctx(), &seven, 1, &three, 1);
    EXPECT_EQ(qtext(m), "1");
    coef mm = coef_vt(&seven).modulo_coefnum(tctx(), &seven, 1, &mthree, 1);
    EXPECT_EQ(qtext(mm), "-2");   // floor division: the remainder takes the divisor's sign
    coef q = mknum(BH_RATMP, 7, 2);
    coef mq = coef_vt(&q).modulo_coefnum(tctx(), &q, 1, &three, 1);
    EXPECT_EQ(qtext(mq), "1/2");
    coef four = mknum(BH_FPMP, 4), half = coef_fromdbl(0.5);
    coef r = coef_vt(&four).exponentiation(tctx(), &four, 1, &half, 1);
    EXPECT_NEAR(coef2dbl(&r), 2.0, 1e-15);
    coef cube = coef_vt(&q).exponentiation(tctx(), &q, 1, &three, 1);
    EXPECT_EQ(qtext(cube), "343/8");
    for (coef* c : {&seven, &three, &mthree, &m, &mm, &q, &mq, &four, &r, &cube}) deletecoef(c);
}

}  // namespace
