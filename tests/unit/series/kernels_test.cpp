// Product kernels: every algorithm, forced, against the recursive path on random operands of
// every shape, in the exact modes (bit for bit) and in doubles (to rounding), without and under
// truncations of each complexity, with one and two threads; the number rings at their limits;
// the dispatcher's own choices.
#include "seriestest.h"

#include <cmath>

#include "coef/coefnum.h"
#include "interp/kest.h"
#include "series/kernels/chunks.h"
#include "series/kernels/mul.h"
#include "series/tronc.h"

namespace {

struct t_choice_restore {
    ~t_choice_restore()
    {
        kst_kernel_setchoice(KERNEL_AUTO);
        Mkest("_cpu = 1$", nullptr);
    }
};

// A number of the context's mode: small integers, or fractions in doubles.
coef number(std::mt19937& rng, bool fractional)
{
    std::uniform_int_distribution<int> cf(-9, 9);
    int v = cf(rng);
    if (v == 0) v = 1;
    if (fractional) return coef_fromdbl(v / 7.0 + 1e-3 * cf(rng));
    return coef_creenum_init(testctx(), v);
}

// c * x^dx * y^dy * z^dz, built as a tree (negative degrees too).
coef monomial(coef c, const int d[3])
{
    for (int v = 2; v >= 0; v--)
        if (d[v]) c = poly_monomial(var(v), c, d[v]);
    return c;
}

struct t_shape {
    const char* name;
    int vars;        // x only, or x, y, z
    int terms;
    int lo, hi;      // degrees drawn in [lo, hi]; z only goes below 0
};
const t_shape kShapes[] = {
    {"univariate dense", 1, 40, 0, 30},
    {"univariate sparse", 1, 25, 0, 4000},
    {"trivariate dense", 3, 60, 0, 4},
    {"trivariate sparse", 3, 40, 0, 300},
    {"negative z", 3, 50, -3, 4},
};

coef randomshape(std::mt19937& rng, const t_shape& sh, bool fractional)
{
    t_cctx* ctx = testctx();
    std::uniform_int_distribution<int> deg(sh.lo, sh.hi);
    coef s{};
    for (int k = 0; k < sh.terms; k++) {
        int d[3] = {0, 0, 0};
        for (int v = 0; v < sh.vars; v++) d[v] = std::max(v == 2 ? sh.lo : 0, deg(rng));
        coef m = monomial(number(rng, fractional), d);
        s = serie_add(ctx, &s, 0, &m, 0);
    }
    return s;
}

t_tronc groups(std::initializer_list<std::pair<std::vector<int>, int>> wanted)
{
    t_tronc t;
    for (const auto& [vars, level] : wanted) {
        troncature g;
        for (int v : vars) g.variables.push_back(var(v));
        g.level = level;
        t.groups.push_back(g);
    }
    return t;
}

// Same tree, leaves within a relative 1e-12 of each other (doubles summed in another order).
bool near(const coef* a, const coef* b)
{
    if (coef_ispoly(a) != coef_ispoly(b)) return false;
    if (!coef_ispoly(a)) {
        if (a->type != b->type) return false;
        if (a->type != BH_DBL) return serie_equal(a, b);
        return std::fabs(a->d - b->d) <= 1e-12 * std::max({1.0, std::fabs(a->d), std::fabs(b->d)});
    }
    const t_polynode* na = coef_poly(a);
    const t_polynode* nb = coef_poly(b);
    if (na->var != nb->var) return false;
    const t_polyterm* ta = na->first;
    const t_polyterm* tb = nb->first;
    for (; ta && tb; ta = ta->next, tb = tb->next)
        if (ta->deg != tb->deg || !near(&ta->c, &tb->c)) return false;
    return !ta && !tb;
}

coef product(coef* a, coef* b, const t_troncwork* w, e_kernelchoice c)
{
    kst_kernel_setchoice(c);
    coef r = w ? serie_multr(testctx(), a, 1, b, 1, w) : serie_mul(testctx(), a, 1, b, 1);
    return r;
}

// A truncation applies to the kernels unless it names a variable of negative degree.
bool kernelruns(const t_shape& sh, const t_tronc* t, e_kernelchoice c)
{
    (void)c;   // a dense product forced on several variables moves on to an array: same rule
    if (!t || sh.lo >= 0) return true;
    for (const troncature& g : t->groups)
        for (const t_variable* v : g.variables)
            if (v == var(2)) return false;
    return true;
}

void compare_everything(int mode, bool fractional)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, mode);
    const t_tronc cases[] = {groups({{{0, 1}, 5}}), groups({{{0}, 3}, {{2}, 2}}), groups({{{0, 1}, 4}, {{1, 2}, 3}}),
                             groups({{{0}, 2500}})};
    const e_kernelchoice algos[] = {KERNEL_DENSE, KERNEL_ARRAY, KERNEL_JOHNSON};
    std::mt19937 rng(77 + mode);
    for (int cpu : {1, 2}) {
        Mkest(cpu == 1 ? "_cpu = 1$" : "_cpu = 2$", nullptr);
        for (const t_shape& sh : kShapes) {
            for (int round = 0; round < 3; round++) {
                // The third round squares: both operands are one tree, flattened and sorted once.
                coef a = randomshape(rng, sh, fractional), b = round < 2 ? randomshape(rng, sh, fractional) : coef{};
                coef* rhs = round < 2 ? &b : &a;
                for (int tc = -1; tc < static_cast<int>(std::size(cases)); tc++) {
                    const t_tronc* t = tc < 0 ? nullptr : &cases[tc];
                    t_troncwork w;
                    if (t) w.init(*t);
                    coef ref = product(&a, rhs, t ? &w : nullptr, KERNEL_NONE);
                    for (e_kernelchoice c : algos) {
                        coef got = product(&a, rhs, t ? &w : nullptr, c);
                        const bool runs = kernelruns(sh, t, c);
                        const e_kernelchoice used = kst_kernel_lastused();
                        const char* what = sh.name;
                        EXPECT_EQ(used != KERNEL_NONE, runs) << what << " truncation " << tc << " algo " << c;
                        if (runs && (c != KERNEL_DENSE || sh.vars == 1)) {
                            EXPECT_EQ(used, c) << what << " truncation " << tc;
                        }
                        if (fractional) EXPECT_TRUE(near(&got, &ref)) << what << " truncation " << tc << " algo " << c << " cpu " << cpu;
                        else
                            EXPECT_TRUE(serie_equal(&got, &ref))
                                << what << " truncation " << tc << " algo " << c << " cpu " << cpu << ": " << text(got) << " vs " << text(ref);
                        EXPECT_TRUE(serie_isnormal(ctx, &got)) << what;
                        deletecoef(&got);
                    }
                    deletecoef(&ref);
                }
                deletecoef(&a);
                deletecoef(&b);
            }
        }
    }
}

