// Rewriting a series term by term: into the ordering in force (after `_ior` changed), and the
// small-parameter device, which turns each number x into m*E^k with E a variable standing for
// a small parameter eps, so that a degree truncation in E drops the coefficients that are small.
#include "series/sereps.h"

#include "coef/modenum.h"
#include "series/polynome.h"
#include "series/variable.h"

#include <cmath>

namespace {

// c rebuilt in the ordering of ctx: each number through `leaf`, each factor v^k through
// `factor` (both give owned coefs), the pieces multiplied back together. The products nest every
// node under the current ordering whatever the nesting of c was.
template <class LEAF, class FACTOR>
coef rebuild(t_cctx* ctx, const coef* c, const LEAF& leaf, const FACTOR& factor)
{
    if (!coef_ispoly(c)) return c->type == BH_ZERO ? coef{} : leaf(c);
    const t_polynode* n = coef_poly(c);
    coef acc{};
    for (const t_polyterm* t = n->first; t; t = t->next) {
        coef child = rebuild(ctx, &t->c, leaf, factor);
        if (t->deg == 0) {
            serie_accadd(ctx, &acc, &child, 0);
            continue;
        }
        coef f = factor(n->var, t->deg);
        serie_fma(ctx, &acc, &f, &child);
        deletecoef(&f);
        deletecoef(&child);
    }
    polynome_supzero(&acc, true);
    return acc;
}

coef varpower(t_cctx* ctx, t_variable* v, int32_t k) { return poly_monomial(v, coef_creenum_init(ctx, 1), k); }

// The magnitude of a number (complex numbers by their modulus).
double magnitude(t_cctx* ctx, const coef* x)
{
    const coefvtable& vt = coef_vt(x);
    if (vt.isreal(x)) return std::fabs(coef2dbl(x));
    coef a = vt.abs(ctx, const_cast<coef*>(x), 1);
    double m = coef2dbl(&a);
    deletecoef(&a);
    return m;
}

} // namespace

bool serie_isordered(const t_cctx* ctx, const coef* c)
{
    if (!coef_ispoly(c)) return true;
    const t_polynode* n = coef_poly(c);
    for (const t_polyterm* t = n->first; t; t = t->next) {
        if (coef_ispoly(&t->c) && compareOrder(ctx, coef_poly(&t->c)->var, n->var) <= 0) return false;
        if (!serie_isordered(ctx, &t->c)) return false;
    }
    return true;
}

coef serie_reorder(t_cctx* ctx, const coef* c)
{
    return rebuild(
        ctx, c, [](const coef* x) { return copycoef(x); },
        [ctx](t_variable* v, int32_t k) { return varpower(ctx, v, k); });
}

bool kst_settrcoef(t_cctx* ctx, double eps)
{
    if (eps > 1.0) {
        kst_runerror(ctx, 276);
        return false;
    }
    if (!(eps > 0.0)) {   // NaN too
        kst_runerror(ctx, 4, "_trcoef");
        return false;
    }
    kst_kctx(ctx).trcoef = eps;
    return true;
}

coef serie_sereps(t_cctx* ctx, const coef* c, t_variable* e, const coef* eps, bool* ok)
{
    *ok = false;
    const double saved = kst_kctx(ctx).trcoef;
    const double meps = magnitude(ctx, eps);
    if (!kst_settrcoef(ctx, meps)) return coef{};
    const double logeps = std::log(kst_kctx(ctx).trcoef);
    coef r = rebuild(
        ctx, c,
        [&](const coef* x) -> coef {
            // k = floor(log|x| / log eps), so that eps < |m| <= 1 up to rounding when eps < 1; a
            // threshold of 1 leaves x as it is.
            double k = logeps == 0.0 ? 0.0 : std::floor(std::log(magnitude(ctx, x)) / logeps);
            if (!std::isfinite(k) || std::fabs(k) > 1e9) k = 0.0;
            const long kk = static_cast<long>(k);
            if (kk == 0) return copycoef(x);
            coef p = coef_power_int(ctx, const_cast<coef*>(eps), 1, kk);
            coef m = coef_division(ctx, const_cast<coef*>(x), 1, &p, 0);
            return poly_monomial(e, m, static_cast<int32_t>(kk));
        },
        [ctx](t_variable* v, int32_t k) { return varpower(ctx, v, k); });
    kst_kctx(ctx).trcoef = saved;
    *ok = true;
    return r;
}

coef serie_invsereps(t_cctx* ctx, const coef* c, t_variable* e, const coef* eps)
{
    return rebuild(
        ctx, c, [](const coef* x) { return copycoef(x); },
        [&](t_variable* v, int32_t k) {
            return v == e ? coef_power_int(ctx, const_cast<coef*>(eps), 1, k) : varpower(ctx, v, k);
        });
}
