// Randomised properties of add/sub/mul/div over every numeric type and every promotion pair:
// keep flags respected, results normalised, exact types equal to GMP computed independently,
// floating types correctly rounded against MPFR at their precision, intervals enclosing the exact
// result of their bounds.
#include "coeftest.h"

#include <algorithm>
#include <random>
#include <vector>

namespace {

enum { ADD, SUB, MUL, DIV };
const char* const opname[] = {"+", "-", "*", "/"};

coef apply(int op, coef* a, int ka, coef* b, int kb)
{
    switch (op) {
    case ADD: return coef_addition(tctx(), a, ka, b, kb);
    case SUB: return coef_soustraction(tctx(), a, ka, b, kb);
    case MUL: return coef_multiplication(tctx(), a, ka, b, kb);
    default: return coef_division(tctx(), a, ka, b, kb);
    }
}

// Exact complex operation on (re, im) pairs.
void zqop(int op, mpq_ptr rr, mpq_ptr ri, mpq_srcptr ar, mpq_srcptr ai, mpq_srcptr br, mpq_srcptr bi)
{
    mpq_t t, u, n;
    mpq_inits(t, u, n, (mpq_ptr)0);
    switch (op) {
    case ADD: mpq_add(rr, ar, br); mpq_add(ri, ai, bi); break;
    case SUB: mpq_sub(rr, ar, br); mpq_sub(ri, ai, bi); break;
    case MUL:
        mpq_mul(t, ar, br);
        mpq_mul(u, ai, bi);
        mpq_sub(rr, t, u);
        mpq_mul(t, ar, bi);
        mpq_mul(u, ai, br);
        mpq_add(ri, t, u);
        break;
    default:
        mpq_mul(n, br, br);
        mpq_mul(t, bi, bi);
        mpq_add(n, n, t);
        mpq_mul(t, ar, br);
        mpq_mul(u, ai, bi);
        mpq_add(t, t, u);
        mpq_div(rr, t, n);
        mpq_mul(t, ai, br);
        mpq_mul(u, ar, bi);
        mpq_sub(t, t, u);
        mpq_div(ri, t, n);
        break;
    }
    mpq_clears(t, u, n, (mpq_ptr)0);
}

bool is_exact(int t)
{
    return t == BH_RAT || t == BH_ZRAT || t == BH_INTMP || t == BH_ZINTMP || t == BH_RATMP || t == BH_ZRATMP;
}
int precision_of(int t)
{
    switch (t) {
    case BH_DBL: case BH_ZDBL: return 53;
    case BH_QUAD: case BH_ZQUAD: return 113;
    case BH_FPMP: case BH_ZFPMP: return 212;
    default: return 0;
    }
}

struct t_pair {
    eBHTypeCoef a, b, res;   // res: expected tag of add/sub/mul when no exact normalisation applies
};

class Property : public CoefTest {
protected:
    std::mt19937_64 rng{20261206};
    long rnd(long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); }

    // A random operand of tag t (its exact value is read back with coefnum_get_q).
    coef operand(eBHTypeCoef t)
    {
        const bool isint = t == BH_INTMP || t == BH_ZINTMP;
        long range = t == BH_RAT || t == BH_ZRAT ? 3037000600L : 100000L;
        long p = rnd(0, 9) == 0 ? 0 : rnd(-range, range);
        long q = isint ? 1 : rnd(1, 1000);
        long ip = coefnum_iscomplex(t) ? rnd(-1000, 1000) : 0;
        long iq = isint ? 1 : rnd(1, 97);
        if (t == BH_INTMP && rnd(0, 3) == 0) {   // wide integers too
            __mpz_struct* z = intmp_new();
            mpz_set_si(z, p);
            mpz_mul_2exp(z, z, (unsigned long)rnd(60, 200));
            return intmp_wrap(z);
        }
        coef c = mknum(t, p, q, ip, iq);
        // GMP rationals as the system holds them: integral values are integers
        if (c.type == BH_RATMP) return ratmp_wrap(coef_box<t_ratmptype>(&c));
        if (c.type == BH_ZRATMP) return zratmp_wrap(coef_box<t_zratmptype>(&c));
        return c;
    }

