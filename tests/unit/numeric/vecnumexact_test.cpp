// Numeric vectors of exact numbers, intervals and residues: exact sums and products, the rational
// promotion of integer quotients, enclosures, modular inverses, conversions, comparisons, errors,
// display and text writing.
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "numeric/vecnumintmodsmall.h"
#include "render/render.h"
#include "vecnumtest.h"

using dv = std::vector<double>;

namespace {

using t_ints = std::vector<long>;

std::string text_of_intcoef(const coef* c)
{
    char* s = mpz_get_str(nullptr, 10, coef_box<t_intmptype>(c));
    std::string out = s;
    free(s);
    return out;
}

vecptr mkexact(int flag, const t_ints& num, long den = 1)
{
    vecptr v(vecnum_create(tctx(), flag, "v", (uint32_t)num.size()));
    for (size_t i = 0; i < num.size(); i++) {
        __mpq_struct* q = ratmp_new();
        mpq_set_si(q, num[i], (unsigned long)den);
        mpq_canonicalize(q);
        coef c = ratmp_wrap(q);
        v->coef2data(tctx(), (uint32_t)i, &c);
        deletecoef(&c);
    }
    return v;
}

// Element i as text: "n", "n/d", "re+im*i" or "[inf, sup]".
std::string text(const t_vecnum* v, uint32_t i)
{
    std::string out;
    vecnum_visit(v, [&](auto* t) {
        using O = typename std::remove_cv_t<std::remove_pointer_t<decltype(t)>>::ops;
        const auto& e = (*t)[i];
        char* s = nullptr;
        if constexpr (std::is_same_v<typename O::E, __mpz_struct>) s = mpz_get_str(nullptr, 10, &e);
        else if constexpr (std::is_same_v<typename O::E, __mpq_struct>) s = mpq_get_str(nullptr, 10, &e);
        else if constexpr (std::is_same_v<typename O::E, t_zintmp>) gmp_asprintf(&s, "%Zd%+Zd*i", e.re, e.im);
        else if constexpr (std::is_same_v<typename O::E, t_zratmp>) gmp_asprintf(&s, "%Qd%+Qd*i", e.re, e.im);
        else if constexpr (std::is_same_v<typename O::E, t_dbiasinterval>) asprintf(&s, "[%.17g, %.17g]", e.inf, e.sup);
        else if constexpr (!O::cplx) asprintf(&s, "%.17g", O::todbl(&e));
        else s = strdup("?");
        out = s;
        free(s);
    });
    if (v->vecflag() == VECNUM_INTMODSMALL) {
        coef c = v->data2coef(tctx(), i);
        out = c.type == BH_ZERO ? "0" : text_of_intcoef(&c);
        deletecoef(&c);
    }
    return out;
}

std::vector<std::string> texts(const t_vecnum* v)
{
    std::vector<std::string> out;
    for (uint32_t i = 0; i < v->size(); i++) out.push_back(text(v, i));
    return out;
}

t_dbiasinterval interval(const t_vecnum* v, uint32_t i) { return (*static_cast<const t_vecnumt<t_intdbltype>*>(v))[i]; }

std::string shown(const t_vecnum* v)
{
    t_render* saved = tctx()->getrender();
    tctx()->render = kst_newrender(0);
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    v->Vdisplay_resume(tctx(), out);
    fclose(out);
    delete tctx()->render;
    tctx()->render = saved;
    std::string s(buf);
    free(buf);
    return s;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using t_strs = std::vector<std::string>;

}  // namespace

TEST_F(VecnumTest, ExactSumsAndProducts)
{
    // sum of 1/k for k = 1..20 is H(20) = 55835135/15519504, whatever the method asked for
    vecptr h(vecnum_create(tctx(), VECNUM_RATMP, "h", 20));
    for (uint32_t k = 1; k <= 20; k++) {
        coef c = ratovf_make(1, k);
        h->coef2data(tctx(), k - 1, &c);
        deletecoef(&c);
    }
    for (int method : {ESUM_NAIVE, ESUM_KAHAN}) {
        coef s = h->Vsum(tctx(), method, 0);
        ASSERT_EQ(s.type, BH_RATMP);
        EXPECT_EQ(mpz_get_ui(mpq_numref(coef_box<t_ratmptype>(&s))), 55835135u);
        EXPECT_EQ(mpz_get_ui(mpq_denref(coef_box<t_ratmptype>(&s))), 15519504u);
        deletecoef(&s);
    }
    // 25! needs more than 64 bits
    t_ints k(25);
    for (long i = 0; i < 25; i++) k[i] = i + 1;
    vecptr f = mkexact(VECNUM_INTMP, k);
    coef p = f->Vprod(tctx());
    ASSERT_EQ(p.type, BH_INTMP);
    EXPECT_EQ(text_of_intcoef(&p), "15511210043330985984000000");
    deletecoef(&p);
    // (1+2i)(3-i) = 5+5i; a zero sum is the zero coefficient
    vecptr z(vecnum_create(tctx(), VECNUM_ZINTMP, "z", 2));
    coef a = coef_creenumdencplx_init(1, 1, 2, 1), b = coef_creenumdencplx_init(3, 1, -1, 1);
    z->coef2data(tctx(), 0, &a);
    z->coef2data(tctx(), 1, &b);
    coef zp = z->Vprod(tctx());
    vecptr back(vecnum_create(tctx(), VECNUM_ZINTMP, "b", 1));
    back->coef2data(tctx(), 0, &zp);
    EXPECT_EQ(text(back.get(), 0), "5+5*i");
    deletecoef(&a), deletecoef(&b), deletecoef(&zp);
    coef zero = mkexact(VECNUM_INTMP, {3, -3})->Vsum(tctx(), ESUM_NAIVE, 0);
    EXPECT_EQ(zero.type, BH_ZERO);
    expect_noerror();
}

TEST_F(VecnumTest, ExactArithmeticStaysExact)
{
    vecptr a = mkexact(VECNUM_INTMP, {1, 2, -3}), b = mkexact(VECNUM_INTMP, {2, 2, 2});
    // integer quotients are rationals; a/b * b = a
    vecptr q(vecnum_division(tctx(), a.get(), 1, b.get(), 1));
    ASSERT_TRUE(q);
    EXPECT_EQ(q->vecflag(), VECNUM_RATMP);
    EXPECT_EQ(texts(q.get()), (t_strs{"1/2", "1", "-3/2"}));
    vecptr back(vecnum_multiplication(tctx(), q.release(), 0, b.get(), 1));
    EXPECT_EQ(texts(back.get()), (t_strs{"1", "2", "-3"}));
    // a non-integral coefficient promotes too; an integral one keeps integers
    coef third = ratovf_make(1, 3), two = ratovf_make(2, 1);
    vecptr t(tabnum_multiplication_coef(tctx(), a.get(), 1, &third, 1));
    EXPECT_EQ(t->vecflag(), VECNUM_RATMP);
    EXPECT_EQ(texts(t.get()), (t_strs{"1/3", "2/3", "-1"}));
    vecptr d(coef_soustraction_tabnum(tctx(), &two, 1, a.get(), 1));
    EXPECT_EQ(d->vecflag(), VECNUM_INTMP);
    EXPECT_EQ(texts(d.get()), (t_strs{"1", "0", "5"}));
    // powers: integer exponents only, negative ones for rationals
    vecptr p(vecnum_pow(tctx(), mkexact(VECNUM_INTMP, {2, 3, -5}).release(), 0, mkexact(VECNUM_INTMP, {70, 0, 3}).release(), 0));
    EXPECT_EQ(texts(p.get()), (t_strs{"1180591620717411303424", "1", "-125"}));
    coef m2 = ratovf_make(-2, 1);
    vecptr r(tabnum_pow_coef(tctx(), mkexact(VECNUM_RATMP, {2, -3}, 3).release(), 0, &m2, 1));
    EXPECT_EQ(texts(r.get()), (t_strs{"9/4", "1"}));
    expect_noerror();

    struct { vecptr base, exponent; int error; } refused[] = {
        {mkexact(VECNUM_INTMP, {2}), mkexact(VECNUM_INTMP, {-1}), 133},
        {mkexact(VECNUM_RATMP, {0}), mkexact(VECNUM_INTMP, {-1}), 24},
        {mkexact(VECNUM_RATMP, {4}), mkexact(VECNUM_RATMP, {1}, 2), 26},
    };
    for (auto& c : refused) {
        EXPECT_EQ(vecnum_pow(tctx(), c.base.get(), 1, c.exponent.get(), 1), nullptr);
        expect_error(errtext(c.error));
    }
    // zero divisors, from a vector or a coefficient, either side
    vecptr withzero = mkexact(VECNUM_INTMP, {1, 0});
    EXPECT_EQ(vecnum_division(tctx(), a.get(), 1, mkexact(VECNUM_INTMP, {1, 0, 1}).release(), 0), nullptr);
    expect_error(errtext(24));
    coef one = ratovf_make(1, 1);
    EXPECT_EQ(coef_division_tabnum(tctx(), &one, 1, withzero.get(), 1), nullptr);
    expect_error(errtext(24));
    coef zero{};
    EXPECT_EQ(tabnum_division_coef(tctx(), mkexact(VECNUM_ZRATMP, {1}).release(), 0, &zero, 1), nullptr);
    expect_error(errtext(24));
    deletecoef(&third), deletecoef(&two), deletecoef(&m2), deletecoef(&one);
}

TEST_F(VecnumTest, ComplexExactVectors)
{
    vecptr z(vecnum_create(tctx(), VECNUM_ZINTMP, "z", 2)), w(vecnum_create(tctx(), VECNUM_ZINTMP, "w", 2));
    coef c[] = {coef_creenumdencplx_init(1, 1, 1, 1), coef_creenumdencplx_init(0, 1, 2, 1),
                coef_creenumdencplx_init(1, 1, -1, 1), coef_creenumdencplx_init(0, 1, 2, 1)};
    z->coef2data(tctx(), 0, &c[0]), z->coef2data(tctx(), 1, &c[1]);
    w->coef2data(tctx(), 0, &c[2]), w->coef2data(tctx(), 1, &c[3]);
    // (1+i)/(1-i) = i, 2i/2i = 1: complex integer quotients are complex rationals
    vecptr q(vecnum_division(tctx(), z.get(), 1, w.get(), 1));
    EXPECT_EQ(q->vecflag(), VECNUM_ZRATMP);
    EXPECT_EQ(texts(q.get()), (t_strs{"0+1*i", "1+0*i"}));
    // (1+i)^-2 = -i/2
    coef m2 = ratovf_make(-2, 1);
    vecptr p(tabnum_pow_coef(tctx(), q.get(), 1, &m2, 1));   // i^-2 = -1, 1^-2 = 1
    EXPECT_EQ(texts(p.get()), (t_strs{"-1+0*i", "1+0*i"}));
    vecptr zr(vecnum_convertcopy(tctx(), z.get(), VECNUM_ZRATMP));
    vecptr p2(tabnum_pow_coef(tctx(), zr.get(), 1, &m2, 1));
    EXPECT_EQ(texts(p2.get()), (t_strs{"0-1/2*i", "-1/4+0*i"}));
    // a real integer vector met with a complex number becomes complex
    vecptr lifted(tabnum_addition_coef(tctx(), mkexact(VECNUM_INTMP, {1, 2}).release(), 0, &c[1], 1));
    EXPECT_EQ(lifted->vecflag(), VECNUM_ZINTMP);
    EXPECT_EQ(texts(lifted.get()), (t_strs{"1+2*i", "2+2*i"}));
    // equality only; no order and no sort
    vecptr eq(vecnum_cmp(tctx(), z.get(), w.get(), VCMP_EQ));
    EXPECT_EQ(eq->vecflag(), VECNUM_INTMP);
    EXPECT_EQ(texts(eq.get()), (t_strs{"0", "1"}));
    EXPECT_EQ(vecnum_cmp(tctx(), z.get(), w.get(), VCMP_LT), nullptr);
    expect_error(errtext(23));
    EXPECT_EQ(z->Vsort(tctx()), nullptr);
    expect_error(errtext(23));
    for (coef& x : c) deletecoef(&x);
    deletecoef(&m2);
}

TEST_F(VecnumTest, ConversionsRoundTrip)
{
    // int -> rational -> int is the identity, also past 64 bits
    vecptr big = mkexact(VECNUM_INTMP, {-7, 0, 123456789});
    vecptr sq(vecnum_multiplication(tctx(), big.get(), 1, big.get(), 1));
    vecptr cube(vecnum_multiplication(tctx(), sq.get(), 1, big.get(), 1));
    vecptr asq(vecnum_convertcopy(tctx(), cube.get(), VECNUM_RATMP));
    vecptr back(vecnum_convertcopy(tctx(), asq.get(), VECNUM_INTMP));
    EXPECT_EQ(texts(back.get()), (t_strs{"-343", "0", "1881676371789154860897069"}));
    // rational -> int truncates toward zero; int -> complex int -> int keeps the real parts
    vecptr halves = mkexact(VECNUM_RATMP, {7, -7, 1}, 2);
    EXPECT_EQ(texts(vecptr(vecnum_convertcopy(tctx(), halves.get(), VECNUM_INTMP)).get()), (t_strs{"3", "-3", "0"}));
    vecptr zc(vecnum_convertcopy(tctx(), big.get(), VECNUM_ZINTMP));
    EXPECT_EQ(texts(vecptr(vecnum_convertcopy(tctx(), zc.get(), VECNUM_INTMP)).get()), texts(big.get()));
    // doubles are exact rationals; exact vectors with doubles give doubles
    vecptr d = mkdbl({0.5, -0.25});
    EXPECT_EQ(texts(vecptr(vecnum_convertcopy(tctx(), d.get(), VECNUM_RATMP)).get()), (t_strs{"1/2", "-1/4"}));
    vecptr sum(vecnum_addition(tctx(), halves.get(), 1, mkdbl({0.5, 0.5, 0.5}).release(), 0));
    EXPECT_EQ(sum->vecflag(), VECNUM_DBL);
    EXPECT_EQ(values(sum.get()), (dv{4, -3, 1}));
    // exact vectors do not follow the numeric mode
    modenum_set(tctx(), NUMQUAD);
    EXPECT_EQ(big->Vupdatevalue(tctx()), nullptr);
    expect_noerror();
}

TEST_F(VecnumTest, IntervalsEncloseTheTrueValue)
{
    // ten enclosures of 1/10 sum to an interval around 1 (0.1 has no double)
    vecptr v(vecnum_create(tctx(), VECNUM_INTDBL, "i", 10));
    coef tenth = ratovf_make(1, 10);
    for (uint32_t k = 0; k < 10; k++) v->coef2data(tctx(), k, &tenth);
    EXPECT_LT(interval(v.get(), 0).inf, interval(v.get(), 0).sup);
    coef s = v->Vsum(tctx(), ESUM_KAHAN, 0);
    ASSERT_EQ(s.type, BH_INTDBL);
    const t_dbiasinterval* sum = coef_box<t_intdbltype>(&s);
    EXPECT_LE(sum->inf, 1.0);
    EXPECT_GE(sum->sup, 1.0);
    EXPECT_LT(sum->sup - sum->inf, 1e-14);
    deletecoef(&s);
    // (1/10) * 10 encloses 1; 1/3 by a vector and 3 * it again
    coef ten = coef_fromdbl(10);
    vecptr m(tabnum_multiplication_coef(tctx(), v.get(), 1, &ten, 1));
    EXPECT_LE(interval(m.get(), 0).inf, 1.0);
    EXPECT_GE(interval(m.get(), 0).sup, 1.0);
    vecptr three(vecnum_convertcopy(tctx(), mkdbl({3, -3}).get(), VECNUM_INTDBL));
    EXPECT_EQ(text(three.get(), 0), "[3, 3]");
    vecptr one(vecnum_create(tctx(), VECNUM_INTDBL, "one", 2));
    coef c1 = coef_fromdbl(1);
    one->coef2data(tctx(), 0, &c1), one->coef2data(tctx(), 1, &c1);
    vecptr inv(vecnum_division(tctx(), one.get(), 1, three.get(), 1));
    vecptr again(vecnum_multiplication(tctx(), inv.get(), 1, three.get(), 1));
    for (uint32_t i = 0; i < 2; i++) {   // (1/3) 3 and (1/-3) (-3) both enclose 1
        EXPECT_LT(interval(inv.get(), i).inf, interval(inv.get(), i).sup);
        EXPECT_LE(interval(again.get(), i).inf, 1.0);
        EXPECT_GE(interval(again.get(), i).sup, 1.0);
    }
    // a divisor containing zero gives the whole line; [-1, 2]^2 = [0, 4]
    vecptr span(vecnum_create(tctx(), VECNUM_INTDBL, "s", 1));
    static_cast<t_vecnumt<t_intdbltype>*>(span.get())->data()[0] = t_dbiasinterval{-1, 2};
    vecptr zeros(vecnum_create(tctx(), VECNUM_INTDBL, "z", 2));
    vecptr whole(vecnum_division(tctx(), one.get(), 1, zeros.get(), 1));
    EXPECT_TRUE(std::isinf(interval(whole.get(), 0).inf) && std::isinf(interval(whole.get(), 0).sup));
    coef two = coef_fromdbl(2), half = coef_fromdbl(0.5);
    vecptr sq(tabnum_pow_coef(tctx(), span.get(), 1, &two, 1));
    EXPECT_EQ(text(sq.get(), 0), "[0, 4]");
    EXPECT_EQ(tabnum_pow_coef(tctx(), span.get(), 1, &half, 1), nullptr);
    expect_error(errtext(26));
    // intervals have no complex vector type
    coef i1 = coef_creenumdencplx_init(0, 1, 1, 1);
    EXPECT_EQ(tabnum_addition_coef(tctx(), span.get(), 1, &i1, 1), nullptr);
    expect_error(errtext(23));
    EXPECT_EQ(vecnum_addition(tctx(), span.get(), 1, mkvec(VECNUM_ZDBL, {1}, {1}).release(), 0), nullptr);
    expect_error(errtext(23));
    deletecoef(&tenth), deletecoef(&ten), deletecoef(&c1), deletecoef(&two), deletecoef(&half), deletecoef(&i1);
}

TEST_F(VecnumTest, IntervalOrderIsCertainAndSortIsByBounds)
{
    vecptr a(vecnum_create(tctx(), VECNUM_INTDBL, "a", 3)), b(vecnum_create(tctx(), VECNUM_INTDBL, "b", 3));
    auto* ta = static_cast<t_vecnumt<t_intdbltype>*>(a.get());
    auto* tb = static_cast<t_vecnumt<t_intdbltype>*>(b.get());
    (*ta)[0] = {1, 2}, (*ta)[1] = {1, 3}, (*ta)[2] = {2, 2};
    (*tb)[0] = {3, 4}, (*tb)[1] = {2, 4}, (*tb)[2] = {2, 2};
    struct { t_vecnum_cmpop op; t_strs expected; } cases[] = {
        {VCMP_LT, {"[1, 1]", "[0, 0]", "[0, 0]"}}, {VCMP_LE, {"[1, 1]", "[0, 0]", "[1, 1]"}},
        {VCMP_GT, {"[0, 0]", "[0, 0]", "[0, 0]"}}, {VCMP_GE, {"[0, 0]", "[0, 0]", "[1, 1]"}},
        {VCMP_EQ, {"[0, 0]", "[0, 0]", "[1, 1]"}}, {VCMP_NE, {"[1, 1]", "[1, 1]", "[0, 0]"}},
    };
    for (auto& c : cases) {
        vecptr r(vecnum_cmp(tctx(), a.get(), b.get(), c.op));
        EXPECT_EQ(r->vecflag(), VECNUM_INTDBL);
        EXPECT_EQ(texts(r.get()), c.expected) << c.op;
    }
    vecptr s(vecnum_convertcopy(tctx(), b.get(), VECNUM_INTDBL));
    vecptr sorted(s->Vsort(tctx()));
    EXPECT_EQ(texts(sorted.get()), (t_strs{"[2, 2]", "[2, 4]", "[3, 4]"}));
    EXPECT_EQ(b->Vimax(tctx()), 1);
    EXPECT_EQ(a->Vimin(tctx()), 1);
}

TEST_F(VecnumTest, ExactComparisonsSortAndSelection)
{
    vecptr a = mkexact(VECNUM_INTMP, {1, 5, 3}), b = mkexact(VECNUM_INTMP, {2, 5, 1});
    struct { t_vecnum_cmpop op; t_strs expected; } cases[] = {
        {VCMP_EQ, {"0", "1", "0"}}, {VCMP_NE, {"1", "0", "1"}}, {VCMP_LT, {"1", "0", "0"}},
        {VCMP_LE, {"1", "1", "0"}}, {VCMP_GT, {"0", "0", "1"}}, {VCMP_GE, {"0", "1", "1"}},
    };
    for (auto& c : cases) {
        vecptr r(vecnum_cmp(tctx(), a.get(), b.get(), c.op));
        EXPECT_EQ(r->vecflag(), VECNUM_INTMP);
        EXPECT_EQ(texts(r.get()), c.expected) << c.op;
    }
    // 5/2 > a[i]: compared as rationals, not as the truncated 2
    coef fh = ratovf_make(5, 2);
    vecptr gt(coefvecnum_cmp(tctx(), &fh, mkexact(VECNUM_INTMP, {2, 3}).get(), VCMP_GT));
    EXPECT_EQ(texts(gt.get()), (t_strs{"1", "0"}));
    // ternary with a rational and an integer vector gives rationals
    vecptr cond(vecnum_cmp(tctx(), a.get(), b.get(), VCMP_LT));
    vecptr pick(vecnum_cmpcondternaire(tctx(), cond.get(), mkexact(VECNUM_RATMP, {1, 1, 1}, 3).get(), b.get()));
    EXPECT_EQ(texts(pick.get()), (t_strs{"1/3", "5", "1"}));
    // order, extrema, extraction
    vecptr r = mkexact(VECNUM_RATMP, {3, -1, 2, -1}, 4);
    EXPECT_EQ(texts(vecptr(r->Vsort(tctx())).get()), (t_strs{"-1/4", "-1/4", "1/2", "3/4"}));
    EXPECT_EQ(values(vecptr(r->Vqsort_index(tctx())).get()), (dv{2, 4, 3, 1}));
    EXPECT_EQ(r->Vimin(tctx()), 2);
    coef mx = r->VMAXTERME(tctx());
    EXPECT_EQ(coef2dbl(&mx), 0.75);
    vecptr sel(r->Vextract_indices(tctx(), mkexact(VECNUM_INTMP, {4, 1}).get()));
    EXPECT_EQ(sel->vecflag(), VECNUM_RATMP);
    EXPECT_EQ(texts(sel.get()), (t_strs{"-1/4", "3/4"}));
    EXPECT_FALSE(mkexact(VECNUM_RATMP, {3}, 2)->Vcheck_indices(tctx(), 5));
    expect_error(errtext(574, 1));
    deletecoef(&fh), deletecoef(&mx);
}

TEST_F(VecnumTest, SizesMismatchIsError143ForEveryNewType)
{
    for (int flag : {VECNUM_INTDBL, VECNUM_INTMP, VECNUM_RATMP, VECNUM_ZINTMP, VECNUM_ZRATMP}) {
        vecptr a(vecnum_create(tctx(), flag, "a", 2)), b(vecnum_create(tctx(), flag, "b", 3));
        EXPECT_EQ(vecnum_addition(tctx(), a.get(), 1, b.get(), 1), nullptr);
        expect_error(errtext(143, "a", "b"));
        EXPECT_EQ(vecnum_cmp(tctx(), a.get(), b.get(), VCMP_EQ), nullptr);
        expect_error(errtext(143, "a", "b"));
    }
    vecptr m(vecnum_createintmodsmall(tctx(), "m", 7, 2)), n(vecnum_createintmodsmall(tctx(), "n", 7, 3));
    EXPECT_EQ(vecnum_multiplication(tctx(), m.get(), 1, n.get(), 1), nullptr);
    expect_error(errtext(143, "m", "n"));
    EXPECT_EQ(m->Vcmpand(tctx(), n.get()), nullptr);
    expect_error(errtext(143, "m", "n"));
}

TEST_F(VecnumTest, ModularInverseTimesValueIsOne)
{
    struct { uint32_t p; size_t bits; } cases[] = {{251, 8}, {65521, 16}, {65537, 32}};
    for (auto& c : cases) {
        vecptr v(vecnum_createintmodsmall(tctx(), "v", c.p, c.p - 1));
        ASSERT_TRUE(v);
        auto* m = static_cast<t_vecnumintmodsmall*>(v.get());
        EXPECT_EQ(m->bits(), c.bits);
        for (uint32_t r = 1; r < c.p; r++) m->set(r - 1, r);
        coef one = coef_fromdbl(1), pm1 = coef_fromdbl(c.p - 1.0);
        vecptr inv(coef_division_tabnum(tctx(), &one, 1, v.get(), 1));
        vecptr prod(vecnum_multiplication(tctx(), inv.get(), 1, v.get(), 1));
        vecptr fermat(tabnum_pow_coef(tctx(), v.get(), 1, &pm1, 1));   // r^(p-1) = 1
        bool allone = true;
        for (uint32_t i = 0; i < c.p - 1; i++) {
            allone = allone && static_cast<t_vecnumintmodsmall*>(prod.get())->get(i) == 1 &&
                     static_cast<t_vecnumintmodsmall*>(fermat.get())->get(i) == 1;
        }
        EXPECT_TRUE(allone) << c.p;
        // v / v is one too, and the sum of every residue is 0 (p odd)
        vecptr q(vecnum_division(tctx(), v.get(), 1, v.get(), 1));
        coef s = q->Vsum(tctx(), ESUM_NAIVE, 0), t = v->Vsum(tctx(), ESUM_NAIVE, 0);
        EXPECT_EQ(coef2dbl(&s), (double)((c.p - 1) % c.p));
        EXPECT_EQ(t.type, BH_ZERO);
        deletecoef(&one), deletecoef(&pm1), deletecoef(&s);
        expect_noerror();
    }
}

TEST_F(VecnumTest, ModularConversionsErrorsAndDisplay)
{
    EXPECT_EQ(vecnum_createintmodsmall(tctx(), "x", 255, 1), nullptr);
    expect_error(errtext(444));
    // integers reduce, n/d is n times the inverse of d; a multiple of p as denominator fails
    vecptr m(vecnum_convertintmodsmall(tctx(), mkexact(VECNUM_RATMP, {-2, 1, 1004}, 2).get(), 251, "m"));
    ASSERT_TRUE(m);
    EXPECT_EQ(texts(m.get()), (t_strs{"250", "126", "0"}));
    EXPECT_EQ(vecnum_convertintmodsmall(tctx(), mkexact(VECNUM_RATMP, {1}, 251).get(), 251), nullptr);
    expect_error(errtext(446));
    EXPECT_EQ(shown(m.get()), "t_vecnumintmodsmall<8 bits>('m' = {250, 126, 0}) mod 251\n");
    // a zero divisor, a zero to a negative power, moduli that differ, orders
    coef two = coef_fromdbl(2), m1 = coef_fromdbl(-1);
    EXPECT_EQ(coef_division_tabnum(tctx(), &two, 1, m.get(), 1), nullptr);
    expect_error(errtext(446));
    EXPECT_EQ(tabnum_pow_coef(tctx(), m.get(), 1, &m1, 1), nullptr);
    expect_error(errtext(446));
    vecptr other(vecnum_createintmodsmall(tctx(), "o", 7, 3));
    EXPECT_EQ(vecnum_addition(tctx(), m.get(), 1, other.get(), 1), nullptr);
    expect_error(errtext(445));
    EXPECT_EQ(vecnum_cmp(tctx(), m.get(), m.get(), VCMP_LT), nullptr);
    expect_error(errtext(23));
    EXPECT_EQ(m->Vimax(tctx()), 0);
    expect_error(errtext(23));
    // 2^-1 = 126, 250 - 2 = 248, 2 - 250 = 4, equality with a coefficient, extraction
    vecptr twos(vecnum_convertintmodsmall(tctx(), mkexact(VECNUM_INTMP, {2, 2}).get(), 251));
    EXPECT_EQ(texts(vecptr(tabnum_pow_coef(tctx(), twos.get(), 1, &m1, 1)).get()), (t_strs{"126", "126"}));
    EXPECT_EQ(texts(vecptr(tabnum_soustraction_coef(tctx(), m.get(), 1, &two, 1)).get()), (t_strs{"248", "124", "249"}));
    EXPECT_EQ(texts(vecptr(coef_soustraction_tabnum(tctx(), &two, 1, m.get(), 1)).get()), (t_strs{"3", "127", "2"}));
    coef c126 = coef_fromdbl(126);
    EXPECT_EQ(texts(vecptr(coefvecnum_cmp(tctx(), &c126, m.get(), VCMP_EQ)).get()), (t_strs{"0", "1", "0"}));
    vecptr sel(m->Vextract_borne(tctx(), tabnum_borne{2, -1, 1}));
    EXPECT_EQ(sel->vecflag(), VECNUM_INTMODSMALL);
    EXPECT_EQ(texts(sel.get()), (t_strs{"126", "0"}));
    vecptr back(vecnum_convertcopy(tctx(), m.get(), VECNUM_INTMP));
    EXPECT_EQ(texts(back.get()), (t_strs{"250", "126", "0"}));
    deletecoef(&two), deletecoef(&m1), deletecoef(&c126);
}

TEST_F(VecnumTest, DisplayOfExactAndIntervalVectors)
{
    vecptr q = mkexact(VECNUM_RATMP, {1, 4}, 3);
    q->Vupdatename("q");
    EXPECT_EQ(shown(q.get()), "q = [1/3, 4/3]\n");
    vecptr i(vecnum_convertcopy(tctx(), mkdbl({0.5}).get(), VECNUM_INTDBL, "i"));
    EXPECT_EQ(shown(i.get()).substr(0, 5), "i = [");
    EXPECT_NE(shown(i.get()).find("5"), std::string::npos);
}

TEST_F(VecnumTest, TextWritingOfExactAndIntervalColumns)
{
    const std::string f = ::testing::TempDir() + "vecnumexact_" + std::to_string(getpid());
    vecptr z = mkexact(VECNUM_INTMP, {-12, 7});
    vecptr big(vecnum_multiplication(tctx(), z.get(), 1, mkexact(VECNUM_INTMP, {1000000000, 1}).get(), 1));
    vecptr sq(vecnum_multiplication(tctx(), big.get(), 1, big.get(), 1));
    vecptr q = mkexact(VECNUM_RATMP, {-7, 1}, 2);
    vecptr i(vecnum_convertcopy(tctx(), mkdbl({0.5, 2}).get(), VECNUM_INTDBL));
    vecptr m(vecnum_convertintmodsmall(tctx(), mkexact(VECNUM_INTMP, {-1, 3}).get(), 7));
    const tabnum_borne all{1, -1, 1};
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {sq.get(), q.get(), m.get()}, nullptr));
    EXPECT_EQ(slurp(f), "144000000000000000000\t-7/2\t6\t\n49\t1/2\t3\t\n");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {i.get()}, nullptr));
    EXPECT_EQ(slurp(f), "+5.0000000000000000E-01\t+5.0000000000000000E-01\t\n"
                        "+2.0000000000000000E+00\t+2.0000000000000000E+00\t\n");
    ASSERT_TRUE(filenum_write(tctx(), f.c_str(), all, {sq.get(), q.get()}, "%5ld;%d|"));
    EXPECT_EQ(slurp(f), "144000000000000000000;-7/2|   49;1/2|");
    // no binary form: refused with a numbered error, nothing written
    EXPECT_FALSE(filenumbin_write(tctx(), f.c_str(), all, {q.get()}, "%e"));
    expect_error(errtext(697, "v", "t_vecnumratmp"));
    EXPECT_EQ(filenumbin_read(tctx(), f.c_str(), all, {{q.get(), 1}}, "%e", false), -1);
    expect_error(errtext(366));
    EXPECT_EQ(filenum_read(tctx(), f.c_str(), all, {{i.get(), 1}}, false), -1);
    expect_error(errtext(366));
    unlink(f.c_str());
}
