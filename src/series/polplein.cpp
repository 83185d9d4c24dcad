// Dense polynomial nodes and their conversions from and to sparse nodes.
#include "series/polplein.h"

#include "series/polynome.h"

#include <new>

namespace {

coef newplein(t_variable* v, int32_t lo, int32_t hi)
{
    const size_t n = static_cast<size_t>(static_cast<int64_t>(hi) - lo + 1);
    auto* p = static_cast<t_polplein*>(kst_checkmalloc(sizeof(t_polplein)));
    p->var = v;
    p->lo = lo;
    p->hi = hi;
    p->coefs = static_cast<coef*>(kst_checkmalloc(kst_checkmulsize(n, sizeof(coef))));
    for (size_t k = 0; k < n; k++) new (&p->coefs[k]) coef{};
    return coef_fromptr(p, BH_POLPLEIN);
}

coef copyplein(const coef* c)
{
    const t_polplein* s = coef_plein(c);
    coef r = newplein(s->var, s->lo, s->hi);
    for (int32_t k = 0; k <= s->hi - s->lo; k++) coef_plein(&r)->coefs[k] = copycoef(&s->coefs[k]);
    return r;
}

void deleteplein(coef* c)
{
    t_polplein* p = coef_plein(c);
    for (int32_t k = 0; k <= p->hi - p->lo; k++) deletecoef(&p->coefs[k]);
    free(p->coefs);
    free(p);
    c->type = BH_ZERO;
}

coef todense(t_cctx* ctx, const coef* c)
{
    if (!coef_ispoly(c)) return copycoef(c);
    const t_polynode* n = coef_poly(c);
    int32_t lo = n->first->deg, hi = lo;
    for (const t_polyterm* t = n->first; t; t = t->next) hi = t->deg;
    coef r = newplein(n->var, lo, hi);
    for (const t_polyterm* t = n->first; t; t = t->next) coef_plein(&r)->coefs[t->deg - lo] = todense(ctx, &t->c);
    return r;
}

coef tosparse(t_cctx* ctx, const coef* c)
{
    if (!coef_isplein(c)) return copycoef(c);
    const t_polplein* p = coef_plein(c);
    coef r = poly_newnode(p->var);
    t_polyterm* hint = nullptr;
    for (int32_t k = 0; k <= p->hi - p->lo; k++) {
        coef s = tosparse(ctx, &p->coefs[k]);
        if (s.type == BH_ZERO) continue;
        hint = polynome_resize(&r, p->lo + k, hint);
        hint->c = s;
    }
    polynome_supzero(&r, true);
    return r;
}

} // namespace

coef creutoplein(t_cctx* ctx, coef* c, int keep)
{
    coef r = todense(ctx, c);
    if (!keep) deletecoef(c);
    return r;
}

coef pleintocreu(t_cctx* ctx, coef* c, int keep)
{
    coef r = tosparse(ctx, c);
    if (!keep) deletecoef(c);
    return r;
}

void kst_polplein_install()
{
    coefvtable& p = g_kst_coef_vtable[BH_POLPLEIN];
    p.name = "POLPLEIN";
    p.kind = 1;
    p.copycoef = copyplein;
    p.deletecoef = deleteplein;
}