    void check(int op, coef a, int ka, coef b, int kb, const char* what)
    {
        SCOPED_TRACE(std::string(what) + " " + str_or0(a) + " " + opname[op] + " " + str_or0(b) + " keep " +
                     std::to_string(ka) + std::to_string(kb));
        const eBHTypeCoef ta = a.type, tb = b.type;
        coef ca = copycoef(&a), cb = copycoef(&b);   // reference copies of the operands
        void* pa = a.p;
        void* pb = b.p;
        const bool boxeda = ta != BH_ZERO && ta != BH_DBL && ta != BH_ZDBL && ta != BH_RAT;
        const bool boxedb = tb != BH_ZERO && tb != BH_DBL && tb != BH_ZDBL && tb != BH_RAT;
        coef r = apply(op, &a, ka, &b, kb);
        ASSERT_EQ(Erreur_Execution, 0);

        // keep flags: kept operands unchanged, handed-over ones tag 0 (or inside the result)
        if (ka) {
            EXPECT_EQ(a.type, ta);
            EXPECT_TRUE(coef_cmp_egal(&a, &ca));
            if (boxeda) {
                EXPECT_EQ(a.p, pa);
            }
        } else {
            EXPECT_EQ(a.type, BH_ZERO);
        }
        if (kb) {
            EXPECT_EQ(b.type, tb);
            EXPECT_TRUE(coef_cmp_egal(&b, &cb));
            if (boxedb) {
                EXPECT_EQ(b.p, pb);
            }
        } else {
            EXPECT_EQ(b.type, BH_ZERO);
        }

        // normalisation
        EXPECT_GE((int)r.type, 0);
        EXPECT_EQ(g_kst_coef_vtable[r.type].kind, 3);
        if (r.type != BH_ZERO) {
            EXPECT_FALSE(coef_vt(&r).iszero(&r)) << "zero not tag 0";
            if (r.type == BH_RATMP) {
                EXPECT_NE(mpz_cmp_ui(mpq_denref(coef_box<t_ratmptype>(&r)), 1), 0);
            }
            if (r.type == BH_ZRATMP) {
                const t_zratmp* z = coef_box<t_zratmptype>(&r);
                EXPECT_FALSE(mpz_cmp_ui(mpq_denref(z->re), 1) == 0 && mpz_cmp_ui(mpq_denref(z->im), 1) == 0);
            }
            if (r.type == BH_RAT) {
                EXPECT_GT(r.r.den, 0);
            }
        }

        // values
        mpq_t xa, ya, xb, yb, er, ei, got;
        mpq_inits(xa, ya, xb, yb, er, ei, got, (mpq_ptr)0);
        coefnum_get_q(xa, &ca, 0);
        coefnum_get_q(ya, &ca, 1);
        coefnum_get_q(xb, &cb, 0);
        coefnum_get_q(yb, &cb, 1);
        zqop(op, er, ei, xa, ya, xb, yb);
        const int rt = r.type;
        if (coefnum_isinterval(rt)) {
            // the interval result encloses the exact result of every pair of bound points
            check_enclosure(op, ca, cb, r);
        } else if (is_exact(rt) || rt == BH_ZERO) {
            coefnum_get_q(got, &r, 0);
            EXPECT_TRUE(mpq_equal(got, er)) << "re " << mpq_get_d(got) << " want " << mpq_get_d(er);
            coefnum_get_q(got, &r, 1);
            EXPECT_TRUE(mpq_equal(got, ei));
        } else if (!coefnum_iscomplex(rt) && same_precision_inputs(ta, tb, rt)) {
            // one correctly rounded operation at the result's precision
            mpfr_t want, have;
            mpfr_inits2(precision_of(rt), want, have, (mpfr_ptr)0);
            mpfr_set_q(want, er, MPFR_RNDN);
            coefnum_get_fr(have, &r, 0, MPFR_RNDN);
            EXPECT_TRUE(mpfr_equal_p(want, have)) << mpfr_get_d(want, MPFR_RNDN) << " vs " << mpfr_get_d(have, MPFR_RNDN);
            mpfr_clears(want, have, (mpfr_ptr)0);
        } else {
            // complex or converted operands: a few roundings at the result's precision
            int prec = precision_of(rt);
            double rel = std::ldexp(1.0, -prec + 6);
            check_close(r, 0, er, ei, rel);
            check_close(r, 1, ei, er, rel);
        }
        mpq_clears(xa, ya, xb, yb, er, ei, got, (mpq_ptr)0);
        deletecoef(&ca);
        deletecoef(&cb);
        deletecoef(&a);
        deletecoef(&b);
        deletecoef(&r);
    }

    // Operands exactly representable at the result's precision (no conversion rounding before).
    static bool same_precision_inputs(int ta, int tb, int rt)
    {
        auto ok = [rt](int t) { return t == BH_ZERO || t == rt; };
        return ok(ta) && ok(tb);
    }

