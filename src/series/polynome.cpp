// Sparse polynomial nodes and the sequential series arithmetic on them. Every operation works on
// unnormalised intermediate trees (an accumulator may hold empty nodes or zero terms while a
// product runs) and normalises once at the end, so a product costs one pass per result row.
#include "series/polynome.h"

#include "coef/pool.h"

#include "series/kernels/mul.h"
#include "series/tronc.h"
#include "series/variable.h"
#include "coef/modenum.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

// ---------------------------------------------------------------- per-thread pools

namespace {

struct t_termtag;
struct t_nodetag;
thread_local t_pool<sizeof(t_polyterm), t_termtag> s_termpool KST_TLS_IE;
thread_local t_pool<sizeof(t_polynode) < 16 ? 16 : sizeof(t_polynode), t_nodetag> s_nodepool KST_TLS_IE;

inline coef take(coef* c, int keep)
{
    if (keep) return copycoef(c);
    coef r = *c;
    c->type = BH_ZERO;
    return r;
}
inline void release(coef* c, int keep)
{
    if (!keep) deletecoef(c);
}
inline bool leafzero(const coef* c) { return c->type == BH_ZERO || (!coef_ispoly(c) && coef_vt(c).iszero(c)); }

} // namespace

long polypool_chunks() { return decltype(s_termpool)::chunks() + decltype(s_nodepool)::chunks(); }

t_polyterm* polyterm_alloc() { return static_cast<t_polyterm*>(s_termpool.get()); }
void polyterm_free(t_polyterm* t) { s_termpool.put(t); }

coef poly_newnode(t_variable* v)
{
    auto* n = static_cast<t_polynode*>(s_nodepool.get());
    n->var = v;
    n->first = nullptr;
    return coef_fromptr(n, BH_POLYNOME);
}

coef poly_monomial(t_variable* v, coef owned, int32_t deg)
{
    if (owned.type == BH_ZERO) return owned;
    coef c = poly_newnode(v);
    t_polyterm* t = polyterm_alloc();
    t->next = nullptr;
    t->c = owned;
    t->deg = deg;
    coef_poly(&c)->first = t;
    if (deg == 0) supzero_poly(&c);
    return c;
}

t_polyterm* polynome_resize(coef* node, int32_t deg, t_polyterm* hint)
{
    t_polynode* n = coef_poly(node);
    t_polyterm* prev = nullptr;
    t_polyterm* t = n->first;
    if (hint && hint->deg < deg) {
        prev = hint;
        t = hint->next;
    }
    while (t && t->deg < deg) {
        prev = t;
        t = t->next;
    }
    if (t && t->deg == deg) return t;
    t_polyterm* nt = polyterm_alloc();
    nt->c = coef{};
    nt->deg = deg;
    nt->next = t;
    if (prev) prev->next = nt;
    else n->first = nt;
    return nt;
}

void poly_delete(coef* c)
{
    t_polynode* n = coef_poly(c);
    for (t_polyterm* t = n->first; t;) {
        t_polyterm* next = t->next;
        deletecoef(&t->c);
        polyterm_free(t);
        t = next;
    }
    s_nodepool.put(n);
    c->type = BH_ZERO;
}

coef poly_copy(const coef* c)
{
    const t_polynode* n = coef_poly(c);
    coef r = poly_newnode(n->var);
    t_polyterm** link = &coef_poly(&r)->first;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        t_polyterm* nt = polyterm_alloc();
        nt->c = copycoef(&t->c);
        nt->deg = t->deg;
        *link = nt;
        link = &nt->next;
    }
    *link = nullptr;
    return r;
}

void supzero_poly(coef* c)
{
    if (!coef_ispoly(c)) {
        if (c->type != BH_ZERO && coef_vt(c).iszero(c)) deletecoef(c);
        return;
    }
    t_polynode* n = coef_poly(c);
    t_polyterm** link = &n->first;
    while (t_polyterm* t = *link) {
        if (leafzero(&t->c)) {
            deletecoef(&t->c);
            *link = t->next;
            polyterm_free(t);
        } else {
            link = &t->next;
        }
    }
    t_polyterm* f = n->first;
    if (!f) {
        s_nodepool.put(n);
        c->type = BH_ZERO;
    } else if (!f->next && f->deg == 0) {
        coef inner = f->c;
        polyterm_free(f);
        s_nodepool.put(n);
        *c = inner;
    }
}

