// The parallel product of two series nodes in the same variable, in one of two schemes chosen by
// the number of pairs of top-level terms La*Lb:
//  - up to 2000 pairs: every pair is listed once, chained by result degree (16-bit links on the
//    stack, 65535 ending a chain); one work item per result degree sums its whole chain;
//  - above: row by row, one work item per term b_j writing the result term of degree i + j, each
//    row awaited before the next a_i starts.
// Either way no two work items write the same term, and every result term receives its
// contributions a_i*b_j in ascending i, exactly the order of the sequential loops: a product gives
// the same bits for every `_cpu`. The result terms are made in the caller beforehand.
//
// Cost model: below about 1500000 pairs of terms (counted over whole trees) the tasks would cost
// more than they save, and the product stays sequential.
#include "interp/taskloop.h"
#include "series/polynome.h"
#include "series/tronc.h"
#include "series/variable.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace {
constexpr double kParallelPairs = 1500000.0;
constexpr size_t kChainPairs = 2000;
constexpr uint16_t kEndOfChain = 65535;

// a_i*b_j into r, under the levels of the product when there are any (each work item has its own).
inline void accumulate(t_cctx* tctx, coef* r, const t_polyterm* x, const t_polyterm* y, t_variable* v, int32_t d,
                       const t_troncwork* w)
{
    if (w) {
        t_troncworkstack st(w);
        st.update(v, -d);
        serie_fmatr(tctx, r, &x->c, &y->c, st);
    } else {
        serie_fma(tctx, r, &x->c, &y->c);
    }
}

void bydegreechains(t_cctx* ctx, coef* acc, const std::vector<const t_polyterm*>& ta,
                    const std::vector<const t_polyterm*>& tb, int32_t nivh, const t_troncwork* w)
{
    struct t_pair {
        uint16_t ia, ib, next;
    };
    t_pair pairs[kChainPairs];
    int32_t degree[kChainPairs];
    uint16_t head[kChainPairs];
    t_polyterm* out[kChainPairs];
    // The distinct result degrees, ascending, and their terms.
    size_t nd = 0;
    for (const t_polyterm* x : ta)
        for (const t_polyterm* y : tb)
            if (x->deg + y->deg <= nivh) degree[nd++] = x->deg + y->deg;
    std::sort(degree, degree + nd);
    nd = static_cast<size_t>(std::unique(degree, degree + nd) - degree);
    if (nd == 0) return;
    t_variable* v = coef_poly(acc)->var;
    t_polyterm* hint = nullptr;
    for (size_t k = 0; k < nd; k++) {
        hint = polynome_resize(acc, degree[k], hint);
        out[k] = hint;
        head[k] = kEndOfChain;
    }
    // Pairs listed from the last one and pushed at the front of their chain: each chain runs in
    // ascending i.
    size_t np = 0;
    for (size_t i = ta.size(); i-- > 0;)
        for (size_t j = tb.size(); j-- > 0;) {
            const int32_t d = ta[i]->deg + tb[j]->deg;
            if (d > nivh) continue;
            const size_t k = static_cast<size_t>(std::lower_bound(degree, degree + nd, d) - degree);
            pairs[np] = {static_cast<uint16_t>(i), static_cast<uint16_t>(j), head[k]};
            head[k] = static_cast<uint16_t>(np++);
        }
    parallel_loop_for_fast3(ctx, 0, static_cast<int>(nd) - 1, [&](int k, t_cctx* tctx) {
        coef* r = &out[k]->c;
        for (uint16_t p = head[k]; p != kEndOfChain; p = pairs[p].next)
            accumulate(tctx, r, ta[pairs[p].ia], tb[pairs[p].ib], v, degree[k], w);
    });
}

void byrows(t_cctx* ctx, coef* acc, const std::vector<const t_polyterm*>& ta,
            const std::vector<const t_polyterm*>& tb, int32_t nivh, const t_troncwork* w)
{
    t_variable* v = coef_poly(acc)->var;
    std::vector<t_polyterm*> out(tb.size());
    t_polyterm* rowstart = nullptr;
    for (const t_polyterm* x : ta) {
        if (kst_kctx(ctx).stoprequested()) break;
        // The terms b_j reach while i + j stays within the level: a prefix, degrees ascending.
        size_t n = 0;
        t_polyterm* hint = rowstart;
        while (n < tb.size() && x->deg + tb[n]->deg <= nivh) {
            hint = polynome_resize(acc, x->deg + tb[n]->deg, hint);
            out[n++] = hint;
        }
        if (n == 0) break;
        rowstart = out[0];
        parallel_loop_for_fast3(ctx, 0, static_cast<int>(n) - 1, [&](int j, t_cctx* tctx) {
            accumulate(tctx, &out[static_cast<size_t>(j)]->c, x, tb[static_cast<size_t>(j)], v, x->deg + tb[static_cast<size_t>(j)]->deg, w);
        });
    }
}

} // namespace

bool serie_mul_parallel(t_cctx* ctx, coef* acc, const coef* a, const coef* b, const t_troncwork* w)
{
    if (!coef_ispoly(a) || !coef_ispoly(b) || acc->type != BH_ZERO) return false;
    const t_polynode* an = coef_poly(a);
    const t_polynode* bn = coef_poly(b);
    if (an->var != bn->var || !kst_parallel_allowed(ctx) || kst_kctx(ctx).cpu < 2) return false;
    if (static_cast<double>(serie_size(a)) * static_cast<double>(serie_size(b)) <= kParallelPairs) return false;

    std::vector<const t_polyterm*> ta, tb;
    for (const t_polyterm* t = an->first; t; t = t->next) ta.push_back(t);
    for (const t_polyterm* t = bn->first; t; t = t->next) tb.push_back(t);
    int32_t nivh = INT32_MAX;
    if (w) {
        t_troncworkstack st(w);
        nivh = st.remaining(an->var);
    }
    *acc = poly_newnode(an->var);
    if (ta.size() * tb.size() <= kChainPairs) bydegreechains(ctx, acc, ta, tb, nivh, w);
    else byrows(ctx, acc, ta, tb, nivh, w);
    return true;
}