    // |part of r - want| within rel times the modulus of the exact complex result.
    void check_close(const coef& r, int part, mpq_srcptr want, mpq_srcptr other, double rel)
    {
        mpfr_t w, h, d;
        mpfr_inits2(300, w, h, d, (mpfr_ptr)0);
        mpfr_set_q(w, want, MPFR_RNDN);
        coefnum_get_fr(h, &r, part, MPFR_RNDN);
        mpfr_sub(d, w, h, MPFR_RNDN);
        mpfr_abs(d, d, MPFR_RNDN);
        double scale = std::max({1e-300, std::fabs(mpfr_get_d(w, MPFR_RNDN)), std::fabs(mpq_get_d(other))});
        EXPECT_LE(mpfr_get_d(d, MPFR_RNDN), rel * scale + 1e-300) << "part " << part;
        mpfr_clears(w, h, d, (mpfr_ptr)0);
    }

    // Bounds of part `part` of an operand as exact rationals.
    static void bounds(const coef& c, int part, mpq_ptr lo, mpq_ptr hi)
    {
        if (!coefnum_isinterval(c.type)) {
            coefnum_get_q(lo, &c, part);
            mpq_set(hi, lo);
            return;
        }
        mpfr_t f;
        mpfr_init2(f, 113);
        coefnum_get_fr(f, &c, part, MPFR_RNDD);
        ASSERT_TRUE(mpfr_number_p(f));
        mpfr_get_q(lo, f);
        coefnum_get_fr(f, &c, part, MPFR_RNDU);
        ASSERT_TRUE(mpfr_number_p(f));
        mpfr_get_q(hi, f);
        mpfr_clear(f);
    }

    void check_enclosure(int op, const coef& a, const coef& b, const coef& r)
    {
        mpq_t al[2], ah[2], bl[2], bh[2], rl[2], rh[2], pr, pi;
        for (int k = 0; k < 2; k++) {
            mpq_inits(al[k], ah[k], bl[k], bh[k], rl[k], rh[k], (mpq_ptr)0);
            bounds(a, k, al[k], ah[k]);
            bounds(b, k, bl[k], bh[k]);
            bounds(r, k, rl[k], rh[k]);
        }
        mpq_inits(pr, pi, (mpq_ptr)0);
        // every corner of the operand boxes maps inside the result box
        for (int m = 0; m < 16; m++) {
            mpq_srcptr ar = (m & 1) ? ah[0] : al[0], ai = (m & 2) ? ah[1] : al[1];
            mpq_srcptr br = (m & 4) ? bh[0] : bl[0], bi = (m & 8) ? bh[1] : bl[1];
            zqop(op, pr, pi, ar, ai, br, bi);
            EXPECT_TRUE(mpq_cmp(rl[0], pr) <= 0 && mpq_cmp(pr, rh[0]) <= 0) << "re corner " << m << " " << mpq_get_d(pr);
            EXPECT_TRUE(mpq_cmp(rl[1], pi) <= 0 && mpq_cmp(pi, rh[1]) <= 0) << "im corner " << m;
        }
        for (int k = 0; k < 2; k++) mpq_clears(al[k], ah[k], bl[k], bh[k], rl[k], rh[k], (mpq_ptr)0);
        mpq_clears(pr, pi, (mpq_ptr)0);
    }

    static std::string str_or0(const coef& c)
    {
        if (c.type == BH_ZERO) return "0";
        char* s = coef2str(&c);
        std::string r(s);
        free(s);
        return std::to_string((int)c.type) + ":" + r;
    }

    void run_pairs(eBHTypeCoef ta, eBHTypeCoef tb, int n)
    {
        for (int i = 0; i < n; i++) {
            int op = (int)rnd(0, 3);
            coef a = operand(ta), b = operand(tb);
            if (op == DIV && b.type == BH_ZERO) b = mknum(tb, 3, 1, 1, 1);
            // complex intervals: keep divisors away from zero so the enclosure is finite
            check(op, a, (int)rnd(0, 1), b, (int)rnd(0, 1), "pair");
            if (HasFatalFailure()) return;
        }
    }
};

TEST_F(Property, SameTypeArithmetic)
{
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) {
        SCOPED_TRACE((int)tags[i]);
        run_pairs(tags[i], tags[i], 600);
    }
}