void polynome_supzero(coef* c, bool recursive)
{
    if (!coef_ispoly(c)) {
        supzero_poly(c);
        return;
    }
    if (recursive)
        for (t_polyterm* t = coef_poly(c)->first; t; t = t->next) polynome_supzero(&t->c, true);
    supzero_poly(c);
}

// ---------------------------------------------------------------- sums

// The coefficient of `acc` where terms in variable v belong: inside the degree-0 terms of the
// nodes of smaller rank, as a node in v (made when missing, the old content becoming its degree
// 0 term).
coef* poly_placein(t_cctx* ctx, coef* acc, t_variable* v)
{
    while (coef_ispoly(acc) && compareOrder(ctx, coef_poly(acc)->var, v) < 0)
        acc = &polynome_resize(acc, 0, nullptr)->c;
    if (coef_ispoly(acc) && coef_poly(acc)->var == v) return acc;
    coef old = *acc;
    *acc = poly_newnode(v);
    if (old.type != BH_ZERO) {
        t_polyterm* t = polyterm_alloc();
        t->next = nullptr;
        t->c = old;
        t->deg = 0;
        coef_poly(acc)->first = t;
    }
    return acc;
}

void serie_accadd(t_cctx* ctx, coef* acc, coef* b, int kb)
{
    if (b->type == BH_ZERO) return;
    if (!coef_ispoly(b)) {
        if (coef_ispoly(acc)) {
            // a number goes to the degree-0 term of the root, recursively
            coef* at = acc;
            while (coef_ispoly(at)) at = &polynome_resize(at, 0, nullptr)->c;
            serie_accadd(ctx, at, b, kb);
            return;
        }
        if (acc->type == BH_ZERO) {
            *acc = take(b, kb);
            return;
        }
        if (acc->type == BH_DBL && b->type == BH_DBL) {
            double r = acc->d + b->d;
            if (r == 0.0) acc->type = BH_ZERO;
            else acc->d = r;
            return;
        }
        *acc = coef_vt(acc).add[coef_tag(b)](ctx, acc, 0, b, kb, 0);
        return;
    }
    t_polynode* bn = coef_poly(b);
    if (acc->type == BH_ZERO) {
        *acc = take(b, kb);
        return;
    }
    if (coef_ispoly(acc) && compareOrder(ctx, bn->var, coef_poly(acc)->var) > 0) {
        serie_accadd(ctx, &polynome_resize(acc, 0, nullptr)->c, b, kb);
        return;
    }
    coef* node = poly_placein(ctx, acc, bn->var);
    t_polyterm* hint = nullptr;
    for (t_polyterm* t = bn->first; t; t = t->next) {
        t_polyterm* r = polynome_resize(node, t->deg, hint);
        serie_accadd(ctx, &r->c, &t->c, kb);
        hint = r;
    }
    if (!kb) poly_delete(b);
}

coef serie_add(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    coef r = take(a, ka);
    serie_accadd(ctx, &r, b, kb);
    polynome_supzero(&r, true);
    return r;
}

namespace {
void negate_inplace(t_cctx* ctx, coef* c)
{
    if (coef_ispoly(c)) {
        for (t_polyterm* t = coef_poly(c)->first; t; t = t->next) negate_inplace(ctx, &t->c);
    } else if (c->type == BH_DBL) {
        c->d = -c->d;
    } else if (c->type != BH_ZERO) {
        *c = coef_neg(ctx, c, 0);
    }
}
} // namespace

coef serie_neg(t_cctx* ctx, coef* a, int ka)
{
    coef r = take(a, ka);
    negate_inplace(ctx, &r);
    return r;
}

coef serie_sub(t_cctx* ctx, coef* a, int ka, coef* b, int kb)
{
    coef nb = serie_neg(ctx, b, kb);
    coef r = take(a, ka);
    serie_accadd(ctx, &r, &nb, 0);
    polynome_supzero(&r, true);
    return r;
}

// ---------------------------------------------------------------- products

