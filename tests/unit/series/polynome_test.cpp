// Series arithmetic: exact values of small cases, then identities checked on random series in
// every numeric mode, and the normal form of every result.
#include "seriestest.h"

#include "coef/coefnum.h"
#include "coef/pool.h"

#include <algorithm>
#include <climits>
#include <thread>
#include <vector>

namespace {

struct ModeGuard {
    explicit ModeGuard(int mode) { modenum_set(testctx(), mode); }
    ~ModeGuard() { modenum_set(testctx(), NUMDBL); }
};

coef mono(int v, unsigned long d)
{
    return serie_pow(testctx(), const_cast<coef*>(&kst_variable_monomial(testctx(), var(v))), 1, d);
}

coef num(int n) { return coef_creenum_init(testctx(), n); }

TEST(SeriesValues, OnePlusXTimesOneMinusXLeavesNoZeroTerm)
{
    t_cctx* ctx = testctx();
    coef one = num(1), x = mono(0, 1);
    coef a = serie_add(ctx, &one, 1, &x, 1);
    coef b = serie_sub(ctx, &one, 1, &x, 1);
    coef p = serie_mul(ctx, &a, 0, &b, 0);
    EXPECT_EQ(serie_size(&p), 2);
    EXPECT_TRUE(serie_isnormal(ctx, &p));
    EXPECT_EQ(serie_degmax(&p, var(0)), 2);
    EXPECT_EQ(text(p), "\n                         1 -  x**2\n");
    deletecoef(&p);
    deletecoef(&one);
    deletecoef(&x);
}

TEST(SeriesValues, CancellingToANumberOrZeroCollapsesTheNodes)
{
    t_cctx* ctx = testctx();
    coef x = mono(0, 1), y = mono(1, 1), two = num(2);
    coef s = serie_add(ctx, &x, 1, &two, 1);      // x + 2
    coef d = serie_sub(ctx, &s, 0, &x, 1);         // 2: only a degree-0 term is left
    EXPECT_FALSE(coef_ispoly(&d));
    EXPECT_EQ(coef2ll(&d), 2);
    coef xy = serie_mul(ctx, &x, 1, &y, 1);
    coef z = serie_sub(ctx, &xy, 1, &xy, 1);       // nothing is left at all
    EXPECT_EQ(z.type, BH_ZERO);
    deletecoef(&xy);
    deletecoef(&d);
    deletecoef(&x);
    deletecoef(&y);
    deletecoef(&two);
}

TEST(SeriesValues, TheVariableOfSmallestRankIsTheRoot)
{
    t_cctx* ctx = testctx();
    coef x = mono(0, 1), z = mono(2, 1);
    coef s = serie_add(ctx, &z, 1, &x, 1);        // z + x, z added first
    ASSERT_TRUE(coef_ispoly(&s));
    EXPECT_EQ(coef_poly(&s)->var, var(0));
    EXPECT_EQ(text(s), "\n    z +  x\n");
    t_variable* late = cree_var(ctx, "late");      // declared after x, y, z: ranks last
    EXPECT_EQ(compareOrder(ctx, var(2), late), -1);
    coef l = poly_copy(&late->monomial);
    coef t = serie_add(ctx, &l, 0, &z, 1);
    EXPECT_EQ(coef_poly(&t)->var, var(2));
    deletecoef(&t);
    deletecoef(&s);
    deletecoef(&x);
    deletecoef(&z);
}

TEST(SeriesValues, PowerBySquaringMatchesRepeatedProducts)
{
    t_cctx* ctx = testctx();
    std::mt19937 rng(7);
    coef a = randomserie(rng, 4, 2);
    coef p = num(1);
    for (int i = 0; i < 5; i++) p = serie_mul(ctx, &p, 0, &a, 1);
    coef q = serie_pow(ctx, &a, 1, 5);
    EXPECT_TRUE(serie_equal(&p, &q));
    coef z = serie_pow(ctx, &a, 1, 0);
    EXPECT_EQ(coef2ll(&z), 1);
    deletecoef(&p);
    deletecoef(&q);
    deletecoef(&a);
}

// Modes whose arithmetic on small integers is exact, and all modes for the normal form.
const int kExactModes[] = {NUMDBL, NUMRAT, NUMRATMP, NUMQUAD, NUMFPMP};
const int kAllModes[] = {NUMDBL, NUMRAT, NUMRATMP, NUMQUAD, NUMFPMP, NUMDBLINT, NUMQUADINT};

TEST(SeriesProperties, ProductIsAssociative_abc_eq_a_bc)
{
    t_cctx* ctx = testctx();
    for (int mode : kExactModes) {
        ModeGuard g(mode);
        std::mt19937 rng(100 + mode);
        for (int round = 0; round < 10; round++) {
            coef a = randomserie(rng, 6, 3), b = randomserie(rng, 6, 3), c = randomserie(rng, 6, 3);
            coef ab = serie_mul(ctx, &a, 1, &b, 1);
            coef l = serie_mul(ctx, &ab, 0, &c, 1);
            coef bc = serie_mul(ctx, &b, 1, &c, 1);
            coef r = serie_mul(ctx, &a, 1, &bc, 0);
            EXPECT_TRUE(serie_equal(&l, &r)) << "mode " << mode << " round " << round;
            EXPECT_TRUE(serie_isnormal(ctx, &l));
            for (coef* k : {&a, &b, &c, &l, &r}) deletecoef(k);
        }
    }
}

TEST(SeriesProperties, ProductDistributesOverSum_a_bplusc_eq_ab_plus_ac)
{
    t_cctx* ctx = testctx();
    for (int mode : kExactModes) {
        ModeGuard g(mode);
        std::mt19937 rng(200 + mode);
        for (int round = 0; round < 10; round++) {
            coef a = randomserie(rng, 6, 3), b = randomserie(rng, 6, 3), c = randomserie(rng, 6, 3);
            coef bc = serie_add(ctx, &b, 1, &c, 1);
            coef l = serie_mul(ctx, &a, 1, &bc, 0);
            coef ab = serie_mul(ctx, &a, 1, &b, 1);
            coef ac = serie_mul(ctx, &a, 1, &c, 1);
            coef r = serie_add(ctx, &ab, 0, &ac, 0);
            EXPECT_TRUE(serie_equal(&l, &r)) << "mode " << mode << " round " << round;
            for (coef* k : {&a, &b, &c, &l, &r}) deletecoef(k);
        }
    }
}

TEST(SeriesProperties, DifferenceWithItselfIsZero_a_minus_a_eq_0)
{
    t_cctx* ctx = testctx();
    for (int mode : kAllModes) {
        ModeGuard g(mode);
        std::mt19937 rng(300 + mode);
        for (int round = 0; round < 10; round++) {
            coef a = randomserie(rng, 8, 3);
            coef b = serie_pow(ctx, &a, 1, 2);
            coef d = serie_sub(ctx, &b, 1, &b, 1);
            EXPECT_EQ(d.type, BH_ZERO) << "mode " << mode;
            coef n = serie_neg(ctx, &b, 1);
            coef s = serie_add(ctx, &n, 0, &b, 1);
            EXPECT_EQ(s.type, BH_ZERO) << "mode " << mode;
            deletecoef(&a);
            deletecoef(&b);
        }
    }
}

TEST(SeriesProperties, EveryResultIsNormalised)
{
    t_cctx* ctx = testctx();
    for (int mode : kAllModes) {
        ModeGuard g(mode);
        std::mt19937 rng(400 + mode);
        for (int round = 0; round < 20; round++) {
            coef a = randomserie(rng, 5, 2), b = randomserie(rng, 5, 2);
            coef s = serie_add(ctx, &a, 1, &b, 1);
            coef d = serie_sub(ctx, &a, 1, &b, 1);
            coef p = serie_mul(ctx, &s, 1, &d, 1);
            coef q = serie_pow(ctx, &d, 1, 3);
            for (coef* k : {&a, &b, &s, &d, &p, &q}) {
                EXPECT_TRUE(serie_isnormal(ctx, k)) << "mode " << mode << " round " << round;
                deletecoef(k);
            }
        }
    }
}

TEST(SeriesProperties, SizeOfAProductOfDistinctVariablesIsTheProductOfSizes)
{
    t_cctx* ctx = testctx();
    coef one = num(1), x = mono(0, 1), y = mono(1, 1);
    coef a = serie_add(ctx, &one, 1, &x, 1);   // 1 + x: 2 terms
    coef b = serie_add(ctx, &one, 1, &y, 1);   // 1 + y: 2 terms
    coef a3 = serie_pow(ctx, &a, 0, 3);        // 4 terms
    coef p = serie_mul(ctx, &a3, 0, &b, 0);
    EXPECT_EQ(serie_size(&p), 8);
    EXPECT_EQ(serie_degmin(&p, var(1)), 0);
    EXPECT_EQ(serie_degmax(&p, var(1)), 1);
    EXPECT_EQ(serie_degmax(&p, var(2)), 0);
    for (coef* k : {&one, &x, &y, &p}) deletecoef(k);
}

} // namespace