TEST_F(Property, PromotionPairs)
{
    const eBHTypeCoef pairs[][2] = {
        {BH_INTMP, BH_RATMP},  {BH_INTMP, BH_ZINTMP}, {BH_INTMP, BH_ZRATMP}, {BH_RATMP, BH_ZRATMP},
        {BH_RATMP, BH_ZINTMP}, {BH_ZINTMP, BH_ZRATMP}, {BH_INTMP, BH_DBL},   {BH_RATMP, BH_DBL},
        {BH_RAT, BH_DBL},      {BH_INTMP, BH_ZDBL},   {BH_RATMP, BH_ZDBL},   {BH_RAT, BH_ZDBL},
        {BH_DBL, BH_ZDBL},     {BH_ZINTMP, BH_ZDBL},  {BH_ZRATMP, BH_ZDBL},  {BH_ZRAT, BH_ZDBL},
        {BH_DBL, BH_ZINTMP},   {BH_DBL, BH_ZRATMP},   {BH_DBL, BH_ZRAT},     {BH_RAT, BH_ZRAT},
        {BH_QUAD, BH_ZQUAD},   {BH_FPMP, BH_ZFPMP},   {BH_INTDBL, BH_ZINTDBL}, {BH_INTQUAD, BH_ZINTQUAD},
        {BH_DBL, BH_QUAD},     {BH_RAT, BH_INTMP},    {BH_FPMP, BH_INTDBL},  {BH_DBL, BH_INTQUAD},
    };
    for (auto& p : pairs) {
        SCOPED_TRACE(std::to_string((int)p[0]) + "," + std::to_string((int)p[1]));
        run_pairs(p[0], p[1], 150);
        run_pairs(p[1], p[0], 150);
    }
}

// Operands whose results vanish under some operation: 2/5 and -2/5 (nint, integer part), 1
// (log, acos, arg), -1000 (exp underflows in double), pure imaginary and pure real complex
// numbers (real and imaginary parts), and for the floating types a value whose square underflows.
std::vector<coef> zero_makers(eBHTypeCoef t)
{
    std::vector<coef> v;
    const bool cplx = coefnum_iscomplex(t);
    const long ps[][2] = {{2, 5}, {-2, 5}, {1, 1}, {-1, 1}, {3, 1}, {-1000, 1}};
    for (auto& p : ps) v.push_back(mknum(t, p[0], p[1]));
    if (cplx) {
        v.push_back(mknum(t, 0, 1, 3, 1));
        v.push_back(mknum(t, 3, 1, 0, 1));
    }
    coef tiny{};
    switch (gc_BHReel[t]) {
    case BH_DBL: tiny = coef_fromdbl(1e-200); break;
    case BH_QUAD: tiny = coef_fromptr(quad_new(1e-3000Q), BH_QUAD); break;
    case BH_FPMP: {
        __mpfr_struct* f = fpmp_new(tctx());
        mpfr_set_ui_2exp(f, 1, mpfr_get_emin() + 10, MPFR_RNDN);
        tiny = coef_fromptr(f, BH_FPMP);
        break;
    }
    default: break;
    }
    if (tiny.type != BH_ZERO) {
        v.push_back(cplx ? coefnum_convert_raw(tctx(), &tiny, t) : copycoef(&tiny));
        deletecoef(&tiny);
    }
    return v;
}

