// The split by output ranges shared by mul_array and mul_johnson: the first K variables form
// the outer key of a chunk, the others a Kronecker index inside it. Each operand is sorted into
// groups of one outer key; every pair of groups whose keys add up to a chunk's key feeds that
// chunk, and one task makes the whole subtree of one chunk, so no two tasks write one result.
// The truncation prunes whole pairs of groups on their outer degrees and least inner degrees
// before any term is looked at.
#pragma once
#include <algorithm>
#include <memory>
#include <numeric>
#include <type_traits>

#include "interp/taskloop.h"
#include "series/kernels/kernels.h"

namespace kern {

// A list of trivial T whose growth leaves the new elements unwritten (the parts of a set-up
// that fill it then take the first touch of its fresh pages), trimmed like the vectors.
template <class T>
struct t_rawlist {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
    std::unique_ptr<T[]> p;
    size_t cap = 0;
    T* data() const { return p.get(); }
    T& operator[](size_t k) const { return p[k]; }
    T* get(size_t n)
    {
        if (n > cap) {
            p.reset();
            p.reset(new T[n]);
            cap = n;
        }
        return p.get();
    }
    void trim()
    {
        if (cap * sizeof(T) > (size_t(16) << 20)) {
            p.reset();
            cap = 0;
        }
    }
};

// Scratch of type S kept by each thread from one product to the next (fresh pages for each
// product's lists cost more than filling them). A product that starts on a thread whose scratch
// is in use (a task the thread took up while it waits inside a product of its own) gets scratch
// of its own for its duration.
template <class S>
class t_threadscratch {
public:
    t_threadscratch()
    {
        static thread_local S s_mine;
        static thread_local bool s_busy = false;
        if (!s_busy) {
            s_busy = true;
            m_busy = &s_busy;
            m_s = &s_mine;
        }
    }
    ~t_threadscratch()
    {
        if (m_busy) {
            m_s->trim();
            *m_busy = false;
        }
    }
    t_threadscratch(const t_threadscratch&) = delete;
    t_threadscratch& operator=(const t_threadscratch&) = delete;
    S& get() { return *m_s; }

private:
    S m_own;
    S* m_s = &m_own;
    bool* m_busy = nullptr;
};

// One operand sorted by (outer key, order inside a group).
template <class in_t>
struct t_side {
    t_rawlist<uint64_t> ikey;     // Kronecker index over the inner variables
    t_rawlist<int32_t> td;        // n * G: degree in each group over the inner variables
    t_rawlist<in_t> c;
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

struct t_keyedpair {
    uint64_t key;
    uint32_t ga, gb;
};

// What one product's set-up writes besides its operands' sides.
struct t_chunkscratch {
    t_rawlist<uint32_t> at;      // per outer key: pairs before it
    t_rawlist<t_pair> pairs;     // by chunk
    t_rawlist<uint64_t> cost;    // per chunk: pairs of terms it holds
    t_rawlist<uint32_t> order;   // the chunks, costliest first
    t_rawlist<uint64_t> keys;    // per chunk: its outer key
    t_rawlist<t_polyterm*> made; // per chunk: its subtree as a term of the last outer variable
    std::vector<t_keyedpair> keyed;
    void trim()
    {
        at.trim();
        pairs.trim();
        cost.trim();
        order.trim();
        keys.trim();
        made.trim();
        kern_trimscratch(keyed);
    }
};

namespace detail {

template <class in_t>
struct t_sortscratch {
    t_rawlist<uint64_t> okey, ikey;
    t_rawlist<int32_t> og, td;
    t_rawlist<uint32_t> perm;
    void trim()
    {
        okey.trim();
        ikey.trim();
        og.trim();
        td.trim();
        perm.trim();
    }
};

// The side of operand f: terms by outer key, inside a group by degree in the primary group when
// `bydegree`, else by inner index. run(f) runs f(part) for each part in [0, parts): the terms, and
// then the groups, are shared out in ranges, each part writing only its own.
template <class in_t, class Run>
void sortside(const t_product& p, const t_flat& f, t_split<in_t>& s, t_side<in_t>& side, bool bydegree, int parts, Run&& run)
{
    const int nv = p.nv, K = s.K, G = s.G;
    const size_t n = f.n, uG = static_cast<size_t>(G), unv = static_cast<size_t>(nv);
    auto from = [parts](size_t count, int part) {
        return count / static_cast<size_t>(parts) * static_cast<size_t>(part) +
               std::min(static_cast<size_t>(part), count % static_cast<size_t>(parts));
    };
    t_threadscratch<t_sortscratch<in_t>> scratch;
    t_sortscratch<in_t>& ss = scratch.get();
    uint64_t* okey = ss.okey.get(n);
    uint64_t* ikey = ss.ikey.get(n);
    int32_t* og = ss.og.get(n * uG);
    int32_t* td = ss.td.get(n * uG);
    uint32_t* perm = ss.perm.get(n);
    run([&](int part) {
        for (size_t i = from(n, part); i < from(n, part + 1); i++) {
            uint64_t o = 0, in = 0;
            for (int g = 0; g < G; g++) og[i * uG + static_cast<size_t>(g)] = td[i * uG + static_cast<size_t>(g)] = 0;
            for (int v = 0; v < nv; v++) {
                const int32_t e = f.e[i * unv + static_cast<size_t>(v)];
                const uint64_t d = static_cast<uint64_t>(static_cast<int64_t>(e) - f.lo[static_cast<size_t>(v)]);
                if (v < K) o += d * s.ostride[static_cast<size_t>(v)];
                else in += d * s.istride[static_cast<size_t>(v)];
                for (uint32_t m = p.groupsof[static_cast<size_t>(v)]; m; m &= m - 1) {
                    const int g = __builtin_ctz(m);
                    (v < K ? og : td)[i * uG + static_cast<size_t>(g)] += e;
                }
            }
            okey[i] = o;
            ikey[i] = in;
            perm[i] = static_cast<uint32_t>(i);
        }
    });
    const int pr = s.primary;
    auto before = [&](uint32_t x, uint32_t y) {
        if (okey[x] != okey[y]) return okey[x] < okey[y];
        if (bydegree && pr >= 0) {
            const int32_t dx = td[x * uG + static_cast<size_t>(pr)];
            const int32_t dy = td[y * uG + static_cast<size_t>(pr)];
            if (dx != dy) return dx < dy;
        }
        return ikey[x] < ikey[y];
    };
    // A tree flattens in ascending order of its exponents, variable by variable in rank order,
    // which is the order of the outer key, and inside a group that of the inner index: the terms
    // usually need sorting only by degree inside each group, or not at all.
    const bool grouped = std::is_sorted(okey, okey + n);
    if (!grouped) std::sort(perm, perm + n, before);
    std::vector<uint32_t> gstart;
    for (size_t k = 0; k < n; k++)
        if (k == 0 || okey[perm[k]] != okey[perm[k - 1]]) gstart.push_back(static_cast<uint32_t>(k));
    const size_t ng = gstart.size();
    gstart.push_back(static_cast<uint32_t>(n));
    side.ikey.get(n);
    side.c.get(n);
    side.td.get(n * uG);
    side.groups.resize(ng);
    side.og.resize(ng * uG);
    side.mintd.assign(ng * uG, INT32_MAX);
    side.dlo.assign(ng * unv, INT32_MAX);
    side.dhi.assign(ng * unv, INT32_MIN);
    const in_t* cf = coefs_of_in<in_t>(f);
    run([&](int part) {
        for (size_t gi = from(ng, part); gi < from(ng, part + 1); gi++) {
            const uint32_t b = gstart[gi], e = gstart[gi + 1];
            if (grouped && !std::is_sorted(perm + b, perm + e, before)) std::sort(perm + b, perm + e, before);
            side.groups[gi] = {okey[perm[b]], b, e};
            for (int g = 0; g < G; g++) side.og[gi * uG + static_cast<size_t>(g)] = og[perm[b] * uG + static_cast<size_t>(g)];
            int32_t* lo = &side.dlo[gi * unv];
            int32_t* hi = &side.dhi[gi * unv];
            int32_t* md = side.mintd.data() + gi * uG;   // no groups of degree: empty
            for (uint32_t k = b; k < e; k++) {
                const uint32_t i = perm[k];
                side.ikey[k] = ikey[i];
                side.c[k] = cf[i];
                for (int g = 0; g < G; g++) {
                    const int32_t d = td[i * uG + static_cast<size_t>(g)];
                    side.td[k * uG + static_cast<size_t>(g)] = d;
                    md[g] = std::min(md[g], d);
                }
                for (int v = K; v < nv; v++) {
                    const int32_t d = f.e[i * unv + static_cast<size_t>(v)] - f.lo[static_cast<size_t>(v)];
                    lo[v] = std::min(lo[v], d);
                    hi[v] = std::max(hi[v], d);
                }
            }
        }
    });
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
    // The set-up's passes run in parts over the threads (each part writes its own range of every
    // list: the first touch of fresh pages, the largest cost of the set-up, is shared too).
    const int parts = kst_parallel_allowed(p.ctx) ? std::clamp(kst_get_gcpu(), 1, 64) : 1;
    auto inparts = [&](auto&& f) {
        if (parts == 1) f(0);
        else parallel_loop_for_fast3(p.ctx, 0, parts - 1, [&](int part, t_cctx*) { f(part); });
    };
    auto inone = [](auto&& f) { f(0); };
    if (p.square) {
        // A square (every power goes through them) sorts its operand once, in parts.
        detail::sortside(p, p.A, s, s.A, bydegree, parts, inparts);
    } else {
        // The two operands sort side by side: each sort writes only its own side.
        parallel_loop_for_fast3(p.ctx, 0, 1, [&](int k, t_cctx*) {
            if (k == 0) detail::sortside(p, p.A, s, s.A, bydegree, 1, inone);
            else detail::sortside(p, p.B, s, s.Bown, bydegree, 1, inone);
        });
    }
    if (kst_parallel_errorpending()) {   // a part may not have run: the statement fails anyway
        *out = coef{};
        return;
    }

    const int G = s.G;
    // The set-up's lists: a few megabytes written into fresh pages for every product cost as
    // much as filling them, before the threads start. The chunk tasks, on other threads, read
    // this thread's lists.
    t_threadscratch<t_chunkscratch> scratch;
    t_chunkscratch& sc = scratch.get();
    const size_t nga = s.A.groups.size(), ngb = s.B.groups.size();
    // Every pair of groups the truncation keeps whose chunk key is in [lo, hi), in (ga, gb)
    // order, given to f(key, ga, gb). B's groups come by ascending key: those of one ga that
    // fall in the range are found by bisection.
    auto eachpair = [&](uint64_t lo, uint64_t hi, auto&& f) {
        auto firstfrom = [&](uint64_t key) {
            return static_cast<uint32_t>(std::partition_point(s.B.groups.begin(), s.B.groups.end(),
                                                              [key](const auto& gr) { return gr.okey < key; }) -
                                         s.B.groups.begin());
        };
        for (uint32_t ga = 0; ga < nga; ga++) {
            const uint64_t ka = s.A.groups[ga].okey;
            if (ka >= hi) break;   // A's groups come by ascending key too
            const uint32_t gfirst = lo > ka ? firstfrom(lo - ka) : 0;
            const uint32_t glast = firstfrom(hi - ka);
            for (uint32_t gb = gfirst; gb < glast; gb++) {
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
    // the pairs of groups, each part of the threads taking one range of keys.
    std::vector<size_t> starts;
    t_pair* pairs;
    const double candidates = static_cast<double>(nga) * static_cast<double>(ngb);
    if (static_cast<double>(st) <= 4 * candidates + 1024) {
        uint32_t* at = sc.at.get(st + 1);
        auto keyfrom = [&](int part) { return st / static_cast<uint64_t>(parts) * static_cast<uint64_t>(part) +
                                              std::min<uint64_t>(static_cast<uint64_t>(part), st % static_cast<uint64_t>(parts)); };
        at[0] = 0;
        inparts([&](int part) {
            const uint64_t lo = keyfrom(part), hi = keyfrom(part + 1);
            std::fill(at + lo + 1, at + hi + 1, 0u);
            eachpair(lo, hi, [&](uint64_t key, uint32_t, uint32_t) { at[key + 1]++; });
        });
        if (kst_parallel_errorpending()) {
            *out = coef{};
            return;
        }
        size_t nchunks = 0;
        for (size_t k = 1; k <= st; k++) {
            nchunks += at[k] != 0;
            at[k] += at[k - 1];
        }
        pairs = sc.pairs.get(at[st]);
        starts.reserve(nchunks + 1);
        for (size_t k = 0; k < st; k++)
            if (at[k + 1] != at[k]) starts.push_back(at[k]);
        starts.push_back(at[st]);
        // Pass 2 writes the pairs: its parts take ranges of keys holding alike numbers of them.
        uint64_t split[65];
        split[0] = 0;
        split[parts] = st;
        for (int part = 1; part < parts; part++)
            split[part] = static_cast<uint64_t>(std::lower_bound(at, at + st, at[st] / static_cast<uint64_t>(parts) * static_cast<uint64_t>(part)) - at);
        inparts([&](int part) {
            eachpair(split[part], split[part + 1], [&](uint64_t key, uint32_t ga, uint32_t gb) { pairs[at[key]++] = {ga, gb}; });
        });
        if (kst_parallel_errorpending()) {
            *out = coef{};
            return;
        }
    } else {
        std::vector<t_keyedpair>& keyed = sc.keyed;
        keyed.clear();
        eachpair(0, UINT64_MAX, [&](uint64_t key, uint32_t ga, uint32_t gb) { keyed.push_back({key, ga, gb}); });
        std::sort(keyed.begin(), keyed.end(), [](const t_keyedpair& x, const t_keyedpair& y) {
            return x.key != y.key ? x.key < y.key : (x.ga != y.ga ? x.ga < y.ga : x.gb < y.gb);
        });
        pairs = sc.pairs.get(keyed.size());
        for (size_t k = 0; k < keyed.size(); k++) {
            pairs[k] = {keyed[k].ga, keyed[k].gb};
            if (k == 0 || keyed[k].key != keyed[k - 1].key) starts.push_back(k);
        }
        starts.push_back(keyed.size());
    }
    const size_t nchunks = starts.size() - 1;
    // The costliest chunks first (pairs of terms they hold): threads taking chunks one by one then
    // end together, where a large chunk taken last left the other thread idle. Past a few
    // thousand chunks, costs within a factor of two are alike for that purpose: the chunks are
    // placed by the bit length of their cost (a counting sort; the comparison sort of 21635
    // chunks was a few milliseconds of a 5.8 million-term product, all of it before the threads
    // start), where a few large chunks of unequal size (a Poisson product has 91) keep their
    // exact order.
    uint64_t* keys = sc.keys.get(nchunks);
    t_polyterm** made = sc.made.get(nchunks);
    uint64_t* cost = sc.cost.get(nchunks);
    auto chunkfrom = [&](int part) { return nchunks / static_cast<size_t>(parts) * static_cast<size_t>(part) +
                                            std::min(static_cast<size_t>(part), nchunks % static_cast<size_t>(parts)); };
    inparts([&](int part) {
        for (size_t k = chunkfrom(part); k < chunkfrom(part + 1); k++) {
            uint64_t c = 0;
            for (size_t q = starts[k]; q < starts[k + 1]; q++)
                c += static_cast<uint64_t>(s.A.groups[pairs[q].ga].end - s.A.groups[pairs[q].ga].begin) *
                     (s.B.groups[pairs[q].gb].end - s.B.groups[pairs[q].gb].begin);
            cost[k] = c;
            const t_pair& q = pairs[starts[k]];
            keys[k] = s.A.groups[q.ga].okey + s.B.groups[q.gb].okey;
            made[k] = nullptr;
        }
    });
    if (kst_parallel_errorpending()) {
        *out = coef{};
        return;
    }
    uint32_t* order = sc.order.get(nchunks);
    if (nchunks <= 4096) {
        std::iota(order, order + nchunks, 0u);
        std::stable_sort(order, order + nchunks, [cost](uint32_t x, uint32_t y) { return cost[x] > cost[y]; });
    } else {
        auto bits = [cost](size_t k) { return cost[k] ? 64 - __builtin_clzll(cost[k]) : 0; };   // 0..64
        size_t at[66] = {};   // by 64 - bits: the costliest first
        for (size_t k = 0; k < nchunks; k++) at[64 - bits(k) + 1]++;
        for (int b = 1; b < 66; b++) at[b] += at[b - 1];
        for (size_t k = 0; k < nchunks; k++) order[at[64 - bits(k)]++] = static_cast<uint32_t>(k);
    }
    // Each chunk's subtree comes back as the term of its key's last outer digit, made by the
    // thread that made the subtree: the levels left to the end are those above it.
    coef whole{};   // K = 0: one chunk, the whole product
    if (nchunks)
        parallel_loop_for_fast3(p.ctx, 0, static_cast<int>(nchunks) - 1, [&](int k, t_cctx* tctx) {
            if (kst_kctx(tctx).stoprequested()) return;
            const size_t uk = order[static_cast<size_t>(k)];
            coef c = chunk(s, pairs + starts[uk], pairs + starts[uk + 1], tctx);
            if (c.type == BH_ZERO) return;
            if (K == 0) {
                whole = c;
                return;
            }
            const size_t v = static_cast<size_t>(K - 1);
            t_polyterm* t = polyterm_alloc();
            t->c = c;
            t->deg = static_cast<int32_t>(keys[uk] / s.ostride[v] % static_cast<uint64_t>(p.range[v])) + p.offset[v];
            t->next = nullptr;
            made[uk] = t;
        });
    if (K == 0) {
        *out = whole;
    } else {
        size_t m = 0;
        for (size_t k = 0; k < nchunks; k++)
            if (made[k]) {
                keys[m] = keys[k];
                made[m++] = made[k];
            }
        *out = m ? kern_buildkeys(p, 0, K, keys, nullptr, 0, m, s.ostride.data(), made) : coef{};
    }
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