namespace {
// Terms made by one thread and freed by another (a parallel product's tasks, then the main
// thread) are used again: repeating it does not keep taking memory.
TEST(SeriesPools, TermsFreedByAnotherThreadAreReused)
{
    if (!kst_pooled) GTEST_SKIP() << "blocks are single allocations under the sanitizers";
    constexpr int kTerms = 50000;
    std::vector<t_polyterm*> made(kTerms);
    long before = 0;
    for (int round = 0; round < 20; round++) {
        std::thread worker([&] {
            for (auto& t : made) t = polyterm_alloc();
        });
        worker.join();
        for (t_polyterm* t : made) polyterm_free(t);
        if (round == 1) before = polypool_chunks();
    }
    EXPECT_LE(polypool_chunks() - before, 2);
}
// Terms cut one after another from fresh chunks never overlap, across chunk boundaries too,
// and terms given back are handed out again before any new chunk is taken.
TEST(SeriesPools, FreshTermsAreDistinctAndReusedBeforeNewChunks)
{
    constexpr int kTerms = 3 * (2 << 20) / static_cast<int>(sizeof(t_polyterm)) + 7;   // across chunks
    std::vector<t_polyterm*> made(kTerms);
    std::thread worker([&] {
        for (int i = 0; i < kTerms; i++) {
            made[static_cast<size_t>(i)] = polyterm_alloc();
            made[static_cast<size_t>(i)]->next = nullptr;
            made[static_cast<size_t>(i)]->c = coef{};
            made[static_cast<size_t>(i)]->deg = i;
        }
        for (int i = 0; i < kTerms; i++) EXPECT_EQ(made[static_cast<size_t>(i)]->deg, i);
        std::vector<t_polyterm*> sorted(made);
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 1; i < sorted.size(); i++)
            EXPECT_GE(reinterpret_cast<char*>(sorted[i]) - reinterpret_cast<char*>(sorted[i - 1]),
                      static_cast<std::ptrdiff_t>(sizeof(t_polyterm)));
        for (t_polyterm* t : made) polyterm_free(t);
        const long before = polypool_chunks();
        for (auto& t : made) t = polyterm_alloc();
        EXPECT_EQ(polypool_chunks(), before);
        for (t_polyterm* t : made) polyterm_free(t);
    });
    worker.join();
}
} // namespace

