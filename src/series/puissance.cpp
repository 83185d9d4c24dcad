// Negative and fractional powers of series, and division by a series.
//
// A single monomial c*x^i*y^j raised to an integer n is exact: c^n*x^(i*n)*y^(j*n). Any other
// series a is split as a = a0 + r, a0 its constant term (not zero), and expanded by the binomial
// series
//     a^alpha = a0^alpha * sum_{k>=0} C(alpha, k) * (r/a0)^k,
//     C(alpha, 0) = 1,  C(alpha, k) = C(alpha, k-1) * (alpha - k + 1) / k,
// each power (r/a0)^k being a truncated product. Every term of r must hold a truncated variable
// with a positive degree: then each new power uses up at least one degree of some group and the
// expansion ends when the truncation removes every new term (error 271 otherwise, since it
// would never end). Division a/b is a * b^(-1).
#include "coef/modenum.h"
#include "series/polynome.h"
#include "series/tronc.h"
#include "series/variable.h"

namespace {

bool singlemonomial(const coef* c)
{
    if (!coef_ispoly(c)) return c->type != BH_ZERO;
    const t_polyterm* t = coef_poly(c)->first;
    return t && !t->next && singlemonomial(&t->c);
}

coef monomialpower(t_cctx* ctx, const coef* c, long n)
{
    if (!coef_ispoly(c)) return coef_power_int(ctx, const_cast<coef*>(c), 1, n);
    const t_polyterm* t = coef_poly(c)->first;
    return poly_monomial(coef_poly(c)->var, monomialpower(ctx, &t->c, n), static_cast<int32_t>(t->deg * n));
}

coef constantterm(const coef* c)
{
    while (coef_ispoly(c)) {
        const t_polyterm* t = coef_poly(c)->first;
        while (t && t->deg < 0) t = t->next;
        if (!t || t->deg != 0) return coef{};
        c = &t->c;
    }
    return copycoef(c);
}

// True when every term of c (a series without constant term) has a truncated variable with a
// positive degree and no truncated variable with a negative one.
bool everytermtruncated(const coef* c, const t_troncwork* w, bool found)
{
    if (!coef_ispoly(c)) return c->type == BH_ZERO || found;
    const t_polynode* n = coef_poly(c);
    bool tr = w->flag(n->var) >= 0;
    for (const t_polyterm* t = n->first; t; t = t->next) {
        if (tr && t->deg < 0) return false;
        if (!everytermtruncated(&t->c, w, found || (tr && t->deg > 0))) return false;
    }
    return true;
}

} // namespace

bool serie_powalpha(t_cctx* ctx, const coef* a, const coef* alpha, bool isinteger, long n, const t_troncwork* w,
                    coef* out)
{
    *out = coef{};
    if (isinteger && singlemonomial(a)) {
        *out = monomialpower(ctx, a, n);
        return true;
    }
    if (!w) {
        kst_runerror(ctx, 271);
        return false;
    }
    coef a0 = constantterm(a);
    if (a0.type == BH_ZERO) {
        kst_runerror(ctx, 24);
        return false;
    }
    coef na0 = coef_neg(ctx, &a0, 1);
    coef r = serie_add(ctx, const_cast<coef*>(a), 1, &na0, 0);
    if (!everytermtruncated(&r, w, false)) {
        deletecoef(&a0);
        deletecoef(&r);
        kst_runerror(ctx, 271);
        return false;
    }
    coef u = serie_divnum(ctx, &r, 0, &a0);
    coef sum = coef_creenum_init(ctx, 1);
    coef power = coef_creenum_init(ctx, 1);
    coef binom = coef_creenum_init(ctx, 1);
    coef al = copycoef(alpha);
    for (long k = 1; !kst_kctx(ctx).stoprequested(); k++) {
        power = serie_multr(ctx, &power, 0, &u, 1, w);
        if (power.type == BH_ZERO) break;
        coef km1 = coef_creenum_init(ctx, static_cast<int>(k - 1));
        coef f = coef_soustraction(ctx, &al, 1, &km1, 0);         // alpha - k + 1
        binom = coef_multiplication(ctx, &binom, 0, &f, 0);
        coef kk = coef_creenum_init(ctx, static_cast<int>(k));
        binom = coef_division(ctx, &binom, 0, &kk, 0);
        if (binom.type == BH_ZERO) break;                           // alpha a whole number below k
        coef term = serie_mul(ctx, &binom, 1, &power, 1);
        sum = serie_add(ctx, &sum, 0, &term, 0);
    }
    if (coef_vt(&a0).cmp_egal_1(&a0)) {   // 1^alpha: keep the sum exact
        *out = sum;
    } else {
        coef lead = isinteger ? coef_power_int(ctx, &a0, 1, n) : coef_vt(&a0).exponentiation(ctx, &a0, 1, &al, 1);
        *out = serie_mul(ctx, &sum, 0, &lead, 0);
    }
    for (coef* k : {&a0, &u, &power, &binom, &al}) deletecoef(k);
    return true;
}