namespace {
bool alldbl(const t_polynode* n)
{
    for (const t_polyterm* t = n->first; t; t = t->next)
        if (t->c.type != BH_DBL) return false;
    return true;
}
} // namespace

void serie_fma(t_cctx* ctx, coef* acc, const coef* a, const coef* b)
{
    bool pa = coef_ispoly(a), pb = coef_ispoly(b);
    if (!pa && !pb) {
        if (a->type == BH_ZERO || b->type == BH_ZERO) return;
        if (a->type == BH_DBL && b->type == BH_DBL) {
            if (acc->type == BH_DBL) {
                double r = acc->d + a->d * b->d;
                if (r == 0.0) acc->type = BH_ZERO;
                else acc->d = r;
                return;
            }
            if (acc->type == BH_ZERO) {
                double r = a->d * b->d;
                if (r != 0.0) *acc = coef_fromdbl(r);
                return;
            }
        }
        coef p = coef_vt(a).mulnotr[coef_tag(b)](ctx, const_cast<coef*>(a), 1, const_cast<coef*>(b), 1, 0);
        serie_accadd(ctx, acc, &p, 0);
        return;
    }
    // The operand whose variable ranks first leads; the other is a constant for its variable.
    int cmp = !pa ? 1 : (!pb ? -1 : compareOrder(ctx, coef_poly(a)->var, coef_poly(b)->var));
    if (cmp > 0) {
        const coef* t = a;
        a = b;
        b = t;
    }
    const t_polynode* an = coef_poly(a);
    coef* node = poly_placein(ctx, acc, an->var);
    if (cmp != 0) {
        t_polyterm* hint = nullptr;
        for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
            t_polyterm* r = polynome_resize(node, ta->deg, hint);
            serie_fma(ctx, &r->c, &ta->c, b);
            hint = r;
        }
        return;
    }
    // Same variable: row by row, each row inserting forward from the previous insertion point.
    const t_polynode* bn = coef_poly(b);
    t_polyterm* rowstart = nullptr;
    if (alldbl(an) && alldbl(bn)) {
        // The innermost level of a double series: the leaf arithmetic of serie_fma inline, the
        // same operations in the same order.
        for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
            if (kst_kctx(ctx).stoprequested()) break;
            t_polyterm* hint = rowstart;
            t_polyterm* first = nullptr;
            const double x = ta->c.d;
            for (const t_polyterm* tb = bn->first; tb; tb = tb->next) {
                int32_t d = ta->deg + tb->deg;
                t_polyterm* r = (hint && hint->deg == d) ? hint : polynome_resize(node, d, hint);
                coef* c = &r->c;
                if (!fma_dblleaf(c, x, tb->c.d)) {
                    serie_fma(ctx, c, &ta->c, &tb->c);
                }
                if (!first) first = r;
                hint = r;
            }
            rowstart = first;
        }
        return;
    }
    for (const t_polyterm* ta = an->first; ta; ta = ta->next) {
        if (kst_kctx(ctx).stoprequested()) break;   // Ctrl-C: the statement is abandoned anyway
        t_polyterm* hint = rowstart;
        t_polyterm* first = nullptr;
        for (const t_polyterm* tb = bn->first; tb; tb = tb->next) {
            int32_t d = ta->deg + tb->deg;
            t_polyterm* r = (hint && hint->deg == d) ? hint : polynome_resize(node, d, hint);
            serie_fma(ctx, &r->c, &ta->c, &tb->c);
            if (!first) first = r;
            hint = r;
        }
        rowstart = first;
    }
}

coef serie_mul(t_cctx* ctx, coef* a, int ka, coef* b, int kb, eBHTypeCoef* leaftag)
{
    coef r{};
    if (leaftag) *leaftag = BH_ZERO;
    if (a->type != BH_ZERO && b->type != BH_ZERO) {
        if (!coef_ispoly(a) && !coef_ispoly(b)) {
            return coef_vt(a).mulnotr[coef_tag(b)](ctx, a, ka, b, kb, 0);
        }
        if (!kst_kernel_mul(ctx, a, b, nullptr, &r, leaftag)) {
            if (!serie_mul_parallel(ctx, &r, a, b, nullptr)) serie_fma(ctx, &r, a, b);
            polynome_supzero(&r, true);
        }
    }
    release(a, ka);
    release(b, kb);
    return r;
}