TEST(KernelProducts, EveryAlgorithmEqualsTheRecursivePath_exact_gmp_integers) { compare_everything(NUMRATMP, false); }
TEST(KernelProducts, EveryAlgorithmEqualsTheRecursivePath_exact_64bit_rationals) { compare_everything(NUMRAT, false); }
TEST(KernelProducts, EveryAlgorithmEqualsTheRecursivePath_doubles_to_rounding) { compare_everything(NUMDBL, true); }

coef bigint(const char* digits)
{
    __mpz_struct* z = intmp_new();
    mpz_set_str(z, digits, 10);
    return intmp_wrap(z);
}

// (c0 + c1 x + ... ) with every coefficient the given one: each result coefficient is a sum of
// up to n products of two of them.
coef flat(int n, const coef& c)
{
    coef s{};
    for (int k = 0; k < n; k++) {
        const int d[3] = {k, k % 3, 0};
        coef m = monomial(copycoef(&c), d);
        s = serie_add(testctx(), &s, 0, &m, 0);
    }
    return s;
}

TEST(KernelRings, WideSumsAreExactAndWiderNumbersKeepTheRecursivePath)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, NUMRATMP);
    struct {
        const char* value;
        bool kernel;
    } cases[] = {
        {"4611686018427387903", true},                  // 2^62 - 1: products of 124 bits, sums past 2^127
        {"-9223372036854775807", true},                 // -(2^63 - 1), the widest word
        {"1267650600228229401496703205376", false},     // 2^100 fits no word
    };
    for (const auto& cs : cases) {
        coef c = bigint(cs.value);
        coef a = flat(40, c), b = flat(40, c);
        coef ref = product(&a, &b, nullptr, KERNEL_NONE);
        for (e_kernelchoice k : {KERNEL_ARRAY, KERNEL_JOHNSON}) {
            coef got = product(&a, &b, nullptr, k);
            EXPECT_EQ(kst_kernel_lastused() != KERNEL_NONE, cs.kernel) << cs.value;
            EXPECT_TRUE(serie_equal(&got, &ref)) << cs.value << ": " << text(got) << " vs " << text(ref);
            deletecoef(&got);
        }
        for (coef* k : {&c, &a, &b, &ref}) deletecoef(k);
    }
    // 64-bit rationals: a result that could leave the word keeps the recursive path, which
    // turns it into a double as the type does.
    modenum_set(ctx, NUMRAT);
    for (int shift : {20, 40}) {
        coef c = coef_creenum_init(ctx, 1);
        coef two = coef_creenum_init(ctx, 2);
        for (int k = 0; k < shift; k++) c = coef_vt(&c).mulnotr[coef_tag(&two)](ctx, &c, 0, &two, 1, 0);
        coef a = flat(30, c), b = flat(30, c);
        coef ref = product(&a, &b, nullptr, KERNEL_NONE);
        coef got = product(&a, &b, nullptr, KERNEL_ARRAY);
        EXPECT_EQ(kst_kernel_lastused() != KERNEL_NONE, shift == 20);
        EXPECT_TRUE(serie_equal(&got, &ref)) << shift;
        for (coef* k : {&c, &two, &a, &b, &ref, &got}) deletecoef(k);
    }
}

