// Conversions between arrays of numeric vectors and two-dimensional arrays of numbers.
#include "interp/error.h"
#include "interp/roomapi.h"
#include "numeric/tableau.h"

bool tableau_havetabnum(const t_tableau* a)
{
    for (long p = 0; p < a->Vsize(); p++) {
        const t_idcommon* v = a->elt(p).getData();
        if (!v || v->Vgettypeenum() != IDTYPE_VECNUM) return false;
    }
    return true;
}

namespace {

const t_vecnum* column(const t_tableau* a, long j) { return static_cast<const t_vecnum*>(a->elt(j).getData()); }

// A one-dimensional array of non-empty numeric vectors of one type and one length: that length,
// or 0 after the error (256 not all vectors, 257 wrong shape, 259 lengths or types differ, 258
// empty vectors).
uint32_t vectorcolumns(t_cctx* ctx, const t_tableau* a)
{
    if (!tableau_havetabnum(a)) {
        kst_runerror(ctx, 256);
        return 0;
    }
    if (a->ndim() != 1 || a->Vsize() == 0) {
        kst_runerror(ctx, 257);
        return 0;
    }
    const uint32_t n = column(a, 0)->size();
    for (long j = 1; j < a->Vsize(); j++)
        if (column(a, j)->size() != n || column(a, j)->vecflag() != column(a, 0)->vecflag()) {
            kst_runerror(ctx, 259);
            return 0;
        }
    if (n == 0) kst_runerror(ctx, 258);
    return n;
}

} // namespace

t_tableau* vnum2dimn(t_cctx* ctx, const t_tableau* a)
{
    const uint32_t n = vectorcolumns(ctx, a);
    if (n == 0) return nullptr;
    const long m = a->Vsize();
    t_tableau* out = creeinit_tab2D(1, static_cast<int>(n), 1, static_cast<int>(m));
    for (uint32_t i = 0; i < n; i++)
        for (long j = 0; j < m; j++)
            out->init_elt_tab_idc(static_cast<long>(i) * m + j, kst_newconstante(ctx, column(a, j)->data2coef(ctx, i)));
    return out;
}

t_tableau* transposevnum(t_cctx* ctx, const t_tableau* a)
{
    const uint32_t n = vectorcolumns(ctx, a);
    if (n == 0) return nullptr;
    const long m = a->Vsize();
    t_tableau* out = creeinit_tab(static_cast<int>(n));
    for (uint32_t i = 0; i < n; i++) {
        t_vecnum* row = column(a, 0)->Vcreate(ctx, "", static_cast<uint32_t>(m));
        for (long j = 0; j < m; j++) {
            coef c = column(a, j)->data2coef(ctx, i);
            row->coef2data(ctx, static_cast<uint32_t>(j), &c);
            deletecoef(&c);
        }
        out->init_elt_tab_idc(static_cast<long>(i), row);
    }
    return out;
}

t_tableau* dim2vnumR(t_cctx* ctx, const t_tableau* a) { return dim2vnum(ctx, a, false); }
t_tableau* dim2vnumC(t_cctx* ctx, const t_tableau* a) { return dim2vnum(ctx, a, true); }

t_tableau* dim2vnum(t_cctx* ctx, const t_tableau* a, bool complex)
{
    if (a->ndim() != 2) {
        kst_runerror(ctx, 257);
        return nullptr;
    }
    const int n = a->dim(1)->count, m = a->dim(2)->count;
    for (long p = 0; p < a->Vsize(); p++) {
        const t_idcommon* v = a->elt(p).getData();
        if (!v || v->Vgettypeenum() != IDTYPE_CONSTANTE) {
            kst_runerror(ctx, 349);
            return nullptr;
        }
    }
    t_tableau* out = creeinit_tab(m);
    for (int j = 0; j < m; j++) {
        t_vecnum* v = complex ? vecnum_createcplx(ctx, "", static_cast<uint32_t>(n))
                              : vecnum_createreal(ctx, "", static_cast<uint32_t>(n));
        for (int i = 0; i < n; i++) {
            const coef& c = kst_constanterawvalue(a->elt(static_cast<long>(i) * m + j).getData());
            v->coef2data(ctx, static_cast<uint32_t>(i), &c);
        }
        out->init_elt_tab_idc(j, v);
    }
    return out;
}
