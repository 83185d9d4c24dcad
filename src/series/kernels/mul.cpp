// The product dispatcher: flattens two series trees whose leaves are numbers of one kind into
// arrays, picks one algorithm and one number ring for the whole product, and hands back a tree.
//
// Cost model (P = pairs of terms, the work every algorithm shares; r_v = span of the result's
// exponents in variable v; the split K puts variables 0..K-1 in the outer key of a chunk and
// the others in a Kronecker index inside it):
//   - mul_dense: one variable and (span_a+1)(span_b+1) <= 2P: a convolution over the degree
//     ranges, each result coefficient a dot product in registers; zeros cost as much as terms,
//     hence the density test.
//   - mul_array: the smallest K whose inner box prod_{v>=K} r_v has at most 2^15 cells (an
//     accumulator array that stays in the L2 cache: 512 KiB at 16 bytes a cell), when scanning
//     it once per chunk costs at most 32P (a bound: the scan only covers the band of indices the
//     chunk's pairs can reach); a pair costs one multiply-add at a computed address.
//   - mul_johnson: otherwise (sparse operands in a large box): per chunk a heap merges the rows
//     a_i*B in index order, log(rows) per pair, memory only for the heap and the terms made.
// Products of fewer than 64 pairs stay on the recursive path, whose set-up is nothing.
//
// Number rings, from the worst-case size of a result coefficient, min(sum|a| max|b|,
// max|a| sum|b|): doubles as doubles; integers of one word with a one-word accumulator below
// 2^62 (no partial sum can pass it either), a 128-bit accumulator below 2^125, a three-word
// accumulator below 2^189; 64-bit rationals (integers only) while the bound stays below 2^62,
// so that no result overflows. Anything else (boxed integers wider than a
// word, fractions, other number types, mixed kinds) keeps the recursive path.
#include "series/kernels/mul.h"

#include "coef/coefnum.h"
#include "series/kernels/kernels.h"
#include "series/tronc.h"
#include "series/variable.h"
#include "interp/taskloop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