namespace {
// A product of millions of terms takes its memory in a few large chunks, not in thousands of
// 64 KiB ones (each of those was faulted in 4 KiB page by page).
TEST(SeriesPools, ChunksGrowWithTheDemand)
{
    if (!kst_pooled) GTEST_SKIP() << "blocks are single allocations under the sanitizers";
    constexpr int kTerms = 400000;   // about 19 MiB of terms
    std::thread worker([&] {
        std::vector<t_polyterm*> made(kTerms);
        const long before = polypool_chunks();
        for (auto& t : made) t = polyterm_alloc();
        EXPECT_LE(polypool_chunks() - before, 12);
        for (t_polyterm* t : made) polyterm_free(t);
    });
    worker.join();
}

// Decimal digits (least significant first) times a small factor: a reference for GMP's values
// that shares nothing with GMP or its allocator.
void digits_mul(std::vector<int>& d, int f)
{
    int carry = 0;
    for (int& x : d) {
        const int v = x * f + carry;
        x = v % 10;
        carry = v / 10;
    }
    for (; carry; carry /= 10) d.push_back(carry % 10);
}
std::string digits_text(const std::vector<int>& d, bool neg)
{
    std::string s = neg ? "-" : "";
    for (auto it = d.rbegin(); it != d.rend(); ++it) s += static_cast<char>('0' + *it);
    return s;
}
std::string owned_text(char* s)
{
    std::string r(s);
    free(s);   // the kernel's number texts are plain malloc'd strings
    return r;
}

// Exact integers live in the session's small-block pool while they fit one or two words and move
// to malloc when they grow past it, and back when shrunk: values survive every move.
TEST(NumberPools, ExactIntegersGrowAndShrinkAcrossTheSmallBlocks)
{
    void* (*alloc)(size_t);
    mp_get_memory_functions(&alloc, nullptr, nullptr);
    ASSERT_EQ(alloc, &kst_gmp_alloc);
    constexpr int kPowers = 300;   // 3^300 takes eight words
    std::vector<std::string> ref;
    std::vector<int> d{1};
    __mpz_struct* z = intmp_new();
    mpz_set_si(z, -1);
    for (int k = 0; k <= kPowers; k++) {
        ref.push_back(digits_text(d, true));
        ASSERT_EQ(owned_text(kst_mpz_str(z)), ref.back()) << "-3^" << k;
        mpz_mul_ui(z, z, 3);
        digits_mul(d, 3);
    }
    for (int k = kPowers; k >= 0; k--) {
        mpz_divexact_ui(z, z, 3);
        mpz_realloc2(z, mpz_sizeinbase(z, 2));   // gives the words back: the block shrinks
        ASSERT_EQ(owned_text(kst_mpz_str(z)), ref[static_cast<size_t>(k)]) << "-3^" << k;
    }
    mpq_t q;
    mpq_init(q);
    mpq_set_si(q, -7, 3);
    EXPECT_EQ(owned_text(kst_mpq_str(q)), "-7/3");
    mpz_set(mpq_numref(q), z);
    mpz_mul(mpq_numref(q), mpq_numref(q), z);   // (-1)^2 over 3 * 2^130, a three-word denominator
    mpz_mul_2exp(mpq_denref(q), mpq_numref(q), 130);
    mpz_mul_ui(mpq_denref(q), mpq_denref(q), 3);
    EXPECT_EQ(owned_text(kst_mpq_str(q)), "1/4083388403051261561560495289181218537472");
    mpq_clear(q);
    intmp_free(z);
}

// Integers made in one step by the product kernels read and grow as any other: the extremes of a
// word, then a sum that needs a second word and a product that needs a third.
TEST(NumberPools, IntegersMadeInOneStepBehaveAsGmpOnes)
{
    const long values[] = {1, -1, 2, LONG_MAX, LONG_MIN, LONG_MIN + 1, 1234567890123L};
    for (long v : values) {
        coef c = intmp_fromword(v);
        ASSERT_EQ(c.type, BH_INTMP);
        auto* z = static_cast<__mpz_struct*>(c.p);
        EXPECT_EQ(mpz_cmp_si(z, v), 0) << v;
        std::vector<int> d;
        for (unsigned long m = v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v); m; m /= 10)
            d.push_back(static_cast<int>(m % 10));
        EXPECT_EQ(owned_text(kst_mpz_str(z)), digits_text(d, v < 0));
        mpz_add(z, z, z);
        mpz_mul(z, z, z);   // 4v^2: up to three words
        digits_mul(d, 2);
        std::vector<int> sq(2 * d.size() + 1, 0);   // (2v)^2 by schoolbook on the digits
        for (size_t i = 0; i < d.size(); i++)
            for (size_t j = 0; j < d.size(); j++) sq[i + j] += d[i] * d[j];
        for (size_t i = 0; i + 1 < sq.size(); i++) {
            sq[i + 1] += sq[i] / 10;
            sq[i] %= 10;
        }
        while (sq.size() > 1 && sq.back() == 0) sq.pop_back();
        EXPECT_EQ(owned_text(kst_mpz_str(z)), digits_text(sq, false)) << v;
        deletecoef(&c);
    }
    EXPECT_EQ(intmp_fromword(0).type, BH_ZERO);
}

// Integer boxes made by one thread (a product's task) and freed by another (the main thread)
// are used again: repeating it does not keep taking memory.
TEST(NumberPools, BoxesFreedByAnotherThreadAreReused)
{
    if (!kst_pooled) GTEST_SKIP() << "blocks are single allocations under the sanitizers";
    constexpr int kBoxes = 60000;
    std::vector<__mpz_struct*> made(kBoxes);
    long before = 0;
    for (int round = 0; round < 20; round++) {
        std::thread worker([&] {
            for (int i = 0; i < kBoxes; i++) {
                made[static_cast<size_t>(i)] = intmp_new();
                mpz_set_si(made[static_cast<size_t>(i)], i - kBoxes / 2);
            }
        });
        worker.join();
        for (int i = 0; i < kBoxes; i++) {
            ASSERT_EQ(mpz_get_si(made[static_cast<size_t>(i)]), i - kBoxes / 2);
            intmp_free(made[static_cast<size_t>(i)]);
        }
        if (round == 1) before = kst_gmp_smallchunks();
    }
    EXPECT_LE(kst_gmp_smallchunks() - before, 2);
}
} // namespace
