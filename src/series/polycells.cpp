// The POLYNOME (tag 1) cells of the coefficient dispatch tables: sums, differences and products
// between a node and a node or a number, in both orders, the fused multiply-accumulate, and the
// life cycle of a node. Installed after every room has filled its own tables.
#include "coef/modenum.h"
#include "series/kernels/mul.h"
#include "series/polynome.h"
#include "series/tronc.h"

#include <utility>

namespace {

coef cell_add(t_cctx* ctx, coef* a, int ka, coef* b, int kb, int) { return serie_add(ctx, a, ka, b, kb); }
coef cell_sub(t_cctx* ctx, coef* a, int ka, coef* b, int kb, int) { return serie_sub(ctx, a, ka, b, kb); }
coef cell_mul(t_cctx* ctx, coef* a, int ka, coef* b, int kb, int) { return serie_mul(ctx, a, ka, b, kb); }
// Under a truncation the caller's levels apply: the product is accumulated with them.
coef cell_multr(t_cctx* ctx, coef* a, int ka, coef* b, int kb, t_troncworkstack* st, int)
{
    if (!st) return serie_mul(ctx, a, ka, b, kb);
    coef r{};
    if (!kst_kernel_mul(ctx, a, b, st, &r)) {
        serie_fmatr(ctx, &r, a, b, *st);
        polynome_supzero(&r, true);
    }
    if (!ka) deletecoef(a);
    if (!kb) deletecoef(b);
    return r;
}
coef cell_multrmon(t_cctx* ctx, coef* a, int ka, coef* b, int kb, const t_troncmon*, int)
{
    return serie_mul(ctx, a, ka, b, kb);
}
void cell_fma(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, int)
{
    serie_fma(ctx, acc, &b, &c);
    if (!kb) deletecoef(&b);
    if (!kc) deletecoef(&c);
    polynome_supzero(acc, true);
}
void cell_fmatr(t_cctx* ctx, coef* acc, coef& b, int kb, coef& c, int kc, t_troncworkstack* st, int p)
{
    if (!st) {
        cell_fma(ctx, acc, b, kb, c, kc, p);
        return;
    }
    serie_fmatr(ctx, acc, &b, &c, *st);
    if (!kb) deletecoef(&b);
    if (!kc) deletecoef(&c);
    polynome_supzero(acc, true);
}
coef cell_neg(t_cctx* ctx, coef* a, int ka) { return serie_neg(ctx, a, ka); }
coef cell_powui(t_cctx* ctx, coef* a, int ka, unsigned long n) { return serie_pow(ctx, a, ka, n); }
int cell_eq(const coef* a, const coef* b) { return serie_equal(a, b) ? 1 : 0; }
coef cell_copy(const coef* c) { return poly_copy(c); }
void cell_delete(coef* c) { poly_delete(c); }

// Leaves follow the numeric mode like any number.
void convleaves(t_cctx* ctx, coef* c, int mode)
{
    if (coef_ispoly(c)) {
        for (t_polyterm* t = coef_poly(c)->first; t; t = t->next) convleaves(ctx, &t->c, mode);
    } else if (c->type != BH_ZERO) {
        coef_vt(c).modenum_conv[mode](ctx, c);
    }
}
template <int MODE>
void cell_conv(t_cctx* ctx, coef* c)
{
    convleaves(ctx, c, MODE);
    polynome_supzero(c, true);
}
template <int MODE>
coef cell_convcopy(t_cctx* ctx, const coef* c)
{
    coef r = poly_copy(c);
    cell_conv<MODE>(ctx, &r);
    return r;
}
template <int... M>
void installconv(coefvtable& v, std::integer_sequence<int, M...>)
{
    ((v.modenum_conv[M] = cell_conv<M>, v.modenum_convcopy[M] = cell_convcopy<M>), ...);
}

} // namespace

void kst_polynome_install()
{
    coefvtable& p = g_kst_coef_vtable[BH_POLYNOME];
    p.name = "POLYNOME";
    p.kind = 1;
    p.copycoef = cell_copy;
    p.deletecoef = cell_delete;
    p.neg = cell_neg;
    p.power_ui = cell_powui;
    installconv(p, std::make_integer_sequence<int, KST_NMODENUM>{});
    for (int t = 1; t < BH_NTAGS; t++) {
        coefvtable& o = g_kst_coef_vtable[t];
        if (t != BH_POLYNOME && o.kind != 3) continue;
        p.add[t] = o.add[BH_POLYNOME] = cell_add;
        p.sub[t] = o.sub[BH_POLYNOME] = cell_sub;
        p.mulnotr[t] = o.mulnotr[BH_POLYNOME] = cell_mul;
        p.multr[t] = o.multr[BH_POLYNOME] = cell_multr;
        p.multrmon[t] = o.multrmon[BH_POLYNOME] = cell_multrmon;
        p.fmaccnotr[t] = o.fmaccnotr[BH_POLYNOME] = cell_fma;
        p.fmacctr[t] = o.fmacctr[BH_POLYNOME] = cell_fmatr;
        p.cmp_eq[t] = o.cmp_eq[BH_POLYNOME] = cell_eq;
    }
}