// Zero is tag 0 after every operation, whatever its type: arithmetic, powers, the elementary
// functions, integer parts, bounds, parts of complex numbers and conversions between types.
TEST_F(Property, EveryOperationGivesZeroAsTagZero)
{
    struct t_unary {
        const char* name;
        coef_unop_fn coefvtable::*slot;
    };
    static const t_unary unary[] = {
        {"neg", &coefvtable::neg},     {"conj", &coefvtable::conj},   {"abs", &coefvtable::abs},
        {"real", &coefvtable::real},   {"imag", &coefvtable::imag},   {"cos", &coefvtable::cos},
        {"sin", &coefvtable::sin},     {"tan", &coefvtable::tan},     {"acos", &coefvtable::acos},
        {"asin", &coefvtable::asin},   {"atan", &coefvtable::atan},   {"cosh", &coefvtable::cosh},
        {"sinh", &coefvtable::sinh},   {"tanh", &coefvtable::tanh},   {"acosh", &coefvtable::acosh},
        {"asinh", &coefvtable::asinh}, {"atanh", &coefvtable::atanh}, {"exp", &coefvtable::exp},
        {"log", &coefvtable::log},     {"log10", &coefvtable::log10}, {"arg", &coefvtable::arg},
        {"sqrt", &coefvtable::sqrt},   {"pent", &coefvtable::pent},   {"nint", &coefvtable::nint},
        {"inf", &coefvtable::inf},     {"sup", &coefvtable::sup},     {"norm_inf", &coefvtable::norm_inf},
        {"getnumer", &coefvtable::getnumer}, {"getdenom", &coefvtable::getdenom},
    };
    auto expect_normal = [](coef& r, const std::string& what) {
        if (Erreur_Execution) {   // an operation the type refuses (the order of complex numbers)
            Erreur_Execution = 0;
            EXPECT_EQ(r.type, BH_ZERO) << what;
        }
        EXPECT_GE((int)r.type, 0) << what;
        EXPECT_FALSE(r.type != BH_ZERO && coef_vt(&r).iszero(&r)) << what << ": zero with tag " << (int)r.type;
        deletecoef(&r);
    };
    int n;
    const eBHTypeCoef* tags = numeric_tags(&n);
    for (int i = 0; i < n; i++) {
        const eBHTypeCoef t = tags[i];
        std::vector<coef> ops = zero_makers(t);
        for (coef& a : ops) {
            const std::string at = std::to_string((int)t) + ":" + str(a);
            for (const t_unary& u : unary) {
                coef r = (coef_vt(&a).*u.slot)(tctx(), &a, 1);
                expect_normal(r, std::string(u.name) + "(" + at + ")");
            }
            for (unsigned long e : {2UL, 3UL}) {
                coef r = coef_vt(&a).power_ui(tctx(), &a, 1, e);
                expect_normal(r, at + "^" + std::to_string(e));
            }
            coef half = mknum(t, 5, 2);
            coef r = coef_vt(&a).exponentiation(tctx(), &a, 1, &half, 1);
            expect_normal(r, at + "^(5/2)");
            if (!coefnum_iscomplex(t)) {
                r = coef_vt(&a).modulo_coefnum(tctx(), &a, 1, &half, 1);
                expect_normal(r, at + " mod 5/2");
            }
            deletecoef(&half);
            for (coef& b : ops) {
                const std::string bt = str(b);
                r = coef_multiplication(tctx(), &a, 1, &b, 1);
                expect_normal(r, at + " * " + bt);
                r = coef_multiplicationtr(tctx(), &a, 1, &b, 1, nullptr);
                expect_normal(r, at + " *tr " + bt);
                r = coef_division(tctx(), &a, 1, &b, 1);
                expect_normal(r, at + " / " + bt);
                coef acc{};
                coef_fmaccnotr(tctx(), &acc, a, 1, b, 1);
                expect_normal(acc, "0 + " + at + " * " + bt);
            }
            // every conversion (not of the MPFR value near the exponent floor: as an exact
            // rational it would take gigabytes)
            if (gc_BHReel[t] == BH_FPMP && &a == &ops.back()) continue;
            for (int j = 0; j < n; j++) {
                r = coefnum_convert_to(tctx(), &a, tags[j]);
                expect_normal(r, at + " as " + std::to_string((int)tags[j]));
                for (int m = NUMDBL; m <= NUMQUADINT; m++) {
                    kst_kctx(tctx()).num.modenum = m;
                    r = modenum_convertcopy(tctx(), &a);
                    expect_normal(r, at + " in mode " + std::to_string(m));
                }
                kst_kctx(tctx()).num.modenum = NUMDBL;
            }
        }
        for (coef& a : ops) deletecoef(&a);
    }
    // a GMP rational too small for a double meets a double
    __mpq_struct* q = ratmp_new();
    mpq_set_ui(q, 1, 1);
    mpz_ui_pow_ui(mpq_denref(q), 10, 400);
    coef small = ratmp_wrap(q), two = coef_fromdbl(2.0);
    coef r = coef_multiplication(tctx(), &small, 1, &two, 1);
    expect_normal(r, "1/10^400 * 2.0");
    r = coef_division(tctx(), &two, 1, &small, 1);
    EXPECT_EQ(Erreur_Execution, 1) << "2.0 / (1/10^400 as a double) divides by zero";
    Erreur_Execution = 0;
    deletecoef(&r);
    deletecoef(&small);
    q = ratmp_new();
    mpq_set_ui(q, 1, 1);
    mpz_ui_pow_ui(mpq_denref(q), 10, 801);
    small = ratmp_wrap(q);
    r = coef_vt(&small).sqrt(tctx(), &small, 1);
    expect_normal(r, "sqrt(1/10^801)");
    deletecoef(&small);
    // 64-bit rationals that leave the range go through doubles, where they can vanish
    coef third = ratovf_make(1, 3);
    r = coef_vt(&third).power_ui(tctx(), &third, 1, 1000);
    expect_normal(r, "(1/3)^1000");
    coef x = ratovf_make(4611686018427387905LL, 4611686018427387903LL);
    coef y = ratovf_make(4611686018427387903LL, 4611686018427387901LL);
    r = coef_soustraction(tctx(), &x, 0, &y, 0);
    expect_normal(r, "difference of two rationals equal as doubles");
}

}  // namespace