namespace kern {

namespace {

constexpr double kMinPairs = 64;
constexpr double kArrayCells = 1 << 15;
constexpr double kArrayCellsForced = 1 << 22;

std::atomic<int> s_choice{KERNEL_AUTO};
std::atomic<int> s_lastused{KERNEL_NONE};

// ---------------------------------------------------------------- flattening

struct t_scan {
    std::vector<t_variable*> vars;
    int leaf = -1;   // e_leaf once a leaf was seen
    size_t leaves = 0;
    bool ok = true;
};

int leafkind(const coef* c)
{
    switch (c->type) {
    case BH_DBL: return LEAF_DBL;
    case BH_INTMP: return mpz_fits_slong_p(static_cast<const __mpz_struct*>(c->p)) ? LEAF_INTMP : -1;
    case BH_RAT: return c->r.den == 1 ? LEAF_RAT : -1;
    default: return -1;
    }
}

void scan(const coef* c, t_scan& s)
{
    if (!s.ok) return;
    if (coef_ispoly(c)) {
        const t_polynode* n = coef_poly(c);
        if (std::find(s.vars.begin(), s.vars.end(), n->var) == s.vars.end()) s.vars.push_back(n->var);
        for (const t_polyterm* t = n->first; t && s.ok; t = t->next) scan(&t->c, s);
        return;
    }
    if (c->type == BH_ZERO) return;
    const int k = leafkind(c);
    if (k < 0 || (s.leaf >= 0 && k != s.leaf)) {
        s.ok = false;
        return;
    }
    s.leaf = k;
    s.leaves++;
}

void fill(const coef* c, const std::vector<int>& pos, int nv, std::vector<int32_t>& cur, t_flat& f)
{
    if (coef_ispoly(c)) {
        const t_polynode* n = coef_poly(c);
        const int p = pos[n->var->index];
        for (const t_polyterm* t = n->first; t; t = t->next) {
            cur[p] = t->deg;
            fill(&t->c, pos, nv, cur, f);
        }
        cur[p] = 0;
        return;
    }
    if (c->type == BH_ZERO) return;
    f.e.insert(f.e.end(), cur.begin(), cur.end());
    double mag;
    switch (c->type) {
    case BH_DBL:
        f.cd.push_back(c->d);
        mag = std::fabs(c->d);
        break;
    case BH_INTMP: {
        const long v = mpz_get_si(static_cast<const __mpz_struct*>(c->p));
        f.ci.push_back(v);
        mag = std::fabs(static_cast<double>(v));
        break;
    }
    default:
        f.ci.push_back(c->r.num);
        mag = std::fabs(static_cast<double>(c->r.num));
        break;
    }
    f.sumabs += mag;
    f.maxabs = std::max(f.maxabs, mag);
    f.n++;
    (void)nv;
}

void bounds(t_flat& f, int nv)
{
    f.lo.assign(static_cast<size_t>(nv), INT32_MAX);
    f.hi.assign(static_cast<size_t>(nv), INT32_MIN);
    for (size_t i = 0; i < f.n; i++)
        for (int v = 0; v < nv; v++) {
            const int32_t e = f.e[i * static_cast<size_t>(nv) + static_cast<size_t>(v)];
            f.lo[static_cast<size_t>(v)] = std::min(f.lo[static_cast<size_t>(v)], e);
            f.hi[static_cast<size_t>(v)] = std::max(f.hi[static_cast<size_t>(v)], e);
        }
}

// The groups of the truncation that name one of the product's variables, with the levels left
// on the stack. False when a truncated variable has a negative exponent: the recursive loops
// test the level after each variable, which a sum over the whole monomial does not reproduce.
bool truncation(t_product& p, const t_troncworkstack* st)
{
    p.groupsof.assign(static_cast<size_t>(p.nv), 0);
    if (!st) return true;
    const t_troncwork* w = st->work;
    std::vector<int> used;   // work group -> our group, -1 when none yet
    used.assign(w->levels.size(), -1);
    for (int v = 0; v < p.nv; v++) {
        const int f = w->flag(p.vars[static_cast<size_t>(v)]);
        if (f < 0) continue;
        std::vector<int> gs;
        if (w->complexity == etronccomplex_single) gs.push_back(0);
        else if (w->complexity == etronccomplex_nodep) gs.push_back(f);
        else
            for (int k = 1; k <= w->positions[static_cast<size_t>(f)]; k++) gs.push_back(w->positions[static_cast<size_t>(f + k)]);
        if (p.A.lo[static_cast<size_t>(v)] < 0 || p.B.lo[static_cast<size_t>(v)] < 0) return false;
        for (int g : gs) {
            if (used[static_cast<size_t>(g)] < 0) {
                if (p.ngroups == 32) return false;
                used[static_cast<size_t>(g)] = p.ngroups++;
                p.level.push_back(st->levels[static_cast<size_t>(g)]);
            }
            p.groupsof[static_cast<size_t>(v)] |= 1u << used[static_cast<size_t>(g)];
        }
    }
    return true;
}

// log2 of the largest |coefficient| the product can make.
double resultbits(const t_product& p)
{
    const double m = std::min(p.A.sumabs * p.B.maxabs, p.A.maxabs * p.B.sumabs);
    return m <= 1 ? 1 : std::log2(m);
}

} // namespace

// ---------------------------------------------------------------- result leaves

coef kern_intcoef(__int128 v, e_leaf leaf)
{
    if (v == 0) return coef{};
    if (leaf == LEAF_RAT) {
        coef c{};
        c.r.num = static_cast<int64_t>(v);
        c.r.den = 1;
        c.type = BH_RAT;
        return c;
    }
    if (v >= INT64_MIN && v <= INT64_MAX) return intmp_fromword(static_cast<long>(v));
    __mpz_struct* z = intmp_new();
    {
        const bool neg = v < 0;
        const unsigned __int128 m = neg ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
        const uint64_t w[2] = {static_cast<uint64_t>(m), static_cast<uint64_t>(m >> 64)};
        mpz_import(z, 2, -1, sizeof(uint64_t), 0, 0, w);
        if (neg) mpz_neg(z, z);
    }
    return intmp_wrap(z);
}

coef kern_int3coef(unsigned __int128 lo, int64_t hi)
{
    if (hi == 0 && lo <= static_cast<unsigned __int128>(INT64_MAX)) return kern_intcoef(static_cast<__int128>(lo), LEAF_INTMP);
    if (hi == -1 && static_cast<__int128>(lo) < 0) return kern_intcoef(static_cast<__int128>(lo), LEAF_INTMP);
    const bool neg = hi < 0;
    uint64_t w[3] = {static_cast<uint64_t>(lo), static_cast<uint64_t>(lo >> 64), static_cast<uint64_t>(hi)};
    if (neg) {   // two's complement of the three words
        unsigned carry = 1;
        for (uint64_t& x : w) {
            x = ~x + carry;
            carry = carry && x == 0;
        }
    }
    __mpz_struct* z = intmp_new();
    mpz_import(z, 3, -1, sizeof(uint64_t), 0, 0, w);
    if (neg) mpz_neg(z, z);
    return intmp_wrap(z);
}

coef kern_buildkeys(const t_product& p, int k, int kend, const uint64_t* keys, coef* cs, size_t first, size_t last,
                    const uint64_t* stride, t_polyterm* const* terms)
{
    if (k == kend) return cs[first];
    t_variable* v = p.vars[static_cast<size_t>(k)];
    t_nodebuilder nb;
    if (terms && k + 1 == kend) {
        for (size_t i = first; i < last; i++) nb.linkterm(v, terms[i]);
        return nb.finish();
    }
    const uint64_t s = stride[k], r = static_cast<uint64_t>(p.range[static_cast<size_t>(k)]);
    size_t i = first;
    while (i < last) {
        const uint64_t d = keys[i] / s % r;
        size_t j = i + 1;
        while (j < last && keys[j] / s % r == d) j++;
        coef child = kern_buildkeys(p, k + 1, kend, keys, cs, i, j, stride, terms);
        nb.add(v, static_cast<int32_t>(d) + p.offset[static_cast<size_t>(k)], child);
        i = j;
    }
    return nb.finish();
}

namespace {

bool run(t_cctx* ctx, const coef* a, const coef* b, const t_troncworkstack* st, coef* out, eBHTypeCoef* leaftag)
{
    const int choice = s_choice.load(std::memory_order_relaxed);
    s_lastused.store(KERNEL_NONE, std::memory_order_relaxed);
    if (choice == KERNEL_NONE) return false;
    if (!coef_ispoly(a) || !coef_ispoly(b)) return false;
    const bool square = coef_poly(a) == coef_poly(b);
    t_scan sa, sb;
    scan(a, sa);
    if (!sa.ok) return false;
    if (square) {
        sb = sa;
    } else {
        sb.vars = sa.vars;
        scan(b, sb);
    }
    if (!sb.ok || sa.leaf < 0 || sb.leaf < 0 || sa.leaf != sb.leaf) return false;
    if (choice == KERNEL_AUTO && static_cast<double>(sa.leaves) * static_cast<double>(sb.leaves) < kMinPairs) return false;

    t_product p;
    p.ctx = ctx;
    p.vars = sb.vars;
    std::sort(p.vars.begin(), p.vars.end(), [ctx](const t_variable* x, const t_variable* y) { return compareOrder(ctx, x, y) < 0; });
    p.nv = static_cast<int>(p.vars.size());
    p.leaf = static_cast<e_leaf>(sa.leaf);
    uint32_t maxindex = 0;
    for (const t_variable* v : p.vars) maxindex = std::max(maxindex, v->index);
    std::vector<int> pos(static_cast<size_t>(maxindex) + 1, -1);
    for (int v = 0; v < p.nv; v++) pos[p.vars[static_cast<size_t>(v)]->index] = v;
    const coef* operands[2] = {a, b};
    t_flat* flats[2] = {&p.A, &p.B};
    const size_t counts[2] = {sa.leaves, sb.leaves};
    p.square = square;
    auto flatten = [&](int k) {
        t_flat& f = *flats[k];
        std::vector<int32_t> cur(static_cast<size_t>(p.nv), 0);
        f.e.reserve(counts[k] * static_cast<size_t>(p.nv));
        if (p.leaf == LEAF_DBL) f.cd.reserve(counts[k]);
        else f.ci.reserve(counts[k]);
        fill(operands[k], pos, p.nv, cur, f);
        bounds(f, p.nv);
    };
    if (square) {
        flatten(0);
        // B's arrays stay empty: the kernels read A's (t_product::b()).
        p.B.n = p.A.n;
        p.B.lo = p.A.lo;
        p.B.hi = p.A.hi;
        p.B.sumabs = p.A.sumabs;
        p.B.maxabs = p.A.maxabs;
    } else {
        // Each operand into its own arrays, side by side.
        parallel_loop_for_fast3(ctx, 0, 1, [&](int k, t_cctx*) { flatten(k); });
    }
    if (!truncation(p, st)) return false;

    int ring;
    if (p.leaf == LEAF_DBL) {
        ring = RING_DBL;
    } else {
        const double bits = resultbits(p);
        if (bits <= 62) {
            ring = RING_I1;
        } else if (p.leaf == LEAF_RAT) {
            return false;
        } else if (bits <= 125) {
            ring = RING_I2;
        } else if (bits <= 189) {
            ring = RING_I3;
        } else {
            return false;
        }
    }

    double box = 1;
    p.range.resize(static_cast<size_t>(p.nv));
    p.offset.resize(static_cast<size_t>(p.nv));
    for (size_t v = 0; v < static_cast<size_t>(p.nv); v++) {
        p.range[v] = static_cast<int64_t>(p.A.hi[v]) - p.A.lo[v] + p.B.hi[v] - p.B.lo[v] + 1;
        p.offset[v] = p.A.lo[v] + p.B.lo[v];
        box *= static_cast<double>(p.range[v]);
    }
    if (box > 0x1p62) return false;   // no Kronecker index fits a word
    const double pairs = static_cast<double>(p.A.n) * static_cast<double>(p.B.n);

    int algo = choice;
    int K = 0;
    if (algo == KERNEL_AUTO || algo == KERNEL_DENSE) {
        const double dense = p.nv == 1 ? static_cast<double>(p.A.hi[0] - p.A.lo[0] + 1) * static_cast<double>(p.B.hi[0] - p.B.lo[0] + 1)
                                       : -1;
        if (dense >= 0 && (algo == KERNEL_DENSE || dense <= 2 * pairs)) algo = KERNEL_DENSE;
        else algo = KERNEL_AUTO;
    }
    if (algo != KERNEL_DENSE) {
        // The array's split: the fewest outer variables whose inner box fits the cache.
        const double cap = algo == KERNEL_ARRAY ? kArrayCellsForced : kArrayCells;
        double inner = box;
        K = 0;
        while (K < p.nv - 1 && inner > cap) inner /= static_cast<double>(p.range[static_cast<size_t>(K++)]);
        const double outer = box / inner;
        const bool fits = inner <= cap;
        if (algo == KERNEL_AUTO) algo = fits && inner * std::min(outer, pairs) <= 32 * pairs ? KERNEL_ARRAY : KERNEL_JOHNSON;
        if (algo == KERNEL_ARRAY && !fits) algo = KERNEL_JOHNSON;
        if (algo == KERNEL_JOHNSON) {
            // Enough chunks to share among threads, at least one variable inside each.
            double o = 1;
            K = 0;
            while (K < p.nv - 1 && o < 1024) o *= static_cast<double>(p.range[static_cast<size_t>(K++)]);
        }
    }
    bool done = false;
    switch (algo) {
    case KERNEL_DENSE: done = kern_mul_dense(p, ring, out); break;
    case KERNEL_ARRAY: done = kern_mul_array(p, ring, K, out); break;
    default: done = kern_mul_johnson(p, ring, K, out); break;
    }
    if (done) s_lastused.store(algo, std::memory_order_relaxed);
    if (done && leaftag) *leaftag = p.leaf == LEAF_DBL ? BH_DBL : p.leaf == LEAF_INTMP ? BH_INTMP : BH_RAT;
    return done;
}

} // namespace
} // namespace kern

bool kst_kernel_mul(t_cctx* ctx, const coef* a, const coef* b, const t_troncworkstack* st, coef* out,
                    eBHTypeCoef* leaftag)
{
    try {
        return kern::run(ctx, a, b, st, out, leaftag);
    } catch (const std::bad_alloc&) {
        // The arrays of a kernel did not fit: the recursive path needs no more than the result.
        return false;
    }
}

void kst_kernel_setchoice(e_kernelchoice c) { kern::s_choice.store(c, std::memory_order_relaxed); }
e_kernelchoice kst_kernel_lastused() { return static_cast<e_kernelchoice>(kern::s_lastused.load(std::memory_order_relaxed)); }
