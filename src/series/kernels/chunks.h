// The split by output ranges shared by mul_array and mul_johnson: the first K variables form
// the outer key of a chunk, the others a Kronecker index inside it. Each operand is sorted into
// groups of one outer key; every pair of groups whose keys add up to a chunk's key feeds that
// chunk, and one task makes the whole subtree of one chunk, so no two tasks write one result.
// The truncation prunes whole pairs of groups on their outer degrees and least inner degrees
// before any term is looked at.
#pragma once
#include <algorithm>
#include <numeric>

#include "interp/taskloop.h"
#include "series/kernels/kernels.h"

namespace kern {

// One operand sorted by (outer key, order inside a group).
template <class in_t>
struct t_side {
    std::vector<uint64_t> ikey;   // Kronecker index over the inner variables
    std::vector<int32_t> td;      // n * G: degree in each group over the inner variables
    std::vector<in_t> c;
    struct group {
        uint64_t okey;
        uint32_t begin, end;
    };
    std::vector<group> groups;
    std::vector<int32_t> og;      // per group * G: degree of the outer key in each group
    std::vector<int32_t> mintd;   // per group * G: least inner degree of its terms in each group
    std::vector<int32_t> dlo, dhi;  // per group * nv: span of each inner variable's index digit
};

// A pair of groups, one of each operand, feeding one chunk.
struct t_pair {
    uint32_t ga, gb;
};
struct t_keyedpair {
    uint64_t key;
    uint32_t ga, gb;
};

template <class in_t>
struct t_split {
    const t_product* p;
    int K, G;
    int primary = -1;         // the inner group the terms of a group are sorted by, -1: by index
    uint32_t innergroups = 0; // groups that name an inner variable
    std::vector<uint64_t> ostride, istride;   // by variable (outer ones, inner ones)
    t_side<in_t> A, Bown;
    const t_side<in_t>& B;   // A itself for a square: sorted once, not copied
    explicit t_split(bool square) : B(square ? A : Bown) {}
    t_split(const t_split&) = delete;
    t_split& operator=(const t_split&) = delete;
};

// Scratch lists kept by a thread between products, but not past 16 MiB: the lists of one
// exceptional product are not held for the rest of the session.
template <class T>
void kern_trimscratch(std::vector<T>& v)
{
    if (v.capacity() * sizeof(T) > (size_t(16) << 20)) std::vector<T>().swap(v);
}

namespace detail {

template <class in_t>
void sortside(const t_product& p, const t_flat& f, t_split<in_t>& s, t_side<in_t>& side, bool bydegree)
{
    const int nv = p.nv, K = s.K, G = s.G;
    const size_t n = f.n;
    // Scratch kept by the thread from one product to the next (fresh pages for each product's
    // lists cost more than filling them).
    static thread_local std::vector<uint64_t> s_okey, s_ikey;
    static thread_local std::vector<int32_t> s_og, s_td;
    static thread_local std::vector<uint32_t> s_perm;
    std::vector<uint64_t>& okey = s_okey;
    std::vector<uint64_t>& ikey = s_ikey;
    std::vector<int32_t>& og = s_og;
    std::vector<int32_t>& td = s_td;
    okey.resize(n);
    ikey.resize(n);
    og.assign(n * static_cast<size_t>(G), 0);
    td.assign(n * static_cast<size_t>(G), 0);
    for (size_t i = 0; i < n; i++) {
        uint64_t o = 0, in = 0;
        for (int v = 0; v < nv; v++) {
            const int32_t e = f.e[i * static_cast<size_t>(nv) + static_cast<size_t>(v)];
            const uint64_t d = static_cast<uint64_t>(static_cast<int64_t>(e) - f.lo[static_cast<size_t>(v)]);
            if (v < K) o += d * s.ostride[static_cast<size_t>(v)];
            else in += d * s.istride[static_cast<size_t>(v)];
            for (uint32_t m = p.groupsof[static_cast<size_t>(v)]; m; m &= m - 1) {
                const int g = __builtin_ctz(m);
                (v < K ? og : td)[i * static_cast<size_t>(G) + static_cast<size_t>(g)] += e;
            }
        }
        okey[i] = o;
        ikey[i] = in;
    }
    std::vector<uint32_t>& perm = s_perm;
    perm.resize(n);
    std::iota(perm.begin(), perm.end(), 0u);
    const int pr = s.primary;
    auto before = [&](uint32_t x, uint32_t y) {
        if (okey[x] != okey[y]) return okey[x] < okey[y];
        if (bydegree && pr >= 0) {
            const int32_t dx = td[x * static_cast<size_t>(G) + static_cast<size_t>(pr)];
            const int32_t dy = td[y * static_cast<size_t>(G) + static_cast<size_t>(pr)];
            if (dx != dy) return dx < dy;
        }
        return ikey[x] < ikey[y];
    };
    // A tree flattens in ascending order of its exponents, variable by variable in rank order,
    // which is the order of the outer key, and inside a group that of the inner index: the terms
    // usually need sorting only by degree inside each group, or not at all.
    if (std::is_sorted(okey.begin(), okey.end())) {
        for (size_t b = 0; b < n;) {
            size_t e = b + 1;
            while (e < n && okey[e] == okey[b]) e++;
            if (!std::is_sorted(perm.begin() + static_cast<std::ptrdiff_t>(b), perm.begin() + static_cast<std::ptrdiff_t>(e), before))
                std::sort(perm.begin() + static_cast<std::ptrdiff_t>(b), perm.begin() + static_cast<std::ptrdiff_t>(e), before);
            b = e;
        }
    } else {
        std::sort(perm.begin(), perm.end(), before);
    }
    const in_t* cf = coefs_of_in<in_t>(f);
    side.ikey.resize(n);
    side.c.resize(n);
    side.td.resize(n * static_cast<size_t>(G));
    for (size_t k = 0; k < n; k++) {
        const uint32_t i = perm[k];
        side.ikey[k] = ikey[i];
        side.c[k] = cf[i];
        for (int g = 0; g < G; g++) side.td[k * static_cast<size_t>(G) + static_cast<size_t>(g)] = td[i * static_cast<size_t>(G) + static_cast<size_t>(g)];
        if (k == 0 || okey[i] != side.groups.back().okey) {
            side.groups.push_back({okey[i], static_cast<uint32_t>(k), static_cast<uint32_t>(k)});
            for (int g = 0; g < G; g++) {
                side.og.push_back(og[i * static_cast<size_t>(G) + static_cast<size_t>(g)]);
                side.mintd.push_back(INT32_MAX);
            }
            side.dlo.insert(side.dlo.end(), static_cast<size_t>(nv), INT32_MAX);
            side.dhi.insert(side.dhi.end(), static_cast<size_t>(nv), INT32_MIN);
        }
        {
            int32_t* lo = &side.dlo[(side.groups.size() - 1) * static_cast<size_t>(nv)];
            int32_t* hi = &side.dhi[(side.groups.size() - 1) * static_cast<size_t>(nv)];
            for (int v = K; v < nv; v++) {
                const int32_t d = f.e[i * static_cast<size_t>(nv) + static_cast<size_t>(v)] - f.lo[static_cast<size_t>(v)];
                lo[v] = std::min(lo[v], d);
                hi[v] = std::max(hi[v], d);
            }
        }
        auto& gr = side.groups.back();
        gr.end = static_cast<uint32_t>(k + 1);
        int32_t* md = side.mintd.data() + (side.groups.size() - 1) * static_cast<size_t>(G);   // no groups of degree: empty
        for (int g = 0; g < G; g++) md[g] = std::min(md[g], td[i * static_cast<size_t>(G) + static_cast<size_t>(g)]);
    }
    kern_trimscratch(okey);
    kern_trimscratch(ikey);
    kern_trimscratch(og);
    kern_trimscratch(td);
    kern_trimscratch(perm);
}

} // namespace detail

// Builds the split of p at K (terms inside a group by degree in the primary group when
// `bydegree`, else by index), the list of pairs of groups sorted by chunk, and runs
// chunk(split, first pair, last pair, task context) -> coef (the chunk's subtree over the inner
// variables) on every chunk through the scheduler, then assembles the outer levels.
template <class in_t, class F>
void kern_chunked(const t_product& p, int K, bool bydegree, F&& chunk, coef* out)
{
    t_split<in_t> s(p.square);
    s.p = &p;
    s.K = K;
    s.G = p.ngroups;
    const int nv = p.nv;
    s.ostride.assign(static_cast<size_t>(nv), 0);
    s.istride.assign(static_cast<size_t>(nv), 0);
    uint64_t st = 1;
    for (int v = nv - 1; v >= K; v--) {
        s.istride[static_cast<size_t>(v)] = st;
        st *= static_cast<uint64_t>(p.range[static_cast<size_t>(v)]);
    }
    st = 1;
    for (int v = K - 1; v >= 0; v--) {
        s.ostride[static_cast<size_t>(v)] = st;
        st *= static_cast<uint64_t>(p.range[static_cast<size_t>(v)]);
    }
    // The primary group: the one naming the most inner variables.
    int best = 0;
    for (int g = 0; g < s.G; g++) {
        int count = 0;
        for (int v = K; v < nv; v++)
            if (p.groupsof[static_cast<size_t>(v)] & (1u << g)) count++;
        if (count) s.innergroups |= 1u << g;
        if (count > best) {
            best = count;
            s.primary = g;
        }
    }
    if (p.square) {
        detail::sortside(p, p.A, s, s.A, bydegree);   // a square (every power goes through them) sorts its operand once
    } else {
        // The two operands sort side by side: each sort writes only its own side.
        parallel_loop_for_fast3(p.ctx, 0, 1, [&](int k, t_cctx*) {
            if (k == 0) detail::sortside(p, p.A, s, s.A, bydegree);
            else detail::sortside(p, p.B, s, s.Bown, bydegree);
        });
    }

    const int G = s.G;
    // The pair lists live on between products of a thread: a few megabytes written into fresh
    // pages for every product cost as much as sorting them, before the threads start.
    // Named through references: the chunk tasks, on other threads, read this thread's lists.
    // A product this thread starts while it waits for the chunks of its own (a task it took up
    // meanwhile) keeps lists of its own.
    static thread_local std::vector<t_pair> s_pairs;
    static thread_local std::vector<t_keyedpair> s_keyed;
    static thread_local std::vector<uint32_t> s_at;
    static thread_local std::vector<uint32_t> s_order;
    static thread_local int s_running = 0;
    std::vector<t_pair> own_pairs;
    std::vector<t_keyedpair> own_keyed;
    std::vector<uint32_t> own_at;
    std::vector<uint32_t> own_order;
    const bool nested = s_running > 0;
    std::vector<t_pair>& pairs = nested ? own_pairs : s_pairs;
    std::vector<t_keyedpair>& keyed = nested ? own_keyed : s_keyed;
    std::vector<uint32_t>& at = nested ? own_at : s_at;
    std::vector<uint32_t>& order = nested ? own_order : s_order;
    struct t_running {
        int& n;
        explicit t_running(int& c) : n(c) { n++; }
        ~t_running() { n--; }
    } running(s_running);
    const size_t nga = s.A.groups.size(), ngb = s.B.groups.size();
    // Every pair of groups the truncation keeps, in (ga, gb) order, given to f(key, ga, gb).
    auto eachpair = [&](auto&& f) {
        for (uint32_t ga = 0; ga < nga; ga++) {
            const uint64_t ka = s.A.groups[ga].okey;
            if (G == 0) {
                for (uint32_t gb = 0; gb < ngb; gb++) f(ka + s.B.groups[gb].okey, ga, gb);
                continue;
            }
            for (uint32_t gb = 0; gb < ngb; gb++) {
                bool keep = true;
                for (int g = 0; g < G && keep; g++) {
                    const size_t ia = ga * static_cast<size_t>(G) + static_cast<size_t>(g);
                    const size_t ib = gb * static_cast<size_t>(G) + static_cast<size_t>(g);
                    keep = static_cast<int64_t>(s.A.og[ia]) + s.B.og[ib] + s.A.mintd[ia] + s.B.mintd[ib] <= p.level[static_cast<size_t>(g)];
                }
                if (keep) f(ka + s.B.groups[gb].okey, ga, gb);
            }
        }
    };
    // The pairs by chunk key, then (ga, gb): the order in which they are listed. While the outer
    // box is no larger than a few times the pairs, a counting sort places them in two passes over
    // the pairs of groups, without a list in listing order (that list and its sorted copy were
    // 6.6 megabytes of fresh pages for a product of 5.8 million terms, before the threads start).
    std::vector<size_t> starts;
    const double candidates = static_cast<double>(nga) * static_cast<double>(ngb);
    if (static_cast<double>(st) <= 4 * candidates + 1024) {
        at.assign(st + 1, 0);
        eachpair([&](uint64_t key, uint32_t, uint32_t) { at[key + 1]++; });
        size_t nchunks = 0;
        for (size_t k = 1; k <= st; k++) {
            nchunks += at[k] != 0;
            at[k] += at[k - 1];
        }
        pairs.resize(at[st]);
        starts.reserve(nchunks + 1);
        for (size_t k = 0; k < st; k++)
            if (at[k + 1] != at[k]) starts.push_back(at[k]);
        starts.push_back(at[st]);
        eachpair([&](uint64_t key, uint32_t ga, uint32_t gb) { pairs[at[key]++] = {ga, gb}; });
    } else {
        keyed.clear();
        eachpair([&](uint64_t key, uint32_t ga, uint32_t gb) { keyed.push_back({key, ga, gb}); });
        std::sort(keyed.begin(), keyed.end(), [](const t_keyedpair& x, const t_keyedpair& y) {
            return x.key != y.key ? x.key < y.key : (x.ga != y.ga ? x.ga < y.ga : x.gb < y.gb);
        });
        pairs.resize(keyed.size());
        for (size_t k = 0; k < keyed.size(); k++) {
            pairs[k] = {keyed[k].ga, keyed[k].gb};
            if (k == 0 || keyed[k].key != keyed[k - 1].key) starts.push_back(k);
        }
        starts.push_back(keyed.size());
        kern_trimscratch(keyed);
    }
    const size_t nchunks = starts.size() - 1;
    std::vector<coef> res(nchunks);
    // The costliest chunks first (pairs of terms they hold): threads taking chunks one by one then
    // end together, where a large chunk taken last left the other thread idle. Costs within a
    // factor of two are alike for that purpose: the chunks are placed by the bit length of their
    // cost (a counting sort; a comparison sort of the chunks was a few milliseconds of a 5.8
    // million-term product, all of it before the threads start).
    order.resize(nchunks);
    {
        uint32_t bucketstart[66] = {};
        auto bucket = [&](size_t k) {
            uint64_t cost = 0;
            for (size_t q = starts[k]; q < starts[k + 1]; q++)
                cost += static_cast<uint64_t>(s.A.groups[pairs[q].ga].end - s.A.groups[pairs[q].ga].begin) *
                        (s.B.groups[pairs[q].gb].end - s.B.groups[pairs[q].gb].begin);
            return cost ? 64 - __builtin_clzll(cost) : 0;   // 0..64
        };
        auto& sizes = order;   // the bucket of each chunk first, then the order
        for (size_t k = 0; k < nchunks; k++) {
            sizes[k] = static_cast<uint32_t>(bucket(k));
            bucketstart[64 - sizes[k] + 1]++;
        }
        for (int b = 1; b < 66; b++) bucketstart[b] += bucketstart[b - 1];
        static thread_local std::vector<uint32_t> s_tmp;
        std::vector<uint32_t> own_tmp;
        std::vector<uint32_t>& tmp = nested ? own_tmp : s_tmp;
        tmp.resize(nchunks);
        for (size_t k = 0; k < nchunks; k++) tmp[bucketstart[64 - sizes[k]]++] = static_cast<uint32_t>(k);
        order.swap(tmp);
        kern_trimscratch(tmp);
    }
    if (nchunks)
        parallel_loop_for_fast3(p.ctx, 0, static_cast<int>(nchunks) - 1, [&](int k, t_cctx* tctx) {
            if (kst_kctx(tctx).stoprequested()) return;
            const size_t uk = order[static_cast<size_t>(k)];
            res[uk] = chunk(s, &pairs[starts[uk]], &pairs[starts[uk + 1]], tctx);
        });
    kern_trimscratch(order);
    std::vector<uint64_t> keys(nchunks);
    size_t m = 0;
    for (size_t k = 0; k < nchunks; k++)
        if (res[k].type != BH_ZERO) {
            const t_pair& q = pairs[starts[k]];
            keys[m] = s.A.groups[q.ga].okey + s.B.groups[q.gb].okey;
            res[m++] = res[k];
        }
    *out = m ? kern_buildkeys(p, 0, K, keys.data(), res.data(), 0, m, s.ostride.data()) : coef{};
    kern_trimscratch(pairs);
    kern_trimscratch(at);
}

// kern_chunked with the chunk kernel of the product's number ring, chosen once per product.
template <template <class> class Chunk>
void kern_chunked_ring(const t_product& p, int ring, int K, bool bydegree, coef* out)
{
    switch (ring) {
    case RING_DBL: kern_chunked<typename t_ring_dbl::in_t>(p, K, bydegree, Chunk<t_ring_dbl>{}, out); break;
    case RING_I1: kern_chunked<typename t_ring_i1::in_t>(p, K, bydegree, Chunk<t_ring_i1>{}, out); break;
    case RING_I2: kern_chunked<typename t_ring_i2::in_t>(p, K, bydegree, Chunk<t_ring_i2>{}, out); break;
    default: kern_chunked<typename t_ring_i3::in_t>(p, K, bydegree, Chunk<t_ring_i3>{}, out); break;
    }
}

} // namespace kern
