// Kronecker-packed dense accumulation: inside a chunk every term's inner exponents are one index
// into an array of accumulators that stays in the cache, so a pair of terms costs one
// multiply-add at a computed address and no search. Under a truncation the terms of a group
// are sorted by their degree in the primary group: each row stops at the last term of the other
// operand that the level allows, so the pairs beyond it are never visited.
#include "series/kernels/chunks.h"

namespace kern {

namespace {

template <class R>
struct t_arraychunk {
    using in_t = typename R::in_t;
    using acc_t = typename R::acc_t;

    static std::vector<int32_t>& digitbox()
    {
        static thread_local std::vector<int32_t> box;
        return box;
    }
    static std::vector<acc_t>& buffer()
    {
        static thread_local std::vector<acc_t> buf;
        return buf;
    }

    // The subtree of the cells under `base` at variable k whose digits lie in [dlo, dhi] (the
    // box the chunk's pairs can reach); every cell it reads goes back to zero.
    static coef build(const t_split<in_t>& s, acc_t* acc, int k, uint64_t base, const int32_t* dlo, const int32_t* dhi)
    {
        const t_product& p = *s.p;
        const uint64_t stride = s.istride[static_cast<size_t>(k)];
        t_variable* v = p.vars[static_cast<size_t>(k)];
        const int32_t off = p.offset[static_cast<size_t>(k)];
        t_nodebuilder nb;
        if (k == p.nv - 1) {
            for (int32_t d = dlo[k]; d <= dhi[k]; d++) {
                acc_t& a = acc[base + static_cast<uint64_t>(d)];
                if (R::nonzero(a)) nb.add(v, d + off, R::take(a, p.leaf));
            }
            return nb.finish();
        }
        for (int32_t d = dlo[k]; d <= dhi[k]; d++) {
            coef child = build(s, acc, k + 1, base + static_cast<uint64_t>(d) * stride, dlo, dhi);
            if (child.type != BH_ZERO) nb.add(v, d + off, child);
        }
        return nb.finish();
    }

