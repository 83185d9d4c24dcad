// Dense convolution of two series in one variable: both operands laid out over their degree
// ranges, zeros included, and each result coefficient c_k = sum a_i b_(k-i) summed in registers
// over the range of i that meets both operands. The truncation caps k before anything is
// multiplied. Tasks take disjoint blocks of k, so no two write one result.
#include "interp/taskloop.h"
#include "series/kernels/kernels.h"

#include <algorithm>

namespace kern {

namespace {

template <class R>
void convolve(const t_product& p, coef* out)
{
    using in_t = typename R::in_t;
    const int32_t la = p.A.lo[0], lb = p.B.lo[0];
    const int64_t na = static_cast<int64_t>(p.A.hi[0]) - la + 1, nb = static_cast<int64_t>(p.B.hi[0]) - lb + 1;
    std::vector<in_t> A(static_cast<size_t>(na), in_t{}), B(static_cast<size_t>(nb), in_t{});
    const in_t* ca = coefs_of<R>(p.A);
    const t_flat& fb = p.b();
    const in_t* cb = coefs_of<R>(fb);
    for (size_t i = 0; i < p.A.n; i++) A[static_cast<size_t>(p.A.e[i] - la)] = ca[i];
    for (size_t j = 0; j < fb.n; j++) B[static_cast<size_t>(fb.e[j] - lb)] = cb[j];
    int64_t kmax = na + nb - 2;
    if (p.truncated()) {
        int32_t lim = INT32_MAX;
        for (int g = 0; g < p.ngroups; g++)
            if (p.groupsof[0] & (1u << g)) lim = std::min(lim, p.level[static_cast<size_t>(g)]);
        kmax = std::min<int64_t>(kmax, static_cast<int64_t>(lim) - la - lb);
    }
    if (kmax < 0) {
        *out = coef{};
        return;
    }
    std::vector<coef> res(static_cast<size_t>(kmax + 1));
    // Blocks of at least 256 result degrees, about eight per thread.
    const int64_t nblocks = std::max<int64_t>(1, std::min<int64_t>((kmax + 1) / 256, 8 * kst_get_gcpu()));
    const int64_t bsize = (kmax + nblocks) / nblocks;
    const in_t* pa = A.data();
    const in_t* pb = B.data();
    parallel_loop_for_fast3(p.ctx, 0, static_cast<int>(nblocks - 1), [&](int blk, t_cctx* tctx) {
        if (kst_kctx(tctx).stoprequested()) return;
        const int64_t k0 = blk * bsize, k1 = std::min(kmax, k0 + bsize - 1);
        for (int64_t k = k0; k <= k1; k++) {
            typename R::acc_t acc{};
            const int64_t i0 = std::max<int64_t>(0, k - (nb - 1)), i1 = std::min(k, na - 1);
            for (int64_t i = i0; i <= i1; i++) R::fma(acc, pa[i], pb[k - i]);
            if (R::nonzero(acc)) res[static_cast<size_t>(k)] = R::take(acc, p.leaf);
        }
    });
    t_nodebuilder nb2;
    for (int64_t k = 0; k <= kmax; k++)
        if (res[static_cast<size_t>(k)].type != BH_ZERO) nb2.add(p.vars[0], static_cast<int32_t>(k + la + lb), res[static_cast<size_t>(k)]);
    *out = nb2.finish();
}

} // namespace

bool kern_mul_dense(t_product& p, int ring, coef* out)
{
    if (p.nv != 1) return false;
    switch (ring) {
    case RING_DBL: convolve<t_ring_dbl>(p, out); break;
    case RING_I1: convolve<t_ring_i1>(p, out); break;
    case RING_I2: convolve<t_ring_i2>(p, out); break;
    default: convolve<t_ring_i3>(p, out); break;
    }
    return true;
}

} // namespace kern