// The middle coefficient of (c + c x + ... + c x^63)^2 is 64 c^2, the very bound the ring is
// chosen by: one-word sums up to 2^62 exactly, wider ones on either side of 2^63, every algorithm.
TEST(KernelRings, OneWordSumsReachTheirBoundExactly)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, NUMRATMP);
    const long values[] = {268435456, -268435456, 268435457, 379625062, 379625063, 3};   // 64 c^2: 2^62, past it, 2^63 on both sides
    for (long v : values) {
        coef c = intmp_fromword(v);
        coef a{};
        for (int k = 0; k < 64; k++) {
            const int d[3] = {k, 0, 0};
            coef m = monomial(copycoef(&c), d);
            a = serie_add(ctx, &a, 0, &m, 0);
        }
        coef ref = product(&a, &a, nullptr, KERNEL_NONE);
        ASSERT_EQ(serie_size(&ref), 127);
        for (e_kernelchoice k : {KERNEL_DENSE, KERNEL_ARRAY, KERNEL_JOHNSON}) {
            coef got = product(&a, &a, nullptr, k);
            EXPECT_EQ(kst_kernel_lastused(), k) << v;
            EXPECT_TRUE(serie_equal(&got, &ref)) << v << ": " << text(got);
            deletecoef(&got);
        }
        for (coef* k : {&c, &a, &ref}) deletecoef(k);
    }
}

TEST(KernelDispatch, DenseForFullOneVariableOperandsArrayForSmallBoxesHeapForSparseOnes)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, NUMRATMP);
    std::mt19937 rng(5);
    struct {
        t_shape shape;
        e_kernelchoice expect;
    } cases[] = {
        {{"dense in x", 1, 200, 0, 60}, KERNEL_DENSE},
        {{"small box", 3, 200, 0, 6}, KERNEL_ARRAY},
        {{"sparse box", 3, 60, 0, 100000}, KERNEL_JOHNSON},
    };
    for (const auto& cs : cases) {
        coef a = randomshape(rng, cs.shape, false), b = randomshape(rng, cs.shape, false);
        coef ref = product(&a, &b, nullptr, KERNEL_NONE);
        coef got = product(&a, &b, nullptr, KERNEL_AUTO);
        EXPECT_EQ(kst_kernel_lastused(), cs.expect) << cs.shape.name;
        EXPECT_TRUE(serie_equal(&got, &ref)) << cs.shape.name;
        for (coef* k : {&a, &b, &ref, &got}) deletecoef(k);
    }
    // Mixed leaves (a double among integers) are not one ring: the recursive path.
    coef a = randomshape(rng, cases[1].shape, false);
    coef b = randomshape(rng, cases[1].shape, false);
    coef half = coef_fromdbl(0.5);
    coef m = poly_monomial(var(0), half, 1);
    b = serie_add(ctx, &b, 0, &m, 0);
    coef got = product(&a, &b, nullptr, KERNEL_AUTO);
    EXPECT_EQ(kst_kernel_lastused(), KERNEL_NONE);
    for (coef* k : {&a, &b, &got}) deletecoef(k);
}

