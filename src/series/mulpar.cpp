// The parallel product of two series nodes in the same variable. The result degrees are listed
// first and their terms made in the caller; then one task per degree d sums a_i*b_(d-i) over
// ascending i, exactly the order in which the sequential loops reach that term, so a product
// gives the same bits for every `_cpu`. No two tasks write the same term.
//
// Cost model: below about 1500000 pairs of terms (counted over whole trees) the tasks would cost
// more than they save, and the product stays sequential.
#include "interp/taskloop.h"
#include "series/polynome.h"
#include "series/tronc.h"
#include "series/variable.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
constexpr double kParallelPairs = 1500000.0;
}

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
    std::vector<int32_t> degrees;
    for (const t_polyterm* x : ta)
        for (const t_polyterm* y : tb)
            if (x->deg + y->deg <= nivh) degrees.push_back(x->deg + y->deg);
    std::sort(degrees.begin(), degrees.end());
    degrees.erase(std::unique(degrees.begin(), degrees.end()), degrees.end());
    if (degrees.empty()) return true;

    *acc = poly_newnode(an->var);
    std::vector<t_polyterm*> out;
    t_polyterm* hint = nullptr;
    for (int32_t d : degrees) {
        hint = polynome_resize(acc, d, hint);
        out.push_back(hint);
    }
    t_variable* v = an->var;
    auto bydegree = [&](int32_t d) -> const t_polyterm* {
        auto it = std::lower_bound(tb.begin(), tb.end(), d, [](const t_polyterm* t, int32_t x) { return t->deg < x; });
        return it != tb.end() && (*it)->deg == d ? *it : nullptr;
    };
    parallel_loop_for_fast3(ctx, 0, static_cast<int>(degrees.size()) - 1, [&](int k, t_cctx* tctx) {
        const int32_t d = degrees[static_cast<size_t>(k)];
        coef* r = &out[static_cast<size_t>(k)]->c;
        if (w) {
            t_troncworkstack st(w);
            st.update(v, -d);
            for (const t_polyterm* x : ta)
                if (const t_polyterm* y = bydegree(d - x->deg)) serie_fmatr(tctx, r, &x->c, &y->c, st);
        } else {
            for (const t_polyterm* x : ta)
                if (const t_polyterm* y = bydegree(d - x->deg)) serie_fma(tctx, r, &x->c, &y->c);
        }
    });
    return true;
}
