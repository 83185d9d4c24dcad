// Johnson's heap product for sparse operands in a large box: inside a chunk, each term a_i of a
// pair of groups opens a row a_i*B in ascending index order, and a binary heap of the rows'
// next indices hands out the pairs in the order of the result's terms, so equal monomials meet
// one after the other and are summed in a register. Memory: the heap (one entry per row) and
// the terms made, whatever the size of the box.
#include "series/kernels/chunks.h"

namespace kern {

namespace {

struct t_heapentry {
    uint64_t key;
    uint32_t row;
};
struct t_row {
    uint32_t i, j, jend, pair;
};

inline bool later(const t_heapentry& x, const t_heapentry& y) { return x.key != y.key ? x.key > y.key : x.row > y.row; }

template <class R>
struct t_johnsonchunk {
    using in_t = typename R::in_t;
    using acc_t = typename R::acc_t;

    coef operator()(const t_split<in_t>& s, const t_pair* first, const t_pair* last, t_cctx*) const
    {
        const t_product& p = *s.p;
        const int G = s.G;
        static thread_local std::vector<t_heapentry> heap;
        static thread_local std::vector<t_row> rows;
        static thread_local std::vector<int32_t> rems;
        static thread_local std::vector<uint64_t> keys;
        static thread_local std::vector<coef> items;
        heap.clear();
        rows.clear();
        rems.clear();
        keys.clear();
        items.clear();
        const uint64_t* ika = s.A.ikey.data();
        const uint64_t* ikb = s.B.ikey.data();
        const in_t* ca = s.A.c.data();
        const in_t* cb = s.B.c.data();
        const int32_t* tda = s.A.td.data();
        const int32_t* tdb = s.B.td.data();
        for (const t_pair* q = first; q != last; q++) {
            const auto& ga = s.A.groups[q->ga];
            const auto& gb = s.B.groups[q->gb];
            const uint32_t pi = static_cast<uint32_t>(q - first);
            for (int g = 0; g < G; g++)
                rems.push_back(p.level[static_cast<size_t>(g)] - s.A.og[q->ga * static_cast<size_t>(G) + static_cast<size_t>(g)] -
                               s.B.og[q->gb * static_cast<size_t>(G) + static_cast<size_t>(g)]);
            for (uint32_t i = ga.begin; i < ga.end; i++) {
                heap.push_back({ika[i] + ikb[gb.begin], static_cast<uint32_t>(rows.size())});
                rows.push_back({i, gb.begin, gb.end, pi});
            }
        }
        auto cmp = [](const t_heapentry& x, const t_heapentry& y) { return later(x, y); };
        std::make_heap(heap.begin(), heap.end(), cmp);
        const uint32_t inner = s.innergroups;
        acc_t acc{};
        uint64_t cur = 0;
        bool open = false;
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), cmp);
            const t_heapentry top = heap.back();
            heap.pop_back();
            if (!open || top.key != cur) {
                if (open && R::nonzero(acc)) {
                    keys.push_back(cur);
                    items.push_back(R::take(acc, p.leaf));
                }
                acc = acc_t{};
                cur = top.key;
                open = true;
            }
            t_row& r = rows[top.row];
            bool ok = true;
            for (uint32_t m = inner; m && ok; m &= m - 1) {
                const int g = __builtin_ctz(m);
                ok = tda[r.i * static_cast<size_t>(G) + static_cast<size_t>(g)] + tdb[r.j * static_cast<size_t>(G) + static_cast<size_t>(g)] <=
                     rems[r.pair * static_cast<size_t>(G) + static_cast<size_t>(g)];
            }
            if (ok) R::fma(acc, ca[r.i], cb[r.j]);
            if (++r.j < r.jend) {
                heap.push_back({ika[r.i] + ikb[r.j], top.row});
                std::push_heap(heap.begin(), heap.end(), cmp);
            }
        }
        if (open && R::nonzero(acc)) {
            keys.push_back(cur);
            items.push_back(R::take(acc, p.leaf));
        }
        if (items.empty()) return coef{};
        return kern_buildkeys(p, s.K, p.nv, keys.data(), items.data(), 0, items.size(), s.istride.data());
    }
};

} // namespace

bool kern_mul_johnson(t_product& p, int ring, int K, coef* out)
{
    kern_chunked_ring<t_johnsonchunk>(p, ring, K, false, out);
    return true;
}

} // namespace kern