TEST(KernelProducts, MonomialTruncationOfAKernelProductEqualsTheRecursiveOne)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, NUMRATMP);
    std::mt19937 rng(9);
    const t_tronc mon = groups({{{1}, 3}});
    for (e_kernelchoice c : {KERNEL_ARRAY, KERNEL_JOHNSON}) {
        coef a = randomshape(rng, kShapes[2], false), b = randomshape(rng, kShapes[2], false);
        coef ref = product(&a, &b, nullptr, KERNEL_NONE);
        coef got = product(&a, &b, nullptr, c);
        ASSERT_EQ(kst_kernel_lastused(), c);
        coef mref = serie_trmon(ctx, &ref, 0, mon);
        coef mgot = serie_trmon(ctx, &got, 0, mon);
        EXPECT_TRUE(serie_equal(&mgot, &mref)) << text(mgot) << " vs " << text(mref);
        for (coef* k : {&a, &b, &mref, &mgot}) deletecoef(k);
    }
}

} // namespace

namespace {

// Operands in different variables: every term of the product is one pair, and the variable of
// the root comes from the operand of smaller rank.
TEST(KernelProducts, OperandsInDisjointVariablesMakeTheTreeOfBoth)
{
    t_choice_restore restore;
    t_cctx* ctx = testctx();
    modenum_set(ctx, NUMRATMP);
    std::mt19937 rng(13);
    const t_shape onlyx = {"x", 1, 20, 0, 9};
    for (e_kernelchoice c : {KERNEL_ARRAY, KERNEL_JOHNSON}) {
        coef a = randomshape(rng, onlyx, false);
        coef b{};
        for (int k = 0; k < 20; k++) {
            const int d[3] = {0, k % 5, k / 5};   // y and z only, degree 0 included
            coef m = monomial(number(rng, false), d);
            b = serie_add(ctx, &b, 0, &m, 0);
        }
        for (int order = 0; order < 2; order++) {
            coef* l = order ? &b : &a;
            coef* r = order ? &a : &b;
            coef ref = product(l, r, nullptr, KERNEL_NONE);
            coef got = product(l, r, nullptr, c);
            EXPECT_EQ(kst_kernel_lastused(), c);
            EXPECT_EQ(serie_size(&got), serie_size(&a) * serie_size(&b));
            EXPECT_TRUE(serie_equal(&got, &ref)) << text(got) << " vs " << text(ref);
            EXPECT_TRUE(serie_isnormal(ctx, &got));
            for (coef* k : {&ref, &got}) deletecoef(k);
        }
        for (coef* k : {&a, &b}) deletecoef(k);
    }
}

} // namespace

// A product that starts on a thread while the thread's own set-up lists are in use (a task taken
// up while it waits inside a product) must not write over them; once they are free again the next
// product takes them back (their capacity kept from one product to the next).
struct t_probescratch {
    std::vector<int> v;
    void trim() {}
};
TEST(KernelScratch, ANestedProductGetsListsOfItsOwnAndTheThreadsComeBack)
{
    int* outer = nullptr;
    {
        kern::t_threadscratch<t_probescratch> a;
        a.get().v.assign(1000, 7);
        outer = a.get().v.data();
        {
            kern::t_threadscratch<t_probescratch> nested;
            EXPECT_TRUE(nested.get().v.empty());
            nested.get().v.assign(1000, 9);
        }
        EXPECT_EQ(a.get().v[999], 7);
    }
    kern::t_threadscratch<t_probescratch> again;
    EXPECT_EQ(again.get().v.data(), outer);
    EXPECT_EQ(again.get().v.size(), 1000u);
}