    coef operator()(const t_split<in_t>& s, const t_pair* first, const t_pair* last, t_cctx*) const
    {
        const t_product& p = *s.p;
        const int G = s.G, pr = s.primary;
        uint64_t box = 1;
        for (int v = s.K; v < p.nv; v++) box *= static_cast<uint64_t>(p.range[static_cast<size_t>(v)]);
        std::vector<acc_t>& buf = buffer();
        if (buf.size() < box) buf.assign(box, acc_t{});
        acc_t* acc = buf.data();
        const uint32_t secondary = pr >= 0 ? s.innergroups & ~(1u << pr) : 0;
        int32_t rem[32];
        std::vector<int32_t>& dbox = digitbox();
        dbox.assign(2 * static_cast<size_t>(p.nv), 0);
        int32_t* dlo = dbox.data();
        int32_t* dhi = dlo + p.nv;
        for (int v = s.K; v < p.nv; v++) {
            dlo[v] = INT32_MAX;
            dhi[v] = INT32_MIN;
        }
        const uint64_t* ika = s.A.ikey.data();
        const uint64_t* ikb = s.B.ikey.data();
        const in_t* ca = s.A.c.data();
        const in_t* cb = s.B.c.data();
        for (const t_pair* q = first; q != last; q++) {
            const auto& ga = s.A.groups[q->ga];
            const auto& gb = s.B.groups[q->gb];
            const size_t oa = q->ga * static_cast<size_t>(p.nv), ob = q->gb * static_cast<size_t>(p.nv);
            for (int v = s.K; v < p.nv; v++) {
                dlo[v] = std::min(dlo[v], s.A.dlo[oa + static_cast<size_t>(v)] + s.B.dlo[ob + static_cast<size_t>(v)]);
                dhi[v] = std::max(dhi[v], s.A.dhi[oa + static_cast<size_t>(v)] + s.B.dhi[ob + static_cast<size_t>(v)]);
            }
            if (pr < 0) {
                // Four rows, then two, at a time: each index and number of B is loaded once for all.
                uint32_t i = ga.begin;
                for (; i + 3 < ga.end; i += 4) {
                    const in_t x0 = ca[i], x1 = ca[i + 1], x2 = ca[i + 2], x3 = ca[i + 3];
                    acc_t* row0 = acc + ika[i];
                    acc_t* row1 = acc + ika[i + 1];
                    acc_t* row2 = acc + ika[i + 2];
                    acc_t* row3 = acc + ika[i + 3];
                    for (uint32_t j = gb.begin; j < gb.end; j++) {
                        const uint64_t k = ikb[j];
                        const in_t y = cb[j];
                        R::fma(row0[k], x0, y);
                        R::fma(row1[k], x1, y);
                        R::fma(row2[k], x2, y);
                        R::fma(row3[k], x3, y);
                    }
                }
                for (; i + 1 < ga.end; i += 2) {
                    const in_t x0 = ca[i], x1 = ca[i + 1];
                    acc_t* row0 = acc + ika[i];
                    acc_t* row1 = acc + ika[i + 1];
                    for (uint32_t j = gb.begin; j < gb.end; j++) {
                        const uint64_t k = ikb[j];
                        const in_t y = cb[j];
                        R::fma(row0[k], x0, y);
                        R::fma(row1[k], x1, y);
                    }
                }
                if (i < ga.end) {
                    const in_t x = ca[i];
                    acc_t* row = acc + ika[i];
                    for (uint32_t j = gb.begin; j < gb.end; j++) R::fma(row[ikb[j]], x, cb[j]);
                }
                continue;
            }
            for (int g = 0; g < G; g++)
                rem[g] = p.level[static_cast<size_t>(g)] - s.A.og[q->ga * static_cast<size_t>(G) + static_cast<size_t>(g)] -
                         s.B.og[q->gb * static_cast<size_t>(G) + static_cast<size_t>(g)];
            const int32_t* tda = s.A.td.data();
            const int32_t* tdb = s.B.td.data();
            const int32_t bmin = s.B.mintd[q->gb * static_cast<size_t>(G) + static_cast<size_t>(pr)];
            uint32_t jend = gb.end;
            const size_t spr = static_cast<size_t>(pr);
            auto shrink = [&](int32_t t) {
                while (jend > gb.begin && tdb[(jend - 1) * static_cast<size_t>(G) + spr] > t) jend--;
                return jend;
            };
            // A's terms come by ascending degree: the room left for B only shrinks. Without
            // other groups to test, two rows share the loads of B up to the shorter one's end.
            uint32_t i = ga.begin;
            if (!secondary)
                for (; i + 1 < ga.end; i += 2) {
                    const int32_t t0 = rem[pr] - tda[i * static_cast<size_t>(G) + spr];
                    const int32_t t1 = rem[pr] - tda[(i + 1) * static_cast<size_t>(G) + spr];
                    if (t1 < bmin) break;
                    const uint32_t e0 = shrink(t0), e1 = shrink(t1);
                    const in_t x0 = ca[i], x1 = ca[i + 1];
                    acc_t* row0 = acc + ika[i];
                    acc_t* row1 = acc + ika[i + 1];
                    uint32_t j = gb.begin;
                    for (; j < e1; j++) {
                        const uint64_t k = ikb[j];
                        const in_t y = cb[j];
                        R::fma(row0[k], x0, y);
                        R::fma(row1[k], x1, y);
                    }
                    for (; j < e0; j++) R::fma(row0[ikb[j]], x0, cb[j]);
                }
            for (; i < ga.end; i++) {
                const int32_t t = rem[pr] - tda[i * static_cast<size_t>(G) + static_cast<size_t>(pr)];
                if (t < bmin) break;
                while (jend > gb.begin && tdb[(jend - 1) * static_cast<size_t>(G) + static_cast<size_t>(pr)] > t) jend--;
                const in_t x = ca[i];
                acc_t* row = acc + ika[i];
                if (!secondary) {
                    for (uint32_t j = gb.begin; j < jend; j++) R::fma(row[ikb[j]], x, cb[j]);
                    continue;
                }
                for (uint32_t j = gb.begin; j < jend; j++) {
                    bool ok = true;
                    for (uint32_t m = secondary; m && ok; m &= m - 1) {
                        const int g = __builtin_ctz(m);
                        ok = tda[i * static_cast<size_t>(G) + static_cast<size_t>(g)] + tdb[j * static_cast<size_t>(G) + static_cast<size_t>(g)] <= rem[g];
                    }
                    if (ok) R::fma(row[ikb[j]], x, cb[j]);
                }
            }
        }
        if (first == last) return coef{};
        return build(s, acc, s.K, 0, dlo, dhi);
    }
};

} // namespace

bool kern_mul_array(t_product& p, int ring, int K, coef* out)
{
    kern_chunked_ring<t_arraychunk>(p, ring, K, true, out);
    return true;
}

} // namespace kern
