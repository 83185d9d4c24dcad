// The product under a monomial truncation: only the chosen power of each listed variable is ever
// computed (a sum over the pairs of degrees that reach it), instead of the whole product and an
// extraction afterwards.
#include "series/polynome.h"
#include "series/sereps.h"
#include "series/tronc.h"
#include "series/variable.h"

#include <algorithm>
#include <climits>

namespace {

const t_variable* topvar(const coef* c) { return coef_ispoly(c) ? coef_poly(c)->var : nullptr; }

// The term of degree d of a node in v, or null.
const coef* termof(const coef* c, int32_t d)
{
    for (const t_polyterm* t = coef_poly(c)->first; t && t->deg <= d; t = t->next)
        if (t->deg == d) return &t->c;
    return nullptr;
}

coef rec(t_cctx* ctx, const coef* a, const coef* b, const std::vector<t_monentry>& list, size_t k,
         t_troncworkstack* st);

// Every pair of terms of a and b (nodes in v, or one of them a constant for v): their products
// placed at the sum of their degrees, without restriction on v beyond the degree truncation.
coef freelevel(t_cctx* ctx, const coef* a, const coef* b, t_variable* v, const std::vector<t_monentry>& list,
               size_t k, t_troncworkstack* st)
{
    if (topvar(a) != v) std::swap(a, b);
    const bool both = topvar(b) == v;
    const int nivh = st ? st->remaining(v) : INT32_MAX;
    const bool tr = nivh != INT32_MAX;
    coef acc = poly_newnode(v);
    for (const t_polyterm* ta = coef_poly(a)->first; ta; ta = ta->next) {
        if (kst_kctx(ctx).stoprequested()) break;
        t_polyterm* hint = nullptr;
        for (const t_polyterm* tb = both ? coef_poly(b)->first : nullptr;; tb = tb->next) {
            const int32_t d = ta->deg + (tb ? tb->deg : 0);
            if (tr && d > nivh) break;
            if (tr) st->update(v, -d);
            coef p = rec(ctx, &ta->c, tb ? &tb->c : b, list, k, st);
            if (tr) st->update(v, d);
            if (p.type != BH_ZERO) {
                t_polyterm* r = polynome_resize(&acc, d, hint);
                serie_accadd(ctx, &r->c, &p, 0);
                hint = r;
            }
            if (!tb || !tb->next) break;
        }
    }
    polynome_supzero(&acc, true);
    return acc;
}

coef rec(t_cctx* ctx, const coef* a, const coef* b, const std::vector<t_monentry>& list, size_t k,
         t_troncworkstack* st)
{
    if (a->type == BH_ZERO || b->type == BH_ZERO) return coef{};
    if (k == list.size()) {
        coef r{};
        if (st) serie_fmatr(ctx, &r, a, b, *st);
        else serie_fma(ctx, &r, a, b);
        polynome_supzero(&r, true);
        return r;
    }
    t_variable* x = list[k].var;
    const int32_t D = list[k].deg;
    const t_variable* va = topvar(a);
    const t_variable* vb = topvar(b);
    const t_variable* v = !va ? vb : (!vb ? va : (compareOrder(ctx, va, vb) <= 0 ? va : vb));
    if (!v || compareOrder(ctx, v, x) > 0) {
        // neither operand holds x: only x^0 exists
        return D == 0 ? rec(ctx, a, b, list, k + 1, st) : coef{};
    }
    if (v != x) return freelevel(ctx, a, b, const_cast<t_variable*>(v), list, k, st);
    const int nivh = st ? st->remaining(x) : INT32_MAX;
    if (D > nivh) return coef{};
    if (nivh != INT32_MAX) st->update(x, -D);
    coef sum{};
    if (va == x && vb == x) {
        const t_polynode* an = coef_poly(a);
        const t_polynode* bn = coef_poly(b);
        const int32_t lo = an->first->deg + bn->first->deg;
        int32_t hia = an->first->deg, hib = bn->first->deg;
        for (const t_polyterm* t = an->first; t; t = t->next) hia = t->deg;
        for (const t_polyterm* t = bn->first; t; t = t->next) hib = t->deg;
        if (D >= lo && static_cast<int64_t>(D) <= static_cast<int64_t>(hia) + hib) {
            for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
                const coef* cb = termof(b, D - ta->deg);
                if (!cb) continue;
                coef p = rec(ctx, &ta->c, cb, list, k + 1, st);
                serie_accadd(ctx, &sum, &p, 0);
            }
        }
    } else {
        // only one operand is a polynomial in x: its coefficient of x^D times the other
        const coef* px = va == x ? a : b;
        const coef* other = va == x ? b : a;
        if (const coef* cd = termof(px, D)) sum = rec(ctx, cd, other, list, k + 1, st);
    }
    if (nivh != INT32_MAX) st->update(x, D);
    polynome_supzero(&sum, true);
    return poly_monomial(x, sum, D);
}

} // namespace

std::vector<t_monentry> kst_troncmon_sortdup(const t_cctx* ctx, const t_tronc& list)
{
    std::vector<t_monentry> r;
    for (const troncature& g : list.groups)
        for (t_variable* v : g.variables)
            if (std::none_of(r.begin(), r.end(), [v](const t_monentry& e) { return e.var == v; }))
                r.push_back({v, g.level});
    std::stable_sort(r.begin(), r.end(),
                     [ctx](const t_monentry& p, const t_monentry& q) { return compareOrder(ctx, p.var, q.var) < 0; });
    return r;
}

coef serie_multrmon(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const std::vector<t_monentry>& list,
                    const t_troncwork* w)
{
    coef r{};
    if (!w) {
        r = rec(ctx, a, b, list, 0, nullptr);
    } else {
        // The listed variables go to the first ranks for the time of the product, so that their
        // powers are chosen at the root before any level below is multiplied.
        const t_ordres* saved = kst_kctx(ctx).orders;
        int pos = 1;
        for (const t_monentry& e : list) kst_reorder(ctx, e.var, pos, kst_ior(ctx), false);
        coef ra = serie_reorder(ctx, a);
        coef rb = serie_reorder(ctx, b);
        std::vector<t_monentry> first = list;
        std::stable_sort(first.begin(), first.end(), [ctx](const t_monentry& p, const t_monentry& q) {
            return compareOrder(ctx, p.var, q.var) < 0;
        });
        t_troncworkstack st(w);
        coef p = rec(ctx, &ra, &rb, first, 0, &st);
        kst_kctx(ctx).orders = saved;
        r = serie_reorder(ctx, &p);
        for (coef* c : {&ra, &rb, &p}) deletecoef(c);
    }
    if (!ka) deletecoef(a);
    if (!kb) deletecoef(b);
    return r;
}