coef serie_pow(t_cctx* ctx, coef* a, int ka, unsigned long n)
{
    coef base = take(a, ka);
    coef r = coef_creenum_init(ctx, 1);
    while (n) {
        if (n & 1) r = serie_mul(ctx, &r, 0, &base, 1);
        n >>= 1;
        if (n) base = serie_mul(ctx, &base, 0, &base, 1);
    }
    deletecoef(&base);
    return r;
}

namespace {
void divleaves(t_cctx* ctx, coef* c, const coef* b)
{
    if (coef_ispoly(c)) {
        for (t_polyterm* t = coef_poly(c)->first; t; t = t->next) divleaves(ctx, &t->c, b);
    } else if (c->type != BH_ZERO) {
        *c = coef_division(ctx, c, 0, const_cast<coef*>(b), 1);
    }
}
} // namespace

coef serie_divnum(t_cctx* ctx, coef* a, int ka, const coef* b)
{
    coef r = take(a, ka);
    divleaves(ctx, &r, b);
    polynome_supzero(&r, true);
    return r;
}

// ---------------------------------------------------------------- queries

int64_t serie_maxabsdeg(const coef* c)
{
    if (!coef_ispoly(c)) return 0;
    int64_t m = 0;
    for (const t_polyterm* t = coef_poly(c)->first; t; t = t->next) {
        int64_t d = t->deg < 0 ? -static_cast<int64_t>(t->deg) : t->deg;
        m = std::max(m, d + serie_maxabsdeg(&t->c));
    }
    return m;
}

long serie_size(const coef* c)
{
    if (!coef_ispoly(c)) return c->type == BH_ZERO ? 0 : 1;
    long n = 0;
    for (const t_polyterm* t = coef_poly(c)->first; t; t = t->next) n += serie_size(&t->c);
    return n;
}

namespace {
bool degwalk(const coef* c, const t_variable* v, bool wantmax, int32_t* out)
{
    if (!coef_ispoly(c)) return false;
    const t_polynode* n = coef_poly(c);
    bool found = false;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        int32_t d;
        if (n->var == v) d = t->deg;
        else if (!degwalk(&t->c, v, wantmax, &d)) d = 0;
        if (!found || (wantmax ? d > *out : d < *out)) *out = d;
        found = true;
    }
    return found;
}
} // namespace

int32_t serie_degmax(const coef* c, const t_variable* v)
{
    int32_t d = 0;
    return degwalk(c, v, true, &d) ? d : 0;
}
int32_t serie_degmin(const coef* c, const t_variable* v)
{
    int32_t d = 0;
    return degwalk(c, v, false, &d) ? d : 0;
}

bool serie_isnormal(const t_cctx* ctx, const coef* c)
{
    if (!coef_ispoly(c)) return c->type == BH_ZERO || !coef_vt(c).iszero(c);
    const t_polynode* n = coef_poly(c);
    if (!n->first) return false;
    if (!n->first->next && n->first->deg == 0) return false;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        if (t->c.type == BH_ZERO || !serie_isnormal(ctx, &t->c)) return false;
        if (t->next && t->next->deg <= t->deg) return false;
        if (coef_ispoly(&t->c) && compareOrder(ctx, coef_poly(&t->c)->var, n->var) <= 0) return false;
    }
    return true;
}

bool serie_equal(const coef* a, const coef* b)
{
    if (coef_ispoly(a) != coef_ispoly(b)) return false;
    if (!coef_ispoly(a)) {
        if (a->type == BH_ZERO || b->type == BH_ZERO) return a->type == b->type;
        return coef_cmp_egal(a, b) == 1;
    }
    const t_polynode* na = coef_poly(a);
    const t_polynode* nb = coef_poly(b);
    if (na->var != nb->var) return false;
    const t_polyterm* ta = na->first;
    const t_polyterm* tb = nb->first;
    for (; ta && tb; ta = ta->next, tb = tb->next)
        if (ta->deg != tb->deg || !serie_equal(&ta->c, &tb->c)) return false;
    return !ta && !tb;
}
